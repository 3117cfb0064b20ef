#include "linux/host/com_client.h"

#include <dlfcn.h>

#include <cstdio>

#include "linux/system/registry.h"
#include "plugin/com/identifiers.h"

namespace marqel::host {
namespace {

template <class Fn>
Fn EntryPoint(void* handle, const char* name, const std::filesystem::path& file) {
  void* symbol = ::dlsym(handle, name);
  if (symbol == nullptr) {
    throw HostError(file.string() + ": not an in-process server: no entry point " + name);
  }
  return reinterpret_cast<Fn>(symbol);
}

}  // namespace

std::string StatusText(com::HRESULT status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}

InprocServer::InprocServer(const std::filesystem::path& file)
    : library_(::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) {
  if (!library_) {
    const char* reason = ::dlerror();
    throw HostError("cannot load " + file.string() + ": " + (reason ? reason : "unknown reason"));
  }
  void* const handle = library_.get();
  getClassObject_ = EntryPoint<com::DllGetClassObjectFn>(handle, "DllGetClassObject", file);
  canUnloadNow_ = EntryPoint<com::DllCanUnloadNowFn>(handle, "DllCanUnloadNow", file);
  registerServer_ = EntryPoint<com::DllRegisterServerFn>(handle, "DllRegisterServer", file);
  unregisterServer_ = EntryPoint<com::DllUnregisterServerFn>(handle, "DllUnregisterServer", file);
}

InprocServer::~InprocServer() {
  // A module still in use stays loaded for the rest of the process: its code may yet run.
  if (!unloadIfUnused()) library_.release();
}

com::HRESULT InprocServer::getClassObject(const com::CLSID& clsid, const com::IID& iid,
                                          void** out) const {
  return getClassObject_(clsid, iid, out);
}

com::HRESULT InprocServer::registerServer() const {
  return registerServer_();
}
com::HRESULT InprocServer::unregisterServer() const {
  return unregisterServer_();
}

bool InprocServer::unloadIfUnused() {
  if (!library_) return true;
  if (canUnloadNow_() != com::S_OK) return false;
  library_.reset();
  return true;
}

std::filesystem::path RegisteredModule(const com::CLSID& clsid) {
  const std::string id = com::GuidText(clsid);
  try {
    const system::Registry registry(system::Registry::defaultPath());
    const auto entry = registry.findClass(id);
    if (!entry || entry->modulePath.empty()) {
      throw HostError("class " + id + " is not registered in " + registry.file().string() +
                      " (run `marqel-host register --plugin PATH`, or give --plugin PATH)");
    }
    return entry->modulePath;
  } catch (const system::RegistryError& error) {
    throw HostError(error.what());
  }
}

}  // namespace marqel::host
