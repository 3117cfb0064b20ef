#pragma once
// Sole ownership of a file descriptor: closed when the owner goes away.
#include <unistd.h>

#include "common/unique_resource.h"

namespace marqel::platform::linux_ {

struct FdTraits {
  using Handle = int;
  static constexpr int invalid() noexcept { return -1; }
  // Not retried on EINTR: on Linux the descriptor is gone either way.
  static void close(int fd) noexcept { ::close(fd); }
};

using UniqueFd = UniqueResource<FdTraits>;

}  // namespace marqel::platform::linux_
