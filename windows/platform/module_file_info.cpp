#include "windows/platform/module_file_info.h"

namespace marqel::platform::win32 {

std::wstring ModuleFilePath(HMODULE module) {
  // Paths may be longer than MAX_PATH; grow until the whole name fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD length = ::GetModuleFileNameW(module, path.data(), size);
    if (length == 0) {
      return {};
    }
    if (length < size) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) {
      return {};
    }
    path.resize(path.size() * 2);
  }
}

std::wstring DirectoryOf(const std::wstring& path) {
  const auto cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos) {
    return {};
  }
  // "C:\Marqel.dll" lies in "C:\", not in "C:" (the current directory of drive C).
  if (cut == 2 && path[1] == L':') {
    return path.substr(0, 3);
  }
  return path.substr(0, cut);
}

std::filesystem::path ModuleFileInfo::moduleDirectory() const {
  return DirectoryOf(ModuleFilePath(module_));
}

}  // namespace marqel::platform::win32
