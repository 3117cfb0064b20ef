#pragma once
// The serial-port control the LCD link writes through (the port control on the hidden window).
// The component only writes to the line; it never reads or looks at modem lines.
//
// Bytes are queued and handed to the device in bursts: everything queued until the next flush,
// drain or close goes out together, in the order queued, in as few system calls as the device
// takes. The link flushes at the end of every call from the message loop, so nothing stays queued
// between calls.
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
  // Closes the port. Bytes still queued go out on the line first, unless the device is gone or
  // has stopped taking bytes. Never raises.
  virtual void close() = 0;
  // Queues exactly one byte; returns once it is queued. Raises on a closed port, and on a port
  // whose device has failed (see flush).
  virtual void output(std::uint8_t byte) = 0;
  // Hands every queued byte to the device. A device that is gone, or that takes nothing for a
  // while (a hung adapter, a line nobody reads), raises err::kPortDeviceGone; the queued bytes
  // are dropped, and the port keeps failing that way until it is closed. Nothing to do on a
  // closed port.
  virtual void flush() = 0;
  // Flushes, then returns once every byte has left the port (nothing to do on a closed port).
  virtual void drain() = 0;
};

class SerialPortFactory {
 public:
  virtual ~SerialPortFactory() = default;
  // A new, closed port control.
  virtual std::unique_ptr<SerialPort> createSerialPort() = 0;
};

}  // namespace marqel::platform
