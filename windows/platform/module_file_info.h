#pragma once
// Where a module (the component's DLL) lies, from the system's record of its file.
#include <windows.h>

#include <filesystem>
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
  std::filesystem::path moduleDirectory() const override;
  std::filesystem::path::value_type pathSeparator() const override { return L'\\'; }

 private:
  HMODULE module_;
};

}  // namespace marqel::platform::win32
