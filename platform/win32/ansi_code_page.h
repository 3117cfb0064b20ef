#pragma once
// The system's ANSI code page (CP_ACP), as the system converts it. A character the page cannot
// hold becomes '?' (no best-fit look-alikes, so what goes to the display is what the user sees
// as unknown); a double-byte page gives lead/trail pairs.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace marqel::platform::win32 {

class AnsiCodePage final : public CodePage {
 public:
  std::uint32_t codeOf(char16_t ch) const override;
  std::string toAnsi(std::u16string_view text) const override;
  std::u16string fromAnsi(std::string_view bytes) const override;
};

}  // namespace marqel::platform::win32
