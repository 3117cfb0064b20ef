#include "lcd/lcd_link.h"

#include "common/runtime_error.h"

namespace marqel {

void LcdLink::waitOnLine(std::int32_t ms) {
  if (platform::SerialPort* port = holder_.loadedMSComm1()) {
    // Not being able to drain is no reason to skip the wait itself.
    ResumeNext([&] { port->drain(); });
  }
  delay_.DELAY(ms);
}

void LcdLink::sendQueued() noexcept {
  platform::SerialPort* port = holder_.loadedMSComm1();
  if (port == nullptr) {
    return;
  }
  try {
    port->flush();
  } catch (...) {
    // The call is over and nobody waits for an answer; the port keeps failing until it is
    // closed and opened again.
  }
}

namespace {

void CloseIfOpen(LcdLink& link) {
  if (link.MSComm1().portOpen()) {
    link.MSComm1().close();
  }
}

}  // namespace

void OpenPortIfClosed(LcdLink& link) {
  if (ResumeNextCondition([&] { return !link.MSComm1().portOpen(); })) {
    ResumeNext([&] { link.MSComm1().open(); });
  }
}

void ClosePortIfOpen(LcdLink& link) {
  if (ResumeNextCondition([&] { return link.MSComm1().portOpen(); })) {
    ResumeNext([&] { link.MSComm1().close(); });
  }
}

void ReopenPort(LcdLink& link, std::uint8_t port) {
  // The number may only change while the port is closed.
  CloseIfOpen(link);
  link.MSComm1().setCommPort(port);
  if (!link.MSComm1().portOpen()) {
    link.MSComm1().open();
  }
}

void ClosePortAfterFailure(LcdLink& link) {
  ResumeNext([&] { CloseIfOpen(link); });
}

}  // namespace marqel
