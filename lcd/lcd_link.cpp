#include "lcd/lcd_link.h"

#include "common/runtime_error.h"

namespace marqel {

template <class Step>
void LcdLink::watchingForLoss(platform::SerialPort& port, Step&& step) {
  try {
    step();
  } catch (const RuntimeError& error) {
    if (error.number() == err::kPortDeviceGone) {
      // Released at once: the port holds nothing worth waiting for, and a device plugged in again
      // may come back under the same name.
      port.close();
      deviceLost_ = true;
    }
    throw;
  }
}

void LcdLink::waitOnLine(std::int32_t ms) {
  if (platform::SerialPort* port = holder_.loadedMSComm1()) {
    // Not being able to drain is no reason to skip the wait itself.
    ResumeNext([&] { watchingForLoss(*port, [&] { port->drain(); }); });
  }
  delay_.DELAY(ms);
}

void LcdLink::sendQueued() noexcept {
  platform::SerialPort* port = holder_.loadedMSComm1();
  if (port == nullptr) {
    return;
  }
  try {
    watchingForLoss(*port, [&] { port->flush(); });
  } catch (...) {
    // The call is over and nobody waits for an answer: a device that failed has been released
    // above, and the link starts it again on the next tick.
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
  if (link.deviceLost()) {
    return;
  }
  if (ResumeNextCondition([&] { return !link.MSComm1().portOpen(); })) {
    ResumeNext([&] { link.MSComm1().open(); });
  }
}

void ClosePortIfOpen(LcdLink& link) {
  link.sendQueued();
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
