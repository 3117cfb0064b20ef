#include "linux/module/module_file.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <memory>

namespace marqel::module {
namespace {

// Any address inside the module will do; this function's own is the simplest.
void AnchorInModule() {}

}  // namespace

std::string ModuleFilePath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&AnchorInModule), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  const std::unique_ptr<char, decltype(&::free)> resolved(::realpath(info.dli_fname, nullptr),
                                                          &::free);
  return resolved ? std::string(resolved.get()) : std::string(info.dli_fname);
}

std::filesystem::path ModuleFileInfo::moduleDirectory() const {
  const std::string path = ModuleFilePath();
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace marqel::module
