#include "linux/platform/settings_files_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "common/path_text.h"
#include "common/runtime_error.h"
#include "linux/posix/posix_handles.h"

namespace marqel::platform::linux_ {
namespace {

using posix::UniqueFd;

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

// As many links as the system follows in one path before it gives up (Linux: 40).
constexpr int kMaxLinkHops = 40;

// The file that a symbolic link, or a chain of them, names; the path itself when it is no link.
// A link stays a link and the file it names gets the content, as writing in place would give it,
// also when that file does not exist yet.
std::string LinkedFile(const std::string& path) {
  std::string file = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      return file;
    }
    std::error_code error;
    const std::filesystem::path named = std::filesystem::read_symlink(file, error);
    if (error) {
      RaiseWriteError(error.value(), path);
    }
    file = named.is_absolute() ? named.native() : DirectoryOf(file) + "/" + named.native();
  }
  RaiseWriteError(ELOOP, path);
}

// Whether the system lets this process, with its effective ids, do `mode` to `path`: only the
// system knows (privileges, access lists, a read-only mount), the permission bits do not.
bool Allowed(const std::string& path, int mode) {
  return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

// How the new content gets into place.
enum class WriteRoute {
  kReplace,  // a temporary file renamed over the target: never torn
  kInPlace,  // no file may be created in the directory, but the target itself may be written
};

[[noreturn]] void RaiseNotWritable(int error, const std::string& target) {
  // "Read-only" is what a user sees of a file they may read but not write; a file they may not
  // even read, or one on a read-only file system, is named by the system's reason.
  if (error == EACCES && Allowed(target, R_OK)) {
    throw RuntimeError(err::kPermissionDenied,
                       "Permission denied: " + Shown(target) + " is read-only");
  }
  RaiseWriteError(error, target);
}

// Refuses, before anything is touched, what writing the file in place would refuse; otherwise
// picks the safest route the directory allows.
WriteRoute ChooseRoute(const std::string& target, const std::string& directory) {
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists) {
    if (S_ISDIR(st.st_mode)) {
      throw RuntimeError(err::kPathFileAccessError,
                         "Path/File access error: " + Shown(target) + " is a directory");
    }
    if (!S_ISREG(st.st_mode)) {
      throw RuntimeError(err::kPathFileAccessError,
                         "Path/File access error: " + Shown(target) + " is not an ordinary file");
    }
    if (!Allowed(target, W_OK)) {
      RaiseNotWritable(errno, target);
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
  if (Allowed(directory, W_OK | X_OK)) {
    return WriteRoute::kReplace;
  }
  const int refused = errno;
  if (exists) {
    return WriteRoute::kInPlace;
  }
  if (refused == EACCES && Allowed(directory, R_OK | X_OK)) {
    throw RuntimeError(err::kPermissionDenied, "Permission denied: the directory " +
                                                   Shown(directory) + " is read-only, so " +
                                                   Shown(target) + " cannot be written");
  }
  RaiseWriteError(refused, target);
}

// Writes all of `content` at the descriptor's offset, through short and interrupted writes.
// Returns 0, or the errno of the failure.
int WriteAll(int fd, std::string_view content, const PosixSettingsFiles::WriteCall& write) {
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const ssize_t n = write(fd, data, left);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return n < 0 ? errno : EIO;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return 0;
}

// What the file holds now, to put back should the new content not get in whole; empty when it
// cannot be read (a file the user may write but not read).
std::string ContentToRestore(const std::string& target) {
  const UniqueFd fd(::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  std::string content;
  char buffer[4096];
  ssize_t n = 0;
  while (fd.valid() && content.size() <= PosixSettingsFiles::kMaxReadSize &&
         (n = ::read(fd.get(), buffer, sizeof buffer)) > 0) {
    content.append(buffer, static_cast<std::size_t>(n));
  }
  return content;
}

// The file's own bytes overwritten: the whole content in one go, flushed, then the old rest cut
// off. Until the cut, the file starts with the complete new content and a reader stops after
// its two numbers, so no moment shows a torn file.
void WriteInPlace(const std::string& target, std::string_view content,
                  const PosixSettingsFiles::WriteCall& write) {
  const std::string old = ContentToRestore(target);
  UniqueFd fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.valid()) {
    RaiseWriteError(errno, target);
  }
  if (const int error = WriteAll(fd.get(), content, write); error != 0) {
    // As much of the old content as the system lets back in; the write's failure is what counts.
    [[maybe_unused]] const ssize_t restored = ::pwrite(fd.get(), old.data(), old.size(), 0);
    [[maybe_unused]] const int cut = ::ftruncate(fd.get(), static_cast<off_t>(old.size()));
    RaiseWriteError(error, target);
  }
  if (::fdatasync(fd.get()) != 0 ||
      ::ftruncate(fd.get(), static_cast<off_t>(content.size())) != 0 || ::fsync(fd.get()) != 0 ||
      posix::CloseReporting(fd) != 0) {
    RaiseWriteError(errno, target);
  }
}

// How the target's temporary files begin: ".gen_marqel.ini.new-", then "<pid>-<attempt>".
std::string TemporaryPrefix(const std::string& target) {
  return "." + target.substr(target.rfind('/') + 1) + ".new-";
}

// A decimal number made of digits only; none for anything else.
std::optional<long> Digits(std::string_view text) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text.front() < '0' || text.front() > '9' || error != std::errc() ||
      end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// Whether "<pid>-<attempt>" names a save that can no longer be under way: its process is gone,
// or it is this process, which saves one file at a time and removes its own temporary file.
bool LeftByAnEndedSave(std::string_view rest) {
  const auto dash = rest.find('-');
  if (dash == std::string_view::npos || !Digits(rest.substr(dash + 1))) {
    return false;
  }
  const std::optional<long> pid = Digits(rest.substr(0, dash));
  if (!pid || *pid <= 0 || *pid != static_cast<pid_t>(*pid)) {
    return false;
  }
  return *pid == ::getpid() || (::kill(static_cast<pid_t>(*pid), 0) != 0 && errno == ESRCH);
}

// A save that was killed leaves its temporary file behind; the next save clears such files.
// Nothing here is worth failing the save for, so errors only end the clearing.
void RemoveStaleTemporaryFiles(const std::string& target, const std::string& directory) {
  namespace fs = std::filesystem;
  const std::string prefix = TemporaryPrefix(target);
  std::error_code listing;
  for (fs::directory_iterator entry(directory, listing), end; !listing && entry != end;
       entry.increment(listing)) {
    const std::string name = entry->path().filename().native();
    std::error_code ignored;
    if (name.starts_with(prefix) &&
        LeftByAnEndedSave(std::string_view(name).substr(prefix.size())) &&
        entry->symlink_status(ignored).type() == fs::file_type::regular) {
      fs::remove(entry->path(), ignored);
    }
  }
}

// The temporary file beside the target; removed again unless it has been renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) {
    const std::string stem =
        DirectoryOf(target) + "/" + TemporaryPrefix(target) + std::to_string(::getpid()) + "-";
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

// The new content in a temporary file beside the target, flushed and renamed over it.
void ReplaceThroughTemporaryFile(const std::string& target, const std::string& directory,
                                 std::string_view content,
                                 const PosixSettingsFiles::WriteCall& write) {
  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0;

  RemoveStaleTemporaryFiles(target, directory);
  TemporaryFile temp(target);
  if (replacing) {
    // The new file keeps the old one's permissions and, where allowed, its owner.
    ::fchmod(temp.fd(), old.st_mode & 07777);
    [[maybe_unused]] const int owned = ::fchown(temp.fd(), old.st_uid, old.st_gid);
  }
  if (const int error = WriteAll(temp.fd(), content, write); error != 0) {
    RaiseWriteError(error, target);
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
  const std::string target = LinkedFile(NativePath(path));
  const std::string directory = DirectoryOf(target);
  switch (ChooseRoute(target, directory)) {
    case WriteRoute::kReplace:
      ReplaceThroughTemporaryFile(target, directory, content, write_);
      break;
    case WriteRoute::kInPlace:
      WriteInPlace(target, content, write_);
      break;
  }
}

}  // namespace marqel::platform::linux_
