#include "windows/module/module_state.h"

#include "windows/module/module_platform.h"
#include "plugin/component.h"
#include "plugin/lifecycle.h"

namespace marqel::windows {
namespace {

// Plain pointer, not a static object: at process exit the runtime would destroy a static after
// other modules (the host's) are gone, and its windows and host reference with them.
ModuleState* g_state = nullptr;

}  // namespace

ModuleState& ModuleState::instance() {
  return *g_state;
}

void ModuleState::attach(HINSTANCE module) {
  if (g_state == nullptr) {
    g_state = new ModuleState(module);
  }
}

void ModuleState::detach(bool processEnding) {
  if (processEnding) {
    return;
  }
  delete g_state;
  g_state = nullptr;
}

ModuleState::ModuleState(HINSTANCE module) : module_(module) {}

ModuleState::~ModuleState() {
  // The component goes before the platform whose windows and classes it uses.
  component_.reset();
  platform_.reset();
}

Component& ModuleState::componentForNewObject() {
  if (started_ && component_) {
    return *component_;
  }
  if (!component_) {
    thread_ = ::GetCurrentThreadId();
    platform_ = std::make_unique<platform::win32::Win32Platform>(module_);
    component_ = std::make_unique<Component>(platform_->platform());
  }
  Main(*component_);
  started_ = true;
  return *component_;
}

bool ModuleState::onComponentThread() const {
  return thread_ == 0 || thread_ == ::GetCurrentThreadId();
}

bool ModuleState::canUnload() const {
  if (locks_ != 0) {
    return false;
  }
  return !component_ || (!component_->form1Loaded() && !component_->form2Loaded());
}

}  // namespace marqel::windows
