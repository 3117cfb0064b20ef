#include "windows/module/module_state.h"

#include <memory>

#include "windows/module/module_platform.h"

namespace marqel::windows {
namespace {

HINSTANCE g_instance = nullptr;
// Plain pointer, not a static object: at process exit the runtime would destroy a static after
// other modules (the host's) are gone, and its windows and host reference with them.
ServerModule* g_server = nullptr;

}  // namespace

ServerModule& TheServerModule() {
  return *g_server;
}

HINSTANCE ModuleInstance() {
  return g_instance;
}

void AttachModule(HINSTANCE module) {
  g_instance = module;
  if (g_server == nullptr) {
    // The component's platform is made on the thread that creates the first object, which is
    // the thread its windows and timers then belong to.
    g_server = new ServerModule([]() -> std::unique_ptr<com::ComponentPlatform> {
      return std::make_unique<platform::win32::Win32Platform>(g_instance);
    });
  }
}

void DetachModule(bool processEnding) {
  if (processEnding) {
    return;
  }
  delete g_server;
  g_server = nullptr;
}

}  // namespace marqel::windows
