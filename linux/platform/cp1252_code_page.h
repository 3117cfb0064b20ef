#pragma once
// Linux has no system ANSI code page; Windows-1252 stands in for it, whatever the locale says.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace marqel::platform::linux_ {

// Windows-1252 as Windows converts it: the five bytes the page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the control characters of the same number and back, and every
// character outside the page, surrogate halves included, becomes '?'.
class Cp1252CodePage final : public CodePage {
 public:
  std::uint32_t codeOf(char16_t ch) const override;
  std::string toAnsi(std::u16string_view text) const override;
  std::u16string fromAnsi(std::string_view bytes) const override;
  void toAnsiInto(std::u16string_view text, std::string& out) const override;
  void fromAnsiInto(std::string_view bytes, std::u16string& out) const override;
};

}  // namespace marqel::platform::linux_
