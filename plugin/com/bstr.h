#pragma once
// BSTR-like strings for the binary interface: the length in bytes (32 bits) stands just before
// the first character, and the characters end in a zero. The caller of an operation owns the
// strings it passes; the callee only reads them during the call.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "plugin/com/com_abi.h"

namespace marqel::com {

class Bstr {
 public:
  explicit Bstr(std::u16string_view text)
      : storage_(std::make_unique<char16_t[]>(text.size() + 3)) {
    const auto bytes = static_cast<std::uint32_t>(text.size() * sizeof(char16_t));
    std::memcpy(storage_.get(), &bytes, sizeof bytes);
    if (!text.empty()) std::memcpy(storage_.get() + 2, text.data(), bytes);
    storage_[text.size() + 2] = u'\0';
  }
  BSTR get() const { return storage_.get() + 2; }

 private:
  std::unique_ptr<char16_t[]> storage_;
};

// The text of a BSTR; a null BSTR is the empty string, as in COM.
inline std::u16string BstrText(const char16_t* text) {
  if (text == nullptr) return {};
  std::uint32_t bytes = 0;
  std::memcpy(&bytes, text - 2, sizeof bytes);
  return std::u16string(text, bytes / sizeof(char16_t));
}

}  // namespace marqel::com
