#pragma once
// The settings file on Windows. Hidden and system files count as absent; a new content goes to a
// temporary file in the same directory first and then replaces the old file in one step, so a
// write that fails half-way leaves the old file as it was. In a folder where no file may be
// created but the file itself may be written, the file is written in place (WriteInPlace).
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/settings_files.h"

namespace marqel::platform::win32 {

// The file's own bytes overwritten in one go, flushed, then cut to the new length; a write that
// fails puts the old content back as far as the system lets it. Raises a RuntimeError.
void WriteInPlace(const std::filesystem::path& path, std::string_view content);

class Win32SettingsFiles final : public SettingsFiles {
 public:
  bool isOrdinaryFile(const std::filesystem::path& path) const override;
  std::string readAll(const std::filesystem::path& path) const override;
  void replaceContent(const std::filesystem::path& path, std::string_view content) override;
};

}  // namespace marqel::platform::win32
