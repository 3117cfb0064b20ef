#pragma once
// The platform a module loaded into a Linux host runs on: the system's services from the current
// session (loop, window table, message boxes, how the dialog is shown, the COM port map), the
// rest from the Linux implementations of the seams.
#include <memory>

#include "linux/platform/cp1252_code_page.h"
#include "linux/platform/locale_text_case.h"
#include "linux/platform/settings_files_posix.h"
#include "linux/platform/sleep_delay.h"
#include "linux/platform/termios_serial_port.h"
#include "platform/platform.h"
#include "linux/module/module_file.h"
#include "linux/views/session_dialog_views.h"

namespace marqel::system {
class Session;
}

namespace marqel::module {

class ModulePlatform {
 public:
  explicit ModulePlatform(system::Session& session);
  ~ModulePlatform();
  ModulePlatform(const ModulePlatform&) = delete;
  ModulePlatform& operator=(const ModulePlatform&) = delete;

  platform::Platform platform();

 private:
  system::Session& session_;
  platform::linux_::TermiosSerialPortFactory serialPorts_;
  platform::linux_::SleepDelay delay_;
  platform::linux_::Cp1252CodePage codePage_;
  platform::linux_::LocaleTextCase textCase_;
  ModuleFileInfo moduleInfo_;
  platform::linux_::PosixSettingsFiles files_;
  SessionDialogViews dialogs_;
};

}  // namespace marqel::module
