#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace marqel::platform {

// The file-system services the settings file needs. Paths are the system's own (bytes on POSIX
// systems, wide strings on Windows), so any name the system gives can be reached.
class SettingsFiles {
 public:
  virtual ~SettingsFiles() = default;
  // True only when the directory holds an ordinary file of that name: a directory of that name,
  // and a file the platform marks hidden or system, count as absent.
  virtual bool isOrdinaryFile(const std::filesystem::path& path) const = 0;
  // The whole content. Raises a RuntimeError when the file cannot be opened or read.
  virtual std::string readAll(const std::filesystem::path& path) const = 0;
  // Puts `content` in place of the file's content. Either the whole new content is there
  // afterwards or, when this raises a RuntimeError, the old file is left as it was (as far as the
  // system allows where the file can only be written in place).
  virtual void replaceContent(const std::filesystem::path& path, std::string_view content) = 0;
};

}  // namespace marqel::platform
