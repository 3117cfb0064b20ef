#pragma once
// The terminal in raw mode for single-key control: no echo, no line editing, keys arrive as
// they are pressed. The previous mode comes back when this goes (also after an error).
#include <termios.h>

namespace marqel::players {

class RawTerminal {
 public:
  // Does nothing when `fd` is not a terminal.
  explicit RawTerminal(int fd);
  ~RawTerminal();
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;

  // Gives the terminal back in its previous mode for a while (a text form that reads lines), and
  // takes it again.
  void suspend();
  void resume();

 private:
  int fd_;
  bool active_ = false;
  bool raw_ = false;
  termios saved_{};
};

}  // namespace marqel::players
