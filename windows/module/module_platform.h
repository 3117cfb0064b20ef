#pragma once
// The Windows implementations of every platform seam, for a component that lives in the module
// `module` (the DLL) and runs on the thread that makes this object.
#include "windows/platform/core_platform.h"
// (before any header that brings in windows.h)
#include "plugin/com/shell_traits.h"
#include "windows/platform/ansi_code_page.h"
#include "windows/platform/com_serial_port.h"
#include "windows/platform/module_file_info.h"
#include "windows/platform/precise_delay.h"
#include "windows/platform/system_text_case.h"
#include "windows/platform/user32_player_windows.h"
#include "windows/platform/win32_message_boxes.h"
#include "windows/platform/win32_settings_files.h"
#include "windows/platform/window_timers.h"
#include "windows/views/win32_dialog_views.h"

namespace marqel::platform::win32 {

class Win32Platform final : public com::ComponentPlatform {
 public:
  explicit Win32Platform(HINSTANCE module) : timers_(module), module_(module), dialogs_(module) {}
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  Platform platform() override {
    return Platform{serialPorts_, delay_,   codePage_, textCase_, messageBoxes_,
                    timers_,      windows_, module_,   files_,    dialogs_};
  }

 private:
  ComSerialPortFactory serialPorts_;
  PreciseDelay delay_;
  AnsiCodePage codePage_;
  SystemTextCase textCase_;
  Win32MessageBoxes messageBoxes_;
  WindowTimerFactory timers_;
  User32PlayerWindows windows_;
  ModuleFileInfo module_;
  Win32SettingsFiles files_;
  Win32DialogViews dialogs_;
};

}  // namespace marqel::platform::win32
