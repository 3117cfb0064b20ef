#include "linux/module/module_platform.h"

#include "linux/system/session.h"

namespace marqel::module {

ModulePlatform::ModulePlatform(system::Session& session)
    : session_(session),
      serialPorts_(platform::linux_::SerialDeviceOverrides(session.comPorts.begin(),
                                                           session.comPorts.end())),
      dialogs_(session) {}

ModulePlatform::~ModulePlatform() = default;

platform::Platform ModulePlatform::platform() {
  return platform::Platform{serialPorts_,
                            delay_,
                            codePage_,
                            textCase_,
                            session_.messageBoxes(),
                            session_.loop(),
                            session_.windows(),
                            moduleInfo_,
                            files_,
                            dialogs_};
}

}  // namespace marqel::module
