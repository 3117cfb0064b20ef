#pragma once
// The player-window queries through user32 itself.
#include <cstdint>

#include "windows/platform/core_platform.h"

namespace marqel::platform::win32 {

class User32PlayerWindows final : public PlayerWindows {
 public:
  std::int32_t GetWindowTextLengthA(WindowHandle window) override;
  std::int32_t GetWindowTextA(WindowHandle window, char* buffer, std::int32_t maxCount) override;
  std::int32_t SendMessageA(WindowHandle window, std::uint32_t message, std::int32_t wParam,
                            std::int32_t lParam) override;
};

}  // namespace marqel::platform::win32
