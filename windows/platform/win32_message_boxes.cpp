#include "windows/platform/win32_message_boxes.h"

#include <windows.h>

#include "windows/platform/win32_text.h"

namespace marqel::platform::win32 {

void Win32MessageBoxes::show(std::u16string_view text, MessageIcon icon) {
  UINT style = MB_OK;
  switch (icon) {
    case MessageIcon::Information:
      style |= MB_ICONINFORMATION;
      break;
    case MessageIcon::Warning:
      style |= MB_ICONWARNING;
      break;
    case MessageIcon::None:
      break;
  }
  HWND owner = ::GetActiveWindow();
  if (owner == nullptr) {
    // No window of ours is active (start-up inside the player's plug-in loading): keep the
    // thread's other windows from taking input until the box is dismissed.
    style |= MB_TASKMODAL;
  }
  const std::wstring wide = WideFrom(text);
  ::MessageBoxW(owner, wide.c_str(), kMessageBoxTitle, style);
}

}  // namespace marqel::platform::win32
