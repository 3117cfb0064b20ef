#pragma once
// Sole ownership of a file descriptor: closed when the owner goes away.
#include <unistd.h>

#include <utility>

namespace marqel::platform::linux_ {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const noexcept { return fd_; }
  bool valid() const noexcept { return fd_ >= 0; }
  int release() noexcept { return std::exchange(fd_, -1); }
  // Closes the held descriptor. Not retried on EINTR: on Linux the descriptor is gone either way.
  void reset(int fd = -1) noexcept {
    const int old = std::exchange(fd_, fd);
    if (old >= 0) {
      ::close(old);
    }
  }

 private:
  int fd_ = -1;
};

}  // namespace marqel::platform::linux_
