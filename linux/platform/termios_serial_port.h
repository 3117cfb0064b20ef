#pragma once
// The serial-port control on Linux: COMn is a terminal device driven through termios.
//
// COMn's device is, in order of precedence: the factory's override for n (the host's
// `--com N=DEVICE`), the environment variable MARQEL_COM<n>, then /dev/ttyS<n-1>. The device is
// looked up at each open, so a changed environment or a device that appears later is picked up.
//
// An open port holds an exclusive flock() on the device, so a second open, by this program or
// another one that locks its ports, fails with "port in use".
//
// Bytes are queued and written in bursts, one write() a burst when the device has room for it.
// The descriptor is non-blocking and every wait for the device is bounded: a device that takes no
// byte for 2 s (a hung adapter, a pseudo-terminal nobody reads) fails the flush with "the device
// does not take bytes", so no call can hang, and a signal is never kept waiting longer than that.
// When the device vanishes while open (a USB adapter pulled out), the flush raises "device gone".
// Either way the port stays open and failing: the caller's close then releases the descriptor
// without waiting for the device, and its next open tries the device again.
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "linux/posix/posix_handles.h"
#include "platform/serial_port.h"

namespace marqel::platform::linux_ {

// Port number -> device path, e.g. {3, "/dev/ttyUSB0"}.
using SerialDeviceOverrides = std::map<int, std::string>;

// The device path COM`port` opens under `overrides` and the current environment.
std::string SerialDevicePath(int port, const SerialDeviceOverrides& overrides);

class TermiosSerialPort final : public SerialPort {
 public:
  explicit TermiosSerialPort(SerialDeviceOverrides overrides = {});
  ~TermiosSerialPort() override;
  TermiosSerialPort(const TermiosSerialPort&) = delete;
  TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

  void setCommPort(std::int16_t port) override;
  bool portOpen() const override { return fd_.valid(); }
  void open() override;
  // Never raises: a vanished device is released all the same.
  void close() override;
  void output(std::uint8_t byte) override;
  void flush() override;
  void drain() override;

  std::int16_t commPort() const { return port_; }

 private:
  std::string label() const;
  // Writes the queued bytes as the device's room allows; 0, or why the rest cannot go out.
  int writeQueued();
  // Remembers why the device failed, so that the port keeps failing until it is closed.
  [[noreturn]] void fail(int error);
  [[noreturn]] void raiseFailure(int error) const;

  SerialDeviceOverrides overrides_;
  std::int16_t port_ = 1;
  std::string path_;  // the device of the current (or last) open
  posix::UniqueFd fd_;
  std::vector<std::uint8_t> queued_;  // not yet handed to the device
  int failure_ = 0;                   // why the device failed; 0 while it works
  // When the bytes written so far would have left a 9600-baud line. A pseudo-terminal has no
  // baud rate and its drain returns at once; waiting for this as well makes a drain mean the same
  // on a pseudo-terminal as on a real port (where tcdrain has already waited that long). Never
  // more than the output buffer's line time ahead: a real port makes its writer wait for the
  // rest, and a pseudo-terminal that took more than that (nobody reads it, or a run in virtual
  // time) must not hold up a drain, and with it a quit, for minutes.
  std::chrono::steady_clock::time_point lineIdleAt_{};
};

class TermiosSerialPortFactory final : public SerialPortFactory {
 public:
  // `overrides` win over the environment.
  explicit TermiosSerialPortFactory(SerialDeviceOverrides overrides = {});

  std::unique_ptr<SerialPort> createSerialPort() override;
  std::string devicePath(int port) const { return SerialDevicePath(port, overrides_); }

 private:
  SerialDeviceOverrides overrides_;
};

}  // namespace marqel::platform::linux_
