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

std::optional<std::filesystem::path> RegisteredModule(const com::CLSID& clsid) {
  std::filesystem::path file;
  try {
    file = system::Registry::defaultPath();
  } catch (const system::RegistryError&) {
    return std::nullopt;  // no home, so no registry: nothing is registered for this user
  }
  try {
    const system::Registry registry(file);
    const auto entry = registry.findClass(com::GuidText(clsid));
    if (!entry || entry->modulePath.empty()) return std::nullopt;
    return entry->modulePath;
  } catch (const system::RegistryError& error) {
    throw HostError(error.what());
  }
}

std::filesystem::path ProgramDirectory() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path(".") : self.parent_path();
}

std::optional<std::filesystem::path> InstalledModule() {
#ifdef MARQEL_INSTALLED_MODULE
  // Relative to the program (the install layout in packaging/CMakeLists.txt says where), so that
  // an installed tree works wherever it was put: a package's prefix, or a staging root.
  const auto module = (ProgramDirectory() / MARQEL_INSTALLED_MODULE).lexically_normal();
  std::error_code ec;
  if (std::filesystem::is_regular_file(module, ec)) return module;
#endif
  return std::nullopt;
}

}  // namespace marqel::host
