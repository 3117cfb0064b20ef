#pragma once
// Queries on the player's main window, as the window system answers them. An unknown window
// answers an empty text and 0.
#include <cstdint>

namespace marqel::platform {

using WindowHandle = std::int32_t;
inline constexpr std::uint32_t WM_USER = 0x400;
// The player's user messages: sent as WM_USER, with the number as lParam.
inline constexpr std::int32_t kIpcIsPlaying = 104;  // wParam 0: 1 playing, 3 paused, else stopped
inline constexpr std::int32_t kIpcGetOutputTime = 105;  // wParam 0: position ms, 1: length s

class PlayerWindows {
 public:
  virtual ~PlayerWindows() = default;
  virtual std::int32_t GetWindowTextLengthA(WindowHandle window) = 0;
  // Copies at most maxCount - 1 bytes of the window text, then a zero byte; returns the number of
  // text bytes copied. Writes nothing when maxCount is 0 or less.
  virtual std::int32_t GetWindowTextA(WindowHandle window, char* buffer, std::int32_t maxCount) = 0;
  virtual std::int32_t SendMessageA(WindowHandle window, std::uint32_t message, std::int32_t wParam,
                                    std::int32_t lParam) = 0;
};

}  // namespace marqel::platform
