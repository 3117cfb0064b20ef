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
// A burst that has not gone out after this long, plus twice its line time, means the device
// stopped taking bytes (a USB adapter pulled out); better an error than a player that hangs.
constexpr DWORD kWriteTimeoutMs = 2000;
constexpr DWORD kWriteTimeoutMsPerByte = 2;
// 10 bits a byte (8N1) at 9600 baud.
constexpr std::int64_t kBitsPerByte = 10;
constexpr std::int64_t kBaud = 9600;

}  // namespace

std::wstring SerialDevicePath(int port) {
  return L"\\\\.\\COM" + std::to_wstring(port);
}

ComSerialPort::ComSerialPort() {
  queued_.reserve(kOutputBufferBytes);
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
  timeouts.WriteTotalTimeoutMultiplier = kWriteTimeoutMsPerByte;
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
  // The bytes already queued (the clear commands before a stop) still reach the display, unless
  // the device has failed: then they are thrown away rather than waited for.
  ResumeNext([&] { flush(); });
  if (failure_ == ERROR_SUCCESS) {
    ::FlushFileBuffers(handle_.get());
  } else {
    ::PurgeComm(handle_.get(), PURGE_TXABORT | PURGE_TXCLEAR);
    lineIdleAt_ = 0;  // what is thrown away takes no time on the line
  }
  handle_.reset();
  queued_.clear();
  failure_ = ERROR_SUCCESS;
}

void ComSerialPort::raiseSendFailure(DWORD error) const {
  if (error == ERROR_TIMEOUT) {
    throw RuntimeError(err::kPortDeviceGone,
                       label() + ": the device does not take bytes; close and open the port again");
  }
  throw RuntimeError(err::kPortDeviceGone, label() + ": cannot send (" + SystemErrorText(error) +
                                               "); close and open the port again");
}

void ComSerialPort::fail(DWORD error) {
  failure_ = error;
  queued_.clear();
  raiseSendFailure(error);
}

void ComSerialPort::output(std::uint8_t byte) {
  if (!portOpen()) {
    throw RuntimeError(err::kPortNotOpen, "Operation valid only when the port is open");
  }
  if (failure_ != ERROR_SUCCESS) {
    raiseSendFailure(failure_);
  }
  if (queued_.size() >= kOutputBufferBytes) {
    flush();
  }
  queued_.push_back(byte);
}

void ComSerialPort::flush() {
  if (!portOpen()) {
    return;
  }
  if (failure_ != ERROR_SUCCESS) {
    raiseSendFailure(failure_);
  }
  if (queued_.empty()) {
    return;
  }
  const auto size = static_cast<DWORD>(queued_.size());
  DWORD written = 0;
  if (!::WriteFile(handle_.get(), queued_.data(), size, &written, nullptr)) {
    fail(::GetLastError());
  }
  const std::int64_t now = CounterNow();
  const std::int64_t byteTime = kBitsPerByte * CounterFrequency() / kBaud;
  lineIdleAt_ = std::min(std::max(now, lineIdleAt_) + static_cast<std::int64_t>(written) * byteTime,
                         now + static_cast<std::int64_t>(kOutputBufferBytes) * byteTime);
  if (written != size) {
    fail(ERROR_TIMEOUT);
  }
  queued_.clear();
}

void ComSerialPort::drain() {
  if (!portOpen()) {
    return;
  }
  flush();
  if (!::FlushFileBuffers(handle_.get())) {
    fail(::GetLastError());
  }
  WaitUntilCounter(lineIdleAt_);
}

std::unique_ptr<SerialPort> ComSerialPortFactory::createSerialPort() {
  return std::make_unique<ComSerialPort>();
}

}  // namespace marqel::platform::win32
