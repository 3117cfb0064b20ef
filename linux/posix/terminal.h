#pragma once
// Terminals for the programs that stand a pseudo-terminal in for the display's serial line
// (marqel-lcd, the host's demo, the tests): opening a pty, raw mode, the terminal's width.
#include <string>

#include "linux/posix/posix_handles.h"

namespace marqel::posix {

// The master end of a new pseudo-terminal and the path of its slave end. Nothing holds the slave
// open: while no one has it open, reading the master gives EIO.
struct PtyMaster {
  UniqueFd fd;
  std::string slavePath;
};

enum class Blocking { Block, NonBlock };

// The master closes on exec. Throws std::system_error (and leaves nothing open).
PtyMaster OpenPtyMaster(Blocking reads);

// A pseudo-terminal whose slave end stands in for the display's serial port.
struct Pty {
  UniqueFd master;
  UniqueFd slave;  // held open so the master never sees a hang-up when the writer closes
  std::string path;
};

// Both ends close on exec; the master does not block, the slave is raw at 9600 baud until its
// writer sets a mode of its own. Throws std::system_error (and leaves nothing open).
Pty OpenPty();

// Raw 8N1, no echo, no line or output processing; `baud` also sets the speed (0 leaves it).
// Throws std::system_error.
void MakeRaw(int fd, int baud);

// Width of the terminal on `fd` in columns, or 80 when it is not a terminal.
int TerminalColumns(int fd);

}  // namespace marqel::posix
