#pragma once
// SIGINT and SIGTERM as input on the host's loop (a self-pipe): the handler only writes the
// signal's number, and the loop calls back in its ordinary turn.
#include <functional>

#include "linux/system/event_loop.h"

namespace marqel::host {

class SignalWatch {
 public:
  // One per process. The previous handlers come back when it goes.
  SignalWatch(platform::EventLoop& loop, std::function<void(int signal)> onSignal);
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

 private:
  void drain();

  platform::EventLoop& loop_;
  std::function<void(int)> onSignal_;
  int pipe_[2] = {-1, -1};
  int watch_ = 0;
};

}  // namespace marqel::host
