#pragma once
// Where a module (the component's DLL) lies, from the system's record of its file.
#include <windows.h>

#include <string>

#include "platform/module_info.h"

namespace marqel::platform::win32 {

// The full path of the module's file; empty when the system cannot tell.
std::wstring ModuleFilePath(HMODULE module);

// The directory part of a file path: without the closing backslash, except for a drive root,
// which keeps it ("C:\"). Empty for a bare file name.
std::wstring DirectoryOf(const std::wstring& path);

class ModuleFileInfo final : public ModuleInfo {
 public:
  explicit ModuleFileInfo(HMODULE module) : module_(module) {}
  std::u16string moduleDirectory() const override;
  char16_t pathSeparator() const override { return u'\\'; }

 private:
  HMODULE module_;
};

}  // namespace marqel::platform::win32
