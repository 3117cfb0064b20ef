#pragma once
// Where the module's own file lies, found through an address inside the module.
#include <filesystem>
#include <string>

#include "platform/module_info.h"

namespace marqel::module {

// The absolute path of the module's file (symbolic links resolved), as the system's bytes; empty
// when the system cannot tell.
std::string ModuleFilePath();

class ModuleFileInfo final : public platform::ModuleInfo {
 public:
  // The directory of ModuleFilePath(), without a closing separator ("/" for the root).
  std::filesystem::path moduleDirectory() const override;
  std::filesystem::path::value_type pathSeparator() const override { return '/'; }
};

}  // namespace marqel::module
