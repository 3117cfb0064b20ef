#pragma once
// The serial-port control on Linux: COMn is a terminal device driven through termios.
//
// COMn's device is, in order of precedence: the factory's override for n (the host's
// `--com N=DEVICE`), the environment variable MARQEL_COM<n>, then /dev/ttyS<n-1>. The device is
// looked up at each open, so a changed environment or a device that appears later is picked up.
//
// An open port holds an exclusive flock() on the device, so a second open, by this program or
// another one that locks its ports, fails with "port in use". When the device vanishes while open
// (a USB adapter pulled out), output raises "device gone" and the port stays open: the caller's
// close then releases the dead descriptor, and its next open tries the device again.
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

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
  void drain() override;

  std::int16_t commPort() const { return port_; }

 private:
  std::string label() const;
  [[noreturn]] void raiseGone(int error) const;

  SerialDeviceOverrides overrides_;
  std::int16_t port_ = 1;
  std::string path_;  // the device of the current (or last) open
  posix::UniqueFd fd_;
  // When the bytes written so far would have left a 9600-baud line. A pseudo-terminal has no
  // baud rate and its drain returns at once; waiting for this as well makes a drain mean the same
  // on a pseudo-terminal as on a real port (where tcdrain has already waited that long).
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
