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

// A device that takes no byte at all for this long has stopped taking them (hardware that hung, a
// line whose other end nobody reads). A device that takes them, however slowly, is waited for.
constexpr std::chrono::milliseconds kStallLimit{2000};

// What a failure records for a device that stopped taking bytes.
constexpr int kStalled = ETIMEDOUT;

// Bytes queued before they go out without waiting for a flush: the control's output buffer.
constexpr std::size_t kOutputBufferBytes = 512;

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

// Waits until the driver's output queue is empty, then for the transmitter itself. Returns 0;
// kStalled when the queue has not shrunk for kStallLimit; or the error of a device that no longer
// answers.
int WaitUntilSent(int fd) {
  using Clock = std::chrono::steady_clock;
  int lastQueued = -1;
  auto lastProgress = Clock::now();
  for (;;) {
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0) {
      return errno;
    }
    if (queued <= 0) {
      break;
    }
    const auto now = Clock::now();
    if (queued != lastQueued) {
      lastQueued = queued;
      lastProgress = now;
    } else if (now - lastProgress >= kStallLimit) {
      return kStalled;
    }
    // At 9600 baud a byte takes about a millisecond; look again when some of them should be out.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp(queued, 1, 20)));
  }
  while (::tcdrain(fd) != 0) {
    if (errno != EINTR) {
      return errno;
    }
  }
  return 0;
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
    : overrides_(std::move(overrides)) {
  queued_.reserve(kOutputBufferBytes);
}

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

  // Non-blocking, and it stays so: a modem port without carrier must not hang the open, nor a
  // device that stops taking bytes a write.
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
  // What is queued still goes out. A device that has failed is not waited for: its rest is thrown
  // away, as the kernel's own close would otherwise wait up to its closing_wait (30 s) for it.
  ResumeNext([&] { flush(); });
  if (failure_ == 0) {
    failure_ = WaitUntilSent(fd);
  }
  if (failure_ != 0) {
    static_cast<void>(::tcflush(fd, TCOFLUSH));
    lineIdleAt_ = {};  // what is thrown away takes no time on the line
  }
  // A pty or an adapter still open elsewhere keeps the exclusive flag; clear the one we set.
  static_cast<void>(::ioctl(fd, TIOCNXCL));
  static_cast<void>(::flock(fd, LOCK_UN));
  fd_.reset();
  queued_.clear();
  failure_ = 0;
}

void TermiosSerialPort::raiseFailure(int error) const {
  if (error == kStalled) {
    throw RuntimeError(err::kPortDeviceGone,
                       label() + ": the device does not take bytes (nothing went out for " +
                           std::to_string(kStallLimit.count() / 1000) +
                           " s); close and open the port again");
  }
  if (IsGoneError(error)) {
    throw RuntimeError(
        err::kPortDeviceGone,
        label() + ": device gone (was it unplugged?); close and open the port again");
  }
  throw RuntimeError(err::kPortDeviceGone, label() + ": cannot send (" + ErrorText(error) + ")");
}

void TermiosSerialPort::fail(int error) {
  failure_ = error;
  queued_.clear();
  raiseFailure(error);
}

void TermiosSerialPort::output(std::uint8_t byte) {
  if (!fd_.valid()) {
    throw RuntimeError(err::kPortNotOpen, "Operation valid only when the port is open");
  }
  if (failure_ != 0) {
    raiseFailure(failure_);
  }
  if (queued_.size() >= kOutputBufferBytes) {
    flush();
  }
  queued_.push_back(byte);
}

int TermiosSerialPort::writeQueued() {
  using Clock = std::chrono::steady_clock;
  std::size_t sent = 0;
  auto lastProgress = Clock::now();
  while (sent < queued_.size()) {
    const ssize_t written = ::write(fd_.get(), queued_.data() + sent, queued_.size() - sent);
    const int error = written < 0 ? errno : 0;
    const auto now = Clock::now();
    if (written > 0) {
      sent += static_cast<std::size_t>(written);
      lineIdleAt_ = std::min(std::max(now, lineIdleAt_) + kByteTimeOnTheLine * written,
                             now + kByteTimeOnTheLine * std::int64_t{kOutputBufferBytes});
      lastProgress = now;
      continue;
    }
    if (error == EINTR) {
      continue;
    }
    if (error != 0 && error != EAGAIN && error != EWOULDBLOCK) {
      return error;
    }
    // No room: wait for some, but not for ever. A signal cuts one wait short, not the limit.
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(kStallLimit - (now - lastProgress));
    if (left.count() <= 0) {
      return kStalled;
    }
    pollfd ready{fd_.get(), POLLOUT, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno != EINTR) {
      return errno;
    }
    if (polled > 0 && (ready.revents & POLLOUT) == 0) {
      return EIO;  // hung up, or the device failed
    }
  }
  return 0;
}

void TermiosSerialPort::flush() {
  if (!fd_.valid()) {
    return;
  }
  if (failure_ != 0) {
    raiseFailure(failure_);
  }
  if (const int error = writeQueued(); error != 0) {
    fail(error);
  }
  queued_.clear();
}

void TermiosSerialPort::drain() {
  if (!fd_.valid()) {
    return;
  }
  flush();
  if (const int error = WaitUntilSent(fd_.get()); error != 0) {
    fail(error);
  }
  std::this_thread::sleep_until(lineIdleAt_);
}

TermiosSerialPortFactory::TermiosSerialPortFactory(SerialDeviceOverrides overrides)
    : overrides_(std::move(overrides)) {}

std::unique_ptr<SerialPort> TermiosSerialPortFactory::createSerialPort() {
  return std::make_unique<TermiosSerialPort>(overrides_);
}

}  // namespace marqel::platform::linux_
