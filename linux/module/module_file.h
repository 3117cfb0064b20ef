#pragma once
// Where the module's own file lies, found through an address inside the module.
#include <string>

#include "platform/module_info.h"

namespace marqel::module {

// The absolute path of the module's file (symbolic links resolved); empty when the system cannot
// tell.
std::string ModuleFilePath();

class ModuleFileInfo final : public platform::ModuleInfo {
 public:
  // The directory of ModuleFilePath(), without a closing separator ("/" for the root).
  std::u16string moduleDirectory() const override;
  char16_t pathSeparator() const override { return u'/'; }
};

}  // namespace marqel::module
