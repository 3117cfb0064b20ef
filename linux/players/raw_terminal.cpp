#include "linux/players/raw_terminal.h"

#include <unistd.h>

namespace marqel::players {

RawTerminal::RawTerminal(int fd) : fd_(fd) {
  if (::isatty(fd_) == 0 || ::tcgetattr(fd_, &saved_) != 0) return;
  active_ = true;
  resume();
}

RawTerminal::~RawTerminal() {
  suspend();
}

void RawTerminal::suspend() {
  if (active_ && raw_) {
    ::tcsetattr(fd_, TCSADRAIN, &saved_);
    raw_ = false;
  }
}

void RawTerminal::resume() {
  if (!active_ || raw_) return;
  termios raw = saved_;
  // Keys one by one and unechoed; output processing stays, so "\n" still starts a new line, and
  // signals stay, so Ctrl-C still reaches the host.
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  if (::tcsetattr(fd_, TCSADRAIN, &raw) == 0) raw_ = true;
}

}  // namespace marqel::players
