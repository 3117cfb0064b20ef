#pragma once
// A pseudo-terminal pair standing in for a serial line: the code under test opens slavePath() as
// its device, and the test reads what went out on the line from the master side.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "linux/posix/terminal.h"

namespace marqel::test {

class PtyPair {
 public:
  // Throws std::system_error.
  PtyPair() : pty_(posix::OpenPtyMaster(posix::Blocking::Block)) {}

  int masterFd() const { return pty_.fd.get(); }
  const std::string& slavePath() const { return pty_.slavePath; }

  // Hangs up the line, as pulling out a USB adapter does: from then on every descriptor open on
  // the slave gets EIO.
  void closeMaster() { pty_.fd.reset(); }

  // Every byte that arrives until the line has stayed quiet for `quiet`.
  std::vector<std::uint8_t> readAvailable(
      std::chrono::milliseconds quiet = std::chrono::milliseconds(100)) const {
    std::vector<std::uint8_t> bytes;
    while (readSome(bytes, quiet)) {
    }
    return bytes;
  }

  // Reads until `count` bytes have arrived or `timeout` has passed, whichever comes first.
  std::vector<std::uint8_t> readExactly(
      std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !readSome(bytes, left, count - bytes.size())) {
        break;
      }
    }
    return bytes;
  }

 private:
  // Appends what arrives within `wait` (at most `limit` bytes); false when nothing came, or the
  // slave side is closed and nothing is left to read.
  bool readSome(std::vector<std::uint8_t>& bytes, std::chrono::milliseconds wait,
                std::size_t limit = 4096) const {
    if (!pty_.fd) {
      return false;
    }
    for (;;) {
      pollfd ready{masterFd(), POLLIN, 0};
      const int polled = ::poll(&ready, 1, static_cast<int>(wait.count()));
      if (polled < 0 && errno == EINTR) {
        continue;
      }
      if (polled <= 0) {
        return false;
      }
      std::uint8_t buffer[4096];
      const ssize_t got = ::read(masterFd(), buffer, std::min(limit, sizeof buffer));
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got <= 0) {
        return false;  // EIO: no slave open and nothing buffered
      }
      bytes.insert(bytes.end(), buffer, buffer + got);
      return true;
    }
  }

  posix::PtyMaster pty_;
};

}  // namespace marqel::test
