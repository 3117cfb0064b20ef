#pragma once
// Keys from the terminal for a player stand-in, read on the host's loop as they arrive.
#include <functional>

#include "linux/system/event_loop.h"

namespace marqel::host {

class KeyInput {
 public:
  // Calls `onKey` for every key read from `fd`. Stops watching `fd` at the end of its input or on
  // a read error: a descriptor at its end stays readable, and watching it would spin the loop.
  KeyInput(platform::EventLoop& loop, int fd, std::function<void(char)> onKey);
  ~KeyInput();
  KeyInput(const KeyInput&) = delete;
  KeyInput& operator=(const KeyInput&) = delete;

  // False once the input has ended.
  bool watching() const { return watch_ != 0; }

 private:
  void read();
  void stopWatching();

  platform::EventLoop& loop_;
  int fd_;
  std::function<void(char)> onKey_;
  int watch_ = 0;
};

}  // namespace marqel::host
