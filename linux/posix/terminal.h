#pragma once
// POSIX plumbing for programs that show the display in a terminal (marqel-lcd, the host's demo):
// the pseudo-terminal that stands in for the serial port, raw mode, signals, the terminal's width.
#include <optional>
#include <string>

namespace marqel::vlcd::term {

// A pseudo-terminal whose slave end stands in for the display's serial port.
struct Pty {
  int master = -1;
  int slave = -1;  // held open so the master never sees a hang-up when the writer closes
  std::string path;
};

// Both ends close on exec; the master does not block, the slave is raw at 9600 baud until its
// writer sets a mode of its own. Throws std::system_error (and leaves nothing open).
Pty openPty();

// Raw 8N1, no echo, no line or output processing; `baud` also sets the speed (0 leaves it).
// Throws std::system_error.
void makeRaw(int fd, int baud);

void closeFd(int& fd);

// Self-pipe for SIGINT, SIGTERM and SIGWINCH, so poll() sees signals as readable input.
class SignalPipe {
 public:
  SignalPipe();
  ~SignalPipe();
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;

  int fd() const;
  // The next signal that arrived, if any.
  std::optional<int> take();
};

// Width of the terminal on `fd` in columns, or 80 when it is not a terminal.
int terminalColumns(int fd);

}  // namespace marqel::vlcd::term
