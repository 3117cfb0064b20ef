#pragma once
// The settings file on a POSIX file system.
//
// Only an ordinary file counts as present (a directory, a device or a pipe of that name does
// not; Linux marks no file hidden or system). Paths are the system's bytes, whatever their
// encoding; error descriptions show them as text.
//
// The content is replaced atomically where the directory allows it: the new bytes go to a
// temporary file in the same directory, which is flushed to disk and renamed over the old one, so
// a failure at any point leaves the old file as it was and no temporary file behind (those that
// a killed save left are removed by the next save). Where no file may be created in the
// directory but the file itself may be written, it is written in place: the whole content in one
// go, flushed, then cut to its length (a failed write puts the old content back as far as the
// system lets it). A file the user may not write is refused before anything is touched, as
// writing in place would refuse it. What the user may do is asked of the system (faccessat with
// the effective ids), never read from the permission bits. A symbolic link stays a link: the file
// it names gets the content, also when that file does not exist yet.
#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/settings_files.h"

namespace marqel::platform::linux_ {

class PosixSettingsFiles final : public SettingsFiles {
 public:
  // The call that writes the new content (::write by default); tests put a failing one in.
  using WriteCall = std::function<ssize_t(int fd, const void* data, std::size_t size)>;

  // A settings file holds two short lines; anything larger than this is not one, and is not
  // read into memory.
  static constexpr std::size_t kMaxReadSize = std::size_t{1} << 20;

  PosixSettingsFiles();
  explicit PosixSettingsFiles(WriteCall write);

  bool isOrdinaryFile(const std::filesystem::path& path) const override;
  std::string readAll(const std::filesystem::path& path) const override;
  void replaceContent(const std::filesystem::path& path, std::string_view content) override;

 private:
  WriteCall write_;
};

}  // namespace marqel::platform::linux_
