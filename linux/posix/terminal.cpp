#include "linux/posix/terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace marqel::posix {
namespace {

[[noreturn]] void Fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

speed_t SpeedFor(int baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    default:
      return B9600;
  }
}

}  // namespace

PtyMaster OpenPtyMaster(Blocking reads) {
  const int nonBlocking = reads == Blocking::NonBlock ? O_NONBLOCK : 0;
  PtyMaster pty{UniqueFd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | nonBlocking)), {}};
  if (!pty.fd) Fail("posix_openpt");
  if (::grantpt(pty.fd.get()) != 0 || ::unlockpt(pty.fd.get()) != 0) Fail("grantpt/unlockpt");
  char name[128];
  if (::ptsname_r(pty.fd.get(), name, sizeof name) != 0) Fail("ptsname");
  pty.slavePath = name;
  return pty;
}

Pty OpenPty() {
  PtyMaster master = OpenPtyMaster(Blocking::NonBlock);
  Pty pty{std::move(master.fd),
          UniqueFd(::open(master.slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)),
          std::move(master.slavePath)};
  if (!pty.slave) Fail("open pty slave");
  // Output processing on the slave would turn the 0x0A the sender writes into 0x0D 0x0A.
  MakeRaw(pty.slave.get(), 9600);
  return pty;
}

void MakeRaw(int fd, int baud) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) Fail("tcgetattr");
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (baud != 0) {
    ::cfsetispeed(&settings, SpeedFor(baud));
    ::cfsetospeed(&settings, SpeedFor(baud));
  }
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) Fail("tcsetattr");
}

int TerminalColumns(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace marqel::posix
