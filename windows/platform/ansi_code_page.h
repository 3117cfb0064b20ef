#pragma once
// The system's ANSI code page (CP_ACP), as the system converts it. A character the page cannot
// hold becomes '?' (no best-fit look-alikes, so what goes to the display is what the user sees
// as unknown); a double-byte page gives lead/trail pairs.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace marqel::platform::win32 {

// The flags WideCharToMultiByte takes for the page: none for UTF-8 and UTF-7, which refuse any
// other (ERROR_INVALID_FLAGS), and no best-fit look-alikes for every other page.
std::uint32_t ToAnsiFlags(std::uint32_t codePage);

class AnsiCodePage final : public CodePage {
 public:
  // 0 (CP_ACP) is the system's ANSI page; any other number names a page of its own.
  explicit AnsiCodePage(std::uint32_t codePage = 0);

  std::uint32_t codeOf(char16_t ch) const override;
  std::string toAnsi(std::u16string_view text) const override;
  std::u16string fromAnsi(std::string_view bytes) const override;

 private:
  std::uint32_t codePage_;  // the page's own number, never CP_ACP
};

}  // namespace marqel::platform::win32
