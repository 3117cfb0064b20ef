#pragma once
// The host's side of the binary interface: loading an in-process server module, holding
// interface pointers, and finding a class's module through the registry or beside the program.
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "linux/posix/posix_handles.h"
#include "plugin/com/com_abi.h"
#include "plugin/com/com_ptr.h"

namespace marqel::host {

class HostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "0x800A0035".
std::string StatusText(com::HRESULT status);

using com::ComPtr;

// A loaded module and its four entry points. Unloads on destruction only when the module says it
// can be unloaded (nothing of it is still in use).
class InprocServer {
 public:
  // Raises HostError naming the file and the loader's reason, or the missing entry point.
  explicit InprocServer(const std::filesystem::path& file);
  ~InprocServer();
  InprocServer(const InprocServer&) = delete;
  InprocServer& operator=(const InprocServer&) = delete;

  com::HRESULT getClassObject(const com::CLSID& clsid, const com::IID& iid, void** out) const;
  com::HRESULT registerServer() const;
  com::HRESULT unregisterServer() const;
  // Unloads now if the module agrees; true when it is unloaded.
  bool unloadIfUnused();

 private:
  posix::UniqueLibrary library_;
  com::DllGetClassObjectFn getClassObject_ = nullptr;
  com::DllCanUnloadNowFn canUnloadNow_ = nullptr;
  com::DllRegisterServerFn registerServer_ = nullptr;
  com::DllUnregisterServerFn unregisterServer_ = nullptr;
};

// The module registered for `clsid` in the user's class registry, or nothing when the class is
// not registered there (or the user has no home for a registry). Raises HostError when the
// registry exists but cannot be read.
std::optional<std::filesystem::path> RegisteredModule(const com::CLSID& clsid);

// The folder of the running program (".", should the system not say).
std::filesystem::path ProgramDirectory();

// The module installed with the program (MARQEL_INSTALLED_MODULE, relative to the program's
// folder), or nothing when there is none: a program run from the build tree has none.
std::optional<std::filesystem::path> InstalledModule();

}  // namespace marqel::host
