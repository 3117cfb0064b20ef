#include "common/path_text.h"

#include <string_view>

#include "common/utf.h"

namespace marqel {
namespace {

// The length of the UTF-8 sequence a lead byte announces; 0 for a byte that cannot lead one.
[[maybe_unused]] std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// A POSIX path: bytes.
[[maybe_unused]] std::u16string NativeText(std::string_view bytes) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string text;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = SequenceLength(lead);
    if (length > 0 && i + length <= bytes.size()) {
      // A sequence is valid exactly when it survives the round trip; anything the decoder
      // replaces comes back as other bytes.
      const std::string_view sequence = bytes.substr(i, length);
      const std::u16string decoded = Utf8ToUtf16(sequence);
      if (Utf16ToUtf8(decoded) == sequence) {
        text += decoded;
        i += length;
        continue;
      }
    }
    text += u"\\x";
    text.push_back(kHex[lead >> 4]);
    text.push_back(kHex[lead & 0x0F]);
    ++i;
  }
  return text;
}

// A Windows path: UTF-16 code units already.
[[maybe_unused]] std::u16string NativeText(std::wstring_view units) {
  return std::u16string(units.begin(), units.end());
}

}  // namespace

std::u16string PathText(const std::filesystem::path& path) {
  return NativeText(path.native());
}

std::string PathTextUtf8(const std::filesystem::path& path) {
  return Utf16ToUtf8(PathText(path));
}

}  // namespace marqel
