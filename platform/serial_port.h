#pragma once
// The serial-port control the LCD link writes through (the port control on the hidden window).
// The component only writes to the line; it never reads or looks at modem lines.
#include <cstdint>
#include <memory>

namespace marqel::platform {

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Port number n stands for COMn. Callers only change it while the port is closed.
  virtual void setCommPort(std::int16_t port) = 0;
  virtual bool portOpen() const = 0;
  // Opens at 9600 baud, 8 data bits, no parity, 1 stop bit. Raises a RuntimeError with a
  // description a person can act on (no such port, in use, permission denied, ...).
  virtual void open() = 0;
  // Closes the port. Bytes still queued go out on the line first.
  virtual void close() = 0;
  // Queues exactly one byte; returns once it is queued. Raises on a closed or vanished port.
  virtual void output(std::uint8_t byte) = 0;
  // Returns once every queued byte has left the port (nothing to do on a closed port).
  virtual void drain() = 0;
};

class SerialPortFactory {
 public:
  virtual ~SerialPortFactory() = default;
  // A new, closed port control.
  virtual std::unique_ptr<SerialPort> createSerialPort() = 0;
};

}  // namespace marqel::platform
