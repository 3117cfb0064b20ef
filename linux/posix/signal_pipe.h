#pragma once
// Signals as input (a self-pipe): the handler only writes the signal's number into a pipe, so a
// poll loop sees the read end readable and takes the signals in its ordinary turn.
#include <csignal>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "linux/posix/posix_handles.h"

namespace marqel::posix {

class SignalPipe {
 public:
  // What a system call that a signal interrupts does: go on (SA_RESTART), or fail with EINTR so
  // that a blocking call (open() of a FIFO without a writer) gives way to Ctrl-C.
  enum class Interrupted { Restart, Fail };

  // Catches `signals` from now on. One at a time in a process (raises std::logic_error for a
  // second); throws std::system_error when no pipe can be made. The previous handlers come back
  // when it goes.
  SignalPipe(std::initializer_list<int> signals, Interrupted calls);
  ~SignalPipe();
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;

  // Readable while a signal waits to be taken.
  int fd() const { return pipe_.readEnd.get(); }
  // The next signal that arrived, if any.
  std::optional<int> take();

 private:
  Pipe pipe_;
  std::vector<std::pair<int, struct sigaction>> previous_;
};

}  // namespace marqel::posix
