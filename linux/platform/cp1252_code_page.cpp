#include "linux/platform/cp1252_code_page.h"

#include <array>

namespace marqel::platform::linux_ {
namespace {

// The characters of bytes 0x80..0x9F; the rest of the page is Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

constexpr std::uint8_t kUnmappable = '?';

std::uint8_t ByteOf(char16_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) {
    return static_cast<std::uint8_t>(ch);
  }
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == ch) {
      return static_cast<std::uint8_t>(0x80 + i);
    }
  }
  return kUnmappable;
}

char16_t CharOf(std::uint8_t byte) {
  if (byte >= 0x80 && byte < 0xA0) {
    return kHighControls[static_cast<std::size_t>(byte - 0x80)];
  }
  return static_cast<char16_t>(byte);
}

}  // namespace

std::uint32_t Cp1252CodePage::codeOf(char16_t ch) const {
  return ByteOf(ch);
}

std::string Cp1252CodePage::toAnsi(std::u16string_view text) const {
  std::string bytes;
  toAnsiInto(text, bytes);
  return bytes;
}

std::u16string Cp1252CodePage::fromAnsi(std::string_view bytes) const {
  std::u16string text;
  fromAnsiInto(bytes, text);
  return text;
}

// Texts are mostly ASCII, which both directions keep as it is: a plain copy first (through
// plain pointers, so the compiler can turn it into vector code), then the few characters outside
// ASCII by the page.
void Cp1252CodePage::toAnsiInto(std::u16string_view text, std::string& out) const {
  out.resize(text.size());
  char* const bytes = out.data();
  const char16_t* const chars = text.data();
  const std::size_t size = text.size();
  char16_t all = 0;
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>(chars[i]);
    all |= chars[i];
  }
  for (std::size_t i = 0; all >= 0x80 && i < size; ++i) {
    if (chars[i] >= 0x80) {
      bytes[i] = static_cast<char>(ByteOf(chars[i]));
    }
  }
}

void Cp1252CodePage::fromAnsiInto(std::string_view bytes, std::u16string& out) const {
  out.resize(bytes.size());
  char16_t* const chars = out.data();
  const auto* const codes = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::size_t size = bytes.size();
  std::uint8_t all = 0;
  for (std::size_t i = 0; i < size; ++i) {
    chars[i] = codes[i];
    all |= codes[i];
  }
  for (std::size_t i = 0; all >= 0x80 && i < size; ++i) {
    if (codes[i] >= 0x80) {
      chars[i] = CharOf(codes[i]);
    }
  }
}

}  // namespace marqel::platform::linux_
