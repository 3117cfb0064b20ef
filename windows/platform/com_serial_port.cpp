#include "windows/platform/com_serial_port.h"

#include <algorithm>
#include <utility>

#include "common/runtime_error.h"
#include "windows/platform/precise_delay.h"
#include "windows/platform/win32_text.h"

namespace marqel::platform::win32 {
namespace {

constexpr DWORD kInputBufferBytes = 1024;
constexpr DWORD kOutputBufferBytes = 512;
// A write that has not gone out after this long means the device stopped taking bytes (a USB
// adapter pulled out); better an error than a player that hangs.
constexpr DWORD kWriteTimeoutMs = 2000;
// 10 bits a byte (8N1) at 9600 baud.
constexpr std::int64_t kBitsPerByte = 10;
constexpr std::int64_t kBaud = 9600;

}  // namespace

std::wstring SerialDevicePath(int port) {
  return L"\\\\.\\COM" + std::to_wstring(port);
}

ComSerialPort::~ComSerialPort() {
  close();
}

std::string ComSerialPort::label() const {
  return "COM" + std::to_string(port_);
}

void ComSerialPort::setCommPort(std::int16_t port) {
  if (portOpen()) {
    throw RuntimeError(err::kPortOperationWhileOpen,
                       "Operation not valid while the port is opened");
  }
  port_ = port;
}

void ComSerialPort::open() {
  if (portOpen()) {
    throw RuntimeError(err::kPortAlreadyOpen, label() + ": port already open");
  }
  if (port_ < 1 || port_ > 255) {
    throw RuntimeError(err::kPortInvalid,
                       label() + ": invalid port number (ports are COM1 to COM255)");
  }
  const std::wstring path = SerialDevicePath(port_);
  // No sharing: the port is ours alone while it is open.
  UniqueFileHandle port(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!port) {
    const DWORD error = ::GetLastError();
    const std::string text = label() + ": " + SystemErrorText(error);
    switch (error) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_BAD_UNIT:
      case ERROR_DEV_NOT_EXIST:
        throw RuntimeError(err::kPortInvalid, text);
      case ERROR_ACCESS_DENIED:  // what a port held by another program answers
      case ERROR_SHARING_VIOLATION:
      case ERROR_BUSY:
        throw RuntimeError(err::kPortInUse, text);
      default:
        throw RuntimeError(err::kPortSetupFailed, text);
    }
  }

  // The port closes with its owner when a setting fails.
  const HANDLE handle = port.get();
  const auto fail = [&](const char* what) {
    const DWORD error = ::GetLastError();
    throw RuntimeError(err::kPortSetupFailed,
                       label() + ": " + what + " (" + SystemErrorText(error) + ")");
  };
  if (!::SetupComm(handle, kInputBufferBytes, kOutputBufferBytes)) {
    fail("cannot set the buffer sizes");
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(handle, &dcb)) {
    fail("cannot read the line settings");
  }
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fAbortOnError = FALSE;
  if (!::SetCommState(handle, &dcb)) {
    fail("cannot set 9600 baud, 8 data bits, no parity, 1 stop bit");
  }
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;  // a read (never made) would return at once
  timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
  if (!::SetCommTimeouts(handle, &timeouts)) {
    fail("cannot set the timeouts");
  }
  ::PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
  handle_ = std::move(port);
}

void ComSerialPort::close() {
  if (!portOpen()) {
    return;
  }
  // The bytes already queued (the clear commands before a stop) still reach the display.
  ::FlushFileBuffers(handle_.get());
  handle_.reset();
}

void ComSerialPort::raiseSendFailure(DWORD error) const {
  throw RuntimeError(err::kPortDeviceGone, label() + ": cannot send (" + SystemErrorText(error) +
                                               "); close and open the port again");
}

void ComSerialPort::output(std::uint8_t byte) {
  if (!portOpen()) {
    throw RuntimeError(err::kPortNotOpen, "Operation valid only when the port is open");
  }
  DWORD written = 0;
  if (!::WriteFile(handle_.get(), &byte, 1, &written, nullptr)) {
    raiseSendFailure(::GetLastError());
  }
  if (written != 1) {
    raiseSendFailure(ERROR_TIMEOUT);
  }
  lineIdleAt_ = std::max(CounterNow(), lineIdleAt_) + kBitsPerByte * CounterFrequency() / kBaud;
}

void ComSerialPort::drain() {
  if (!portOpen()) {
    return;
  }
  if (!::FlushFileBuffers(handle_.get())) {
    raiseSendFailure(::GetLastError());
  }
  WaitUntilCounter(lineIdleAt_);
}

std::unique_ptr<SerialPort> ComSerialPortFactory::createSerialPort() {
  return std::make_unique<ComSerialPort>();
}

}  // namespace marqel::platform::win32
