#include "linux/module/module_server.h"

#include "linux/system/session.h"
#include "plugin/component.h"
#include "plugin/lifecycle.h"
#include "linux/module/module_platform.h"

namespace marqel::module {

ModuleServer& ModuleServer::instance() {
  static ModuleServer server;
  return server;
}

ModuleServer::~ModuleServer() {
  dropComponent();
}

Component& ModuleServer::componentForNewObject() {
  if (started_ && component_) return *component_;
  if (!component_) {
    session_ = &system::CurrentSession();
    platform_ = std::make_unique<ModulePlatform>(*session_);
    component_ = std::make_unique<Component>(platform_->platform());
    // The session's loop and window table go with it; the component must not outlive them.
    endHook_ = session_->addEndHook([this] {
      session_ = nullptr;
      dropComponent();
    });
  }
  Main(*component_);
  started_ = true;
  return *component_;
}

void ModuleServer::dropComponent() {
  if (session_ != nullptr) {
    session_->removeEndHook(endHook_);
    session_ = nullptr;
  }
  component_.reset();
  platform_.reset();
  started_ = false;
}

}  // namespace marqel::module
