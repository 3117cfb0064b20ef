#include "linux/platform/settings_files_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <system_error>

#include "common/path_text.h"
#include "common/runtime_error.h"
#include "linux/posix/posix_handles.h"

namespace marqel::platform::linux_ {
namespace {

using posix::UniqueFd;

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

std::string Reason(int error) {
  return std::generic_category().message(error);
}

// The path's bytes as the file system takes them; a path with a NUL in it would name another file.
const std::string& NativePath(const std::filesystem::path& path) {
  if (path.empty() || path.native().find('\0') != std::string::npos) {
    throw RuntimeError(err::kPathFileAccessError, "Path/File access error: invalid file name");
  }
  return path.native();
}

// A path in an error description: readable text, whatever the bytes' encoding.
std::string Shown(const std::string& path) {
  return PathTextUtf8(std::filesystem::path(path));
}

std::string DirectoryOf(const std::string& file) {
  const auto slash = file.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : file.substr(0, slash);
}

[[noreturn]] void RaiseReadError(int error) {
  switch (error) {
    case ENOENT:
      throw RuntimeError(err::kFileNotFound, "File not found");
    case EACCES:
    case EPERM:
      throw RuntimeError(err::kPermissionDenied, "Permission denied");
    default:
      throw RuntimeError(err::kPathFileAccessError, "Path/File access error: " + Reason(error));
  }
}

[[noreturn]] void RaiseWriteError(int error, const std::string& path) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      throw RuntimeError(err::kDiskFull, "Disk full: " + Shown(path) + " could not be written");
    case EACCES:
    case EPERM:
    case EROFS:
      throw RuntimeError(
          err::kPermissionDenied,
          "Permission denied: " + Shown(path) + " could not be written (" + Reason(error) + ")");
    default:
      throw RuntimeError(err::kPathFileAccessError, "Path/File access error: " + Shown(path) +
                                                        " could not be written (" + Reason(error) +
                                                        ")");
  }
}

// Refuses, before anything is touched, what writing the file in place would refuse.
void CheckWritable(const std::string& target, const std::string& directory) {
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      throw RuntimeError(err::kPathFileAccessError,
                         "Path/File access error: " + Shown(target) + " is a directory");
    }
    if (!S_ISREG(st.st_mode)) {
      throw RuntimeError(err::kPathFileAccessError,
                         "Path/File access error: " + Shown(target) + " is not an ordinary file");
    }
    if ((st.st_mode & kAnyWrite) == 0 || ::access(target.c_str(), W_OK) != 0) {
      throw RuntimeError(err::kPermissionDenied,
                         "Permission denied: " + Shown(target) + " is read-only");
    }
  } else if (errno != ENOENT) {
    RaiseWriteError(errno, target);
  }
  if (::stat(directory.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      throw RuntimeError(err::kPathNotFound,
                         "Path not found: the directory " + Shown(directory) + " does not exist");
    }
    RaiseWriteError(errno, target);
  }
  if ((st.st_mode & kAnyWrite) == 0 || ::access(directory.c_str(), W_OK | X_OK) != 0) {
    throw RuntimeError(err::kPermissionDenied, "Permission denied: the directory " +
                                                   Shown(directory) + " is read-only, so " +
                                                   Shown(target) + " cannot be written");
  }
}

// The temporary file beside the target; removed again unless it has been renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) {
    const std::string stem = DirectoryOf(target) + "/." + target.substr(target.rfind('/') + 1) +
                             ".new-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100 && !fd_.valid(); ++attempt) {
      path_ = stem + std::to_string(attempt);
      fd_.reset(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
      if (!fd_.valid() && errno != EEXIST) {
        RaiseWriteError(errno, target);
      }
    }
    if (!fd_.valid()) {
      RaiseWriteError(EEXIST, target);
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    fd_.reset();
    if (!renamed_) {
      ::unlink(path_.c_str());
    }
  }

  int fd() const { return fd_.get(); }
  const std::string& path() const { return path_; }
  // Closes the descriptor, reporting what close() reports (a deferred write error).
  int close() { return posix::CloseReporting(fd_); }
  void markRenamed() { renamed_ = true; }

 private:
  std::string path_;
  UniqueFd fd_;
  bool renamed_ = false;
};

}  // namespace

PosixSettingsFiles::PosixSettingsFiles()
    : write_([](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }) {}

PosixSettingsFiles::PosixSettingsFiles(WriteCall write) : write_(std::move(write)) {}

bool PosixSettingsFiles::isOrdinaryFile(const std::filesystem::path& path) const {
  if (path.empty() || path.native().find('\0') != std::string::npos) {
    return false;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string PosixSettingsFiles::readAll(const std::filesystem::path& path) const {
  const std::string native = NativePath(path);
  // Non-blocking, so that a pipe put in the file's place cannot hang the start-up.
  const UniqueFd fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.valid()) {
    RaiseReadError(errno);
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    RaiseReadError(errno);
  }
  if (!S_ISREG(st.st_mode)) {
    throw RuntimeError(err::kPathFileAccessError, "Path/File access error: not an ordinary file");
  }
  std::string content;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      RaiseReadError(errno);
    }
    if (n == 0) {
      break;
    }
    content.append(buffer, static_cast<std::size_t>(n));
    if (content.size() > kMaxReadSize) {
      throw RuntimeError(err::kPathFileAccessError,
                         "Path/File access error: the file is larger than 1 MiB");
    }
  }
  return content;
}

void PosixSettingsFiles::replaceContent(const std::filesystem::path& path,
                                        std::string_view content) {
  std::string target = NativePath(path);
  // A symbolic link is written through, as writing in place would, and stays a link.
  struct stat link {};
  if (::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    if (char* resolved = ::realpath(target.c_str(), nullptr)) {
      target = resolved;
      std::free(resolved);
    }
  }
  const std::string directory = DirectoryOf(target);
  CheckWritable(target, directory);

  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0;

  TemporaryFile temp(target);
  if (replacing) {
    // The new file keeps the old one's permissions and, where allowed, its owner.
    ::fchmod(temp.fd(), old.st_mode & 07777);
    [[maybe_unused]] const int owned = ::fchown(temp.fd(), old.st_uid, old.st_gid);
  }
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const ssize_t n = write_(temp.fd(), data, left);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      RaiseWriteError(errno, target);
    }
    if (n == 0) {
      RaiseWriteError(EIO, target);
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::fsync(temp.fd()) != 0) {
    RaiseWriteError(errno, target);
  }
  if (temp.close() != 0) {
    RaiseWriteError(errno, target);
  }
  if (::rename(temp.path().c_str(), target.c_str()) != 0) {
    RaiseWriteError(errno, target);
  }
  temp.markRenamed();
  // The new content is in place now; flushing the directory entry only makes the rename last
  // through a power cut, and a file system that cannot do it has nothing to undo.
  const UniqueFd dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) {
    ::fsync(dir.get());
  }
}

}  // namespace marqel::platform::linux_
