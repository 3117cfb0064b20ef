#pragma once
// The platform a module loaded into a Linux host runs on: the system's services from the current
// session (loop, window table, message boxes, how the dialog is shown, the COM port map), the
// rest from the Linux implementations of the seams.
#include <functional>

#include "linux/module/module_file.h"
#include "linux/platform/cp1252_code_page.h"
#include "linux/platform/locale_text_case.h"
#include "linux/platform/settings_files_posix.h"
#include "linux/platform/sleep_delay.h"
#include "linux/platform/termios_serial_port.h"
#include "linux/views/session_dialog_views.h"
#include "plugin/com/shell_traits.h"

namespace marqel::system {
class Session;
}

namespace marqel::module {

class ModulePlatform final : public com::ComponentPlatform {
 public:
  // `onSessionEnd` runs when the session ends while this platform lives; it is expected to drop
  // the component and this platform with it.
  ModulePlatform(system::Session& session, std::function<void()> onSessionEnd);
  ~ModulePlatform() override;
  ModulePlatform(const ModulePlatform&) = delete;
  ModulePlatform& operator=(const ModulePlatform&) = delete;

  platform::Platform platform() override;

 private:
  system::Session* session_;  // null once the session has ended
  int endHook_ = 0;
  platform::linux_::TermiosSerialPortFactory serialPorts_;
  platform::linux_::SleepDelay delay_;
  platform::linux_::Cp1252CodePage codePage_;
  platform::linux_::LocaleTextCase textCase_;
  ModuleFileInfo moduleInfo_;
  platform::linux_::PosixSettingsFiles files_;
  SessionDialogViews dialogs_;
};

}  // namespace marqel::module
