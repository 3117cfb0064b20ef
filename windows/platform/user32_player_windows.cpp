#include "windows/platform/user32_player_windows.h"

#include <windows.h>

namespace marqel::platform::win32 {
namespace {

// Window handles are 32 bits wide even in a 64-bit process; they widen with their sign.
HWND HandleOf(WindowHandle window) {
  return reinterpret_cast<HWND>(static_cast<LONG_PTR>(window));
}

}  // namespace

std::int32_t User32PlayerWindows::GetWindowTextLengthA(WindowHandle window) {
  return ::GetWindowTextLengthA(HandleOf(window));
}

std::int32_t User32PlayerWindows::GetWindowTextA(WindowHandle window, char* buffer,
                                                 std::int32_t maxCount) {
  if (maxCount <= 0 || buffer == nullptr) {
    return 0;
  }
  return ::GetWindowTextA(HandleOf(window), buffer, maxCount);
}

std::int32_t User32PlayerWindows::SendMessageA(WindowHandle window, std::uint32_t message,
                                               std::int32_t wParam, std::int32_t lParam) {
  const LRESULT answer =
      ::SendMessageA(HandleOf(window), message, static_cast<WPARAM>(static_cast<LONG_PTR>(wParam)),
                     static_cast<LPARAM>(lParam));
  // The player answers in 32 bits.
  return static_cast<std::int32_t>(answer);
}

}  // namespace marqel::platform::win32
