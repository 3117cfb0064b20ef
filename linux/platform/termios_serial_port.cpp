#include "linux/platform/termios_serial_port.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "common/runtime_error.h"

namespace marqel::platform::linux_ {
namespace {

// 10 bits a byte (8N1) at 9600 baud.
constexpr auto kByteTimeOnTheLine = std::chrono::nanoseconds(10'000'000'000LL / 9600);

// How long close() waits for a queue that does not shrink at all (hardware that stopped taking
// bytes) before it throws the rest away. A queue that drains, however long, is waited for.
constexpr std::chrono::milliseconds kCloseStallLimit{2000};

std::string ErrorText(int error) {
  return std::generic_category().message(error);
}

// The group owning the device node: the group a user has to join to open it.
std::string DeviceGroup(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && info.st_gid != 0) {
    std::vector<char> buffer(4096);
    struct group entry {};
    struct group* found = nullptr;
    if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->gr_name != nullptr) {
      return found->gr_name;
    }
  }
  return "dialout";
}

bool IsGoneError(int error) {
  return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE;
}

// Waits until the driver's output queue is empty, then for the transmitter itself. Gives up
// (false) when the queue has not shrunk for `stallLimit` or the device no longer answers.
bool WaitUntilSent(int fd, std::chrono::milliseconds stallLimit) {
  using Clock = std::chrono::steady_clock;
  int lastQueued = -1;
  auto lastProgress = Clock::now();
  for (;;) {
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0) {
      return false;
    }
    if (queued <= 0) {
      break;
    }
    const auto now = Clock::now();
    if (queued != lastQueued) {
      lastQueued = queued;
      lastProgress = now;
    } else if (now - lastProgress >= stallLimit) {
      return false;
    }
    // At 9600 baud a byte takes about a millisecond; look again when some of them should be out.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp(queued, 1, 20)));
  }
  while (::tcdrain(fd) != 0) {
    if (errno != EINTR) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string SerialDevicePath(int port, const SerialDeviceOverrides& overrides) {
  if (const auto it = overrides.find(port); it != overrides.end() && !it->second.empty()) {
    return it->second;
  }
  const std::string variable = "MARQEL_COM" + std::to_string(port);
  if (const char* value = std::getenv(variable.c_str()); value != nullptr && *value != '\0') {
    return value;
  }
  return "/dev/ttyS" + std::to_string(port - 1);
}

TermiosSerialPort::TermiosSerialPort(SerialDeviceOverrides overrides)
    : overrides_(std::move(overrides)) {}

TermiosSerialPort::~TermiosSerialPort() {
  close();
}

std::string TermiosSerialPort::label() const {
  return "COM" + std::to_string(port_) + " (" + path_ + ")";
}

void TermiosSerialPort::setCommPort(std::int16_t port) {
  if (fd_.valid()) {
    throw RuntimeError(err::kPortOperationWhileOpen,
                       "Operation not valid while the port is opened");
  }
  port_ = port;
}

void TermiosSerialPort::open() {
  if (fd_.valid()) {
    throw RuntimeError(err::kPortAlreadyOpen, label() + ": port already open");
  }
  if (port_ < 1 || port_ > 255) {
    throw RuntimeError(err::kPortInvalid, "COM" + std::to_string(port_) +
                                              ": invalid port number (ports are COM1 to COM255)");
  }
  path_ = SerialDevicePath(port_, overrides_);

  // Non-blocking so that a modem port without carrier does not hang the open.
  posix::UniqueFd fd(::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    const int error = errno;
    switch (error) {
      case ENOENT:
      case ENODEV:
      case ENXIO:
      case ENOTDIR:
        // The environment picks the device only where the host names none.
        throw RuntimeError(
            err::kPortInvalid,
            label() + ": no such port (is the device plugged in?" +
                (overrides_.contains(port_) && !overrides_.at(port_).empty()
                     ? std::string(")")
                     : " MARQEL_COM" + std::to_string(port_) + "=DEVICE picks another one)"));
      case EACCES:
      case EPERM:
      case EROFS:
        throw RuntimeError(err::kPermissionDenied,
                           label() + ": permission denied (add your user to the " +
                               DeviceGroup(path_) + " group)");
      case EISDIR:
        throw RuntimeError(err::kPortSetupFailed, label() + ": not a serial port");
      case EBUSY:  // another holder set TIOCEXCL
        throw RuntimeError(err::kPortInUse, label() + ": port in use by another program");
      default:
        throw RuntimeError(err::kPortSetupFailed,
                           label() + ": cannot open (" + ErrorText(error) + ")");
    }
  }

  // TIOCEXCL does not stop root from opening the device again; an exclusive lock stops everyone
  // who asks for one.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EWOULDBLOCK) {
      throw RuntimeError(err::kPortInUse, label() + ": port in use by another program");
    }
    throw RuntimeError(err::kPortSetupFailed, label() + ": cannot lock (" + ErrorText(error) + ")");
  }

  termios settings{};
  if (::tcgetattr(fd.get(), &settings) != 0) {
    const int error = errno;
    if (error == ENOTTY || error == EINVAL) {
      throw RuntimeError(err::kPortSetupFailed, label() + ": not a serial port");
    }
    throw RuntimeError(err::kPortSetupFailed,
                       label() + ": cannot read the line settings (" + ErrorText(error) + ")");
  }
  // Raw bytes both ways (no output processing, no echo), 8N1, no flow control of any kind, and
  // modem lines ignored: the display board has none.
  ::cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  ::cfsetispeed(&settings, B9600);
  ::cfsetospeed(&settings, B9600);
  int result = 0;
  do {
    result = ::tcsetattr(fd.get(), TCSANOW, &settings);
  } while (result != 0 && errno == EINTR);
  // tcsetattr succeeds when any one of the changes took, so check the ones the board needs.
  termios applied{};
  if (result != 0 || ::tcgetattr(fd.get(), &applied) != 0 || ::cfgetospeed(&applied) != B9600 ||
      (applied.c_cflag & CSIZE) != CS8 || (applied.c_cflag & (PARENB | CSTOPB)) != 0 ||
      (applied.c_oflag & OPOST) != 0) {
    throw RuntimeError(err::kPortSetupFailed,
                       label() + ": cannot set 9600 baud, 8 data bits, no parity, 1 stop bit");
  }

  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    throw RuntimeError(err::kPortSetupFailed,
                       label() + ": cannot set blocking mode (" + ErrorText(errno) + ")");
  }
  // Keeps out non-root programs that do not lock. Ptys and some drivers refuse it; the lock above
  // still holds, so a refusal is no reason to fail.
  static_cast<void>(::ioctl(fd.get(), TIOCEXCL));
  fd_ = std::move(fd);
}

void TermiosSerialPort::close() {
  if (!fd_.valid()) {
    return;
  }
  const int fd = fd_.get();
  if (!WaitUntilSent(fd, kCloseStallLimit)) {
    // Otherwise the kernel's own close would wait up to its closing_wait (30 s) for the rest.
    static_cast<void>(::tcflush(fd, TCOFLUSH));
  }
  // A pty or an adapter still open elsewhere keeps the exclusive flag; clear the one we set.
  static_cast<void>(::ioctl(fd, TIOCNXCL));
  static_cast<void>(::flock(fd, LOCK_UN));
  fd_.reset();
}

void TermiosSerialPort::raiseGone(int error) const {
  if (IsGoneError(error)) {
    throw RuntimeError(
        err::kPortDeviceGone,
        label() + ": device gone (was it unplugged?); close and open the port again");
  }
  throw RuntimeError(err::kPortDeviceGone, label() + ": cannot send (" + ErrorText(error) + ")");
}

void TermiosSerialPort::output(std::uint8_t byte) {
  if (!fd_.valid()) {
    throw RuntimeError(err::kPortNotOpen, "Operation valid only when the port is open");
  }
  for (;;) {
    const ssize_t written = ::write(fd_.get(), &byte, 1);
    if (written == 1) {
      const auto now = std::chrono::steady_clock::now();
      lineIdleAt_ = std::max(now, lineIdleAt_) + kByteTimeOnTheLine;
      return;
    }
    const int error = written < 0 ? errno : EAGAIN;
    if (error == EINTR) {
      continue;
    }
    if (error != EAGAIN && error != EWOULDBLOCK) {
      raiseGone(error);
    }
    // The descriptor is blocking, but wait for room rather than spin should a driver say "again".
    pollfd ready{fd_.get(), POLLOUT, 0};
    const int polled = ::poll(&ready, 1, -1);
    if (polled < 0 && errno != EINTR) {
      raiseGone(errno);
    }
    if (polled > 0 && (ready.revents & POLLOUT) == 0 &&
        (ready.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      raiseGone(EIO);
    }
  }
}

void TermiosSerialPort::drain() {
  if (!fd_.valid()) {
    return;
  }
  while (::tcdrain(fd_.get()) != 0) {
    if (errno != EINTR) {
      raiseGone(errno);
    }
  }
  std::this_thread::sleep_until(lineIdleAt_);
}

TermiosSerialPortFactory::TermiosSerialPortFactory(SerialDeviceOverrides overrides)
    : overrides_(std::move(overrides)) {}

std::unique_ptr<SerialPort> TermiosSerialPortFactory::createSerialPort() {
  return std::make_unique<TermiosSerialPort>(overrides_);
}

}  // namespace marqel::platform::linux_
