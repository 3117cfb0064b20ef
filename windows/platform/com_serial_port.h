#pragma once
// The serial-port control on Windows: COMn is the device \\.\COMn, opened exclusively.
//
// Line settings: 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control of any kind
// (neither CTS/DSR nor XON/XOFF), driver buffers of 1024 bytes in and 512 out. DTR and RTS are
// raised while the port is open: the display board never looks at them, but a board powered from
// the modem lines needs them, and nothing is lost for one that is not.
//
// Bytes are queued and written in bursts, one WriteFile a burst, with a timeout that grows with
// the burst: a device that does not take a burst in time (a hung or unplugged adapter) fails the
// flush, and the port keeps failing until it is closed and opened again.
//
// A drain also waits out the line time of the bytes written: a port without a real line behind
// it (a pseudo-terminal under Wine, some USB adapters) takes bytes at once, and a wait after a
// drain must still start once the bytes would have left a 9600-baud line.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "windows/platform/win32_handles.h"

namespace marqel::platform::win32 {

// The device path of COM`port`: \\.\COMn, which also reaches COM10 and above.
std::wstring SerialDevicePath(int port);

class ComSerialPort final : public SerialPort {
 public:
  ComSerialPort();
  ~ComSerialPort() override;
  ComSerialPort(const ComSerialPort&) = delete;
  ComSerialPort& operator=(const ComSerialPort&) = delete;

  void setCommPort(std::int16_t port) override;
  bool portOpen() const override { return handle_.valid(); }
  void open() override;
  // Lets queued bytes go out first; never raises.
  void close() override;
  void output(std::uint8_t byte) override;
  void flush() override;
  void drain() override;

  std::int16_t commPort() const { return port_; }

 private:
  std::string label() const;
  // Remembers why the device failed, so that the port keeps failing until it is closed.
  [[noreturn]] void fail(DWORD error);
  [[noreturn]] void raiseSendFailure(DWORD error) const;

  std::int16_t port_ = 1;
  UniqueFileHandle handle_;
  std::vector<std::uint8_t> queued_;  // not yet handed to the device
  DWORD failure_ = ERROR_SUCCESS;     // why the device failed
  // When the bytes written so far will have left a 9600-baud line (performance counter); never
  // more than the output buffer's line time ahead, as on a real port.
  std::int64_t lineIdleAt_ = 0;
};

class ComSerialPortFactory final : public SerialPortFactory {
 public:
  std::unique_ptr<SerialPort> createSerialPort() override;
};

}  // namespace marqel::platform::win32
