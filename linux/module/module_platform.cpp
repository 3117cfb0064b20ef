#include "linux/module/module_platform.h"

#include <utility>

#include "linux/system/session.h"

namespace marqel::module {

ModulePlatform::ModulePlatform(system::Session& session, std::function<void()> onSessionEnd)
    : session_(&session),
      serialPorts_(platform::linux_::SerialDeviceOverrides(session.comPorts.begin(),
                                                           session.comPorts.end())),
      dialogs_(session) {
  endHook_ = session.addEndHook([this, onSessionEnd = std::move(onSessionEnd)] {
    session_ = nullptr;  // the hook is spent; nothing to remove
    onSessionEnd();
  });
}

ModulePlatform::~ModulePlatform() {
  if (session_ != nullptr) {
    session_->removeEndHook(endHook_);
  }
}

platform::Platform ModulePlatform::platform() {
  return platform::Platform{serialPorts_,
                            delay_,
                            codePage_,
                            textCase_,
                            session_->messageBoxes(),
                            session_->loop(),
                            session_->windows(),
                            moduleInfo_,
                            files_,
                            dialogs_};
}

}  // namespace marqel::module
