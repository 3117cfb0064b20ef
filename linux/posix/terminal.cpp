#include "vlcd/terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <system_error>

namespace marqel::vlcd::term {

namespace {

int gSignalWrite = -1;
int gSignalRead = -1;

[[noreturn]] void fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

extern "C" void onSignal(int number) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(number);
  if (write(gSignalWrite, &byte, 1) < 0) {
    // Pipe full: a signal of the same kind is already waiting to be handled.
  }
  errno = saved;
}

speed_t speedFor(int baud) {
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

Pty openPty() {
  Pty pty;
  try {
    pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (pty.master < 0) fail("posix_openpt");
    if (grantpt(pty.master) != 0 || unlockpt(pty.master) != 0) fail("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(pty.master, name, sizeof name) != 0) fail("ptsname");
    pty.path = name;
    pty.slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.slave < 0) fail("open pty slave");
    // Output processing on the slave would turn the 0x0A the sender writes into 0x0D 0x0A.
    makeRaw(pty.slave, 9600);
  } catch (...) {
    closeFd(pty.slave);
    closeFd(pty.master);
    throw;
  }
  return pty;
}

void makeRaw(int fd, int baud) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) fail("tcgetattr");
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (baud != 0) {
    cfsetispeed(&settings, speedFor(baud));
    cfsetospeed(&settings, speedFor(baud));
  }
  if (tcsetattr(fd, TCSANOW, &settings) != 0) fail("tcsetattr");
}

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

SignalPipe::SignalPipe() {
  int ends[2];
  if (pipe(ends) != 0) fail("pipe");
  for (int end : ends) {
    fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
    fcntl(end, F_SETFD, FD_CLOEXEC);
  }
  gSignalRead = ends[0];
  gSignalWrite = ends[1];
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocking open() of a FIFO must give way to Ctrl-C
  for (int number : {SIGINT, SIGTERM, SIGWINCH}) sigaction(number, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

SignalPipe::~SignalPipe() {
  for (int number : {SIGINT, SIGTERM, SIGWINCH}) std::signal(number, SIG_DFL);
  closeFd(gSignalRead);
  closeFd(gSignalWrite);
}

int SignalPipe::fd() const {
  return gSignalRead;
}

std::optional<int> SignalPipe::take() {
  unsigned char byte = 0;
  if (read(gSignalRead, &byte, 1) == 1) return static_cast<int>(byte);
  return std::nullopt;
}

int terminalColumns(int fd) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace marqel::vlcd::term
