#pragma once
// Owners for the POSIX handle kinds Marqel holds, one line each over UniqueResource. A handle is
// released only by its owner, never by hand.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "common/unique_resource.h"

namespace marqel::posix {

namespace handle_traits {

struct Fd {
  using Handle = int;
  static constexpr int invalid() noexcept { return -1; }
  // Not retried on EINTR: on Linux the descriptor is gone either way.
  static void close(int fd) noexcept { ::close(fd); }
};
// A module loaded with dlopen.
struct Library {
  using Handle = void*;
  static constexpr void* invalid() noexcept { return nullptr; }
  static void close(void* library) noexcept { ::dlclose(library); }
};

}  // namespace handle_traits

using UniqueFd = UniqueResource<handle_traits::Fd>;
using UniqueLibrary = UniqueResource<handle_traits::Library>;

// Closes the descriptor now and answers what close() answers: on a file, a deferred write error
// shows only here. -1 with errno set on failure.
inline int CloseReporting(UniqueFd& fd) {
  return ::close(fd.release());
}

// Both ends of a pipe.
struct Pipe {
  UniqueFd readEnd;
  UniqueFd writeEnd;
};

// A pipe with `flags` (O_CLOEXEC, O_NONBLOCK) on both ends. Throws std::system_error.
inline Pipe OpenPipe(int flags) {
  int ends[2];
  if (::pipe2(ends, flags) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
  return Pipe{UniqueFd(ends[0]), UniqueFd(ends[1])};
}

}  // namespace marqel::posix
