#include "linux/host/key_input.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace marqel::host {

KeyInput::KeyInput(platform::EventLoop& loop, int fd, std::function<void(char)> onKey)
    : loop_(loop), fd_(fd), onKey_(std::move(onKey)) {
  watch_ = loop_.watchFd(fd_, [this] { read(); });
}

KeyInput::~KeyInput() {
  stopWatching();
}

void KeyInput::read() {
  char keys[32];
  const ssize_t got = ::read(fd_, keys, sizeof keys);
  if (got <= 0) {
    if (got == 0 || (errno != EAGAIN && errno != EINTR)) stopWatching();
    return;
  }
  for (ssize_t i = 0; i < got; ++i) onKey_(keys[i]);
}

void KeyInput::stopWatching() {
  if (watch_ != 0) loop_.unwatchFd(std::exchange(watch_, 0));
}

}  // namespace marqel::host
