#pragma once
// The settings file on Windows. Hidden and system files count as absent; a new content goes to a
// temporary file in the same directory first and then replaces the old file in one step, so a
// write that fails half-way leaves the old file as it was.
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/settings_files.h"

namespace marqel::platform::win32 {

class Win32SettingsFiles final : public SettingsFiles {
 public:
  bool isOrdinaryFile(const std::filesystem::path& path) const override;
  std::string readAll(const std::filesystem::path& path) const override;
  void replaceContent(const std::filesystem::path& path, std::string_view content) override;
};

}  // namespace marqel::platform::win32
