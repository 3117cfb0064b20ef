#include "plugin/module/module_platform.h"

#include "platform/linux/system/session.h"

namespace marqel::module {

void SessionMessageBoxes::show(std::u16string_view text, platform::MessageIcon icon) {
  session_.messageBoxes().show(text, icon);
}

ModulePlatform::ModulePlatform(system::Session& session)
    : session_(session),
      serialPorts_(platform::linux_::SerialDeviceOverrides(session.comPorts.begin(),
                                                           session.comPorts.end())),
      messageBoxes_(session),
      dialogs_(session) {}

ModulePlatform::~ModulePlatform() = default;

platform::Platform ModulePlatform::platform() {
  return platform::Platform{serialPorts_,  delay_,          codePage_,          textCase_,
                            messageBoxes_, session_.loop(), session_.windows(), moduleInfo_,
                            files_,        dialogs_};
}

}  // namespace marqel::module
