#include "linux/posix/companion_module.h"

#include <dlfcn.h>
#include <link.h>

#include "linux/posix/posix_handles.h"

namespace marqel::posix {

std::filesystem::path CompanionPath(const char* library, const char* file) {
  // Only looked up: RTLD_NOLOAD loads nothing that is not there already.
  const UniqueLibrary loaded(::dlopen(library, RTLD_LAZY | RTLD_NOLOAD));
  link_map* map = nullptr;
  if (!loaded || ::dlinfo(loaded.get(), RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
      map->l_name == nullptr) {
    return file;
  }
  return std::filesystem::path(map->l_name).parent_path() / file;
}

void* LoadCompanionEntryPoint(const char* library, const char* file, const char* entryPoint,
                              std::string& failure) {
  const std::filesystem::path path = CompanionPath(library, file);
  UniqueLibrary module(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
  if (!module) {
    const char* reason = ::dlerror();
    failure = reason != nullptr ? reason : "cannot load " + path.string();
    return nullptr;
  }
  void* const entry = ::dlsym(module.get(), entryPoint);
  if (entry == nullptr) {
    failure = path.string() + " has no entry point " + entryPoint;
    return nullptr;
  }
  // Kept: RTLD_NODELETE already keeps it mapped, and the handle has nothing left to do.
  module.release();
  return entry;
}

}  // namespace marqel::posix
