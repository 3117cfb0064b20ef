// The module's exported entry points: an in-process server that registers itself. They hand out
// the class object and keep the registry entry; the plug-in's own work starts in the class
// object's CreateInstance. Nothing thrown inside ever crosses into the caller.
#include <string>

#include "linux/module/module_file.h"
#include "linux/module/module_server.h"
#include "linux/system/registry.h"
#include "plugin/com/com_abi.h"
#include "plugin/com/identifiers.h"

#define MARQEL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace marqel;

std::string TypeLibVersion() {
  return std::to_string(com::kMarqelLibMajor) + "." + std::to_string(com::kMarqelLibMinor);
}

}  // namespace

MARQEL_EXPORT com::HRESULT DllGetClassObject(const com::CLSID& rclsid, const com::IID& riid,
                                             void** ppv) {
  return module::TheServerModule().getClassObject(rclsid, riid, ppv);
}

MARQEL_EXPORT com::HRESULT DllCanUnloadNow() {
  return module::TheServerModule().canUnloadNow();
}

MARQEL_EXPORT com::HRESULT DllRegisterServer() {
  try {
    const std::string path = module::ModuleFilePath();
    if (path.empty()) return com::SELFREG_E_CLASS;
    system::ClassRegistration entry;
    entry.clsid = com::GuidText(com::CLSID_Tolvane);
    entry.progId = com::kTolvaneProgId;
    entry.modulePath = path;
    entry.threadingModel = "Apartment";
    entry.typeLib = com::GuidText(com::LIBID_Marqel);
    entry.typeLibVersion = TypeLibVersion();
    system::Registry(system::Registry::defaultPath()).registerClass(entry);
    return com::S_OK;
  } catch (...) {
    return com::SELFREG_E_CLASS;
  }
}

MARQEL_EXPORT com::HRESULT DllUnregisterServer() {
  try {
    // Nothing registered is nothing to remove: still a success.
    system::Registry(system::Registry::defaultPath())
        .unregisterClass(com::GuidText(com::CLSID_Tolvane));
    return com::S_OK;
  } catch (...) {
    return com::SELFREG_E_CLASS;
  }
}
