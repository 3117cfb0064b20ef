#pragma once
// What the LCD routines write through: the serial-port control of the link window, the wait
// routine, the code page and the nibble flag. The component above owns the link window and
// fulfils the small interface through which the control is reached.
#include <cstdint>

#include "platform/delay.h"
#include "platform/serial_port.h"
#include "platform/text.h"

namespace marqel {

// The holder of the link window, on which the serial-port control lives.
class PortControlHolder {
 public:
  virtual ~PortControlHolder() = default;
  // The control. Reaching it while its window is not loaded loads the window first, and loading
  // runs the link start-up (which itself writes through this link).
  virtual platform::SerialPort& MSComm1() = 0;
  // The control as it stands, without loading anything: null while the window is not loaded.
  virtual platform::SerialPort* loadedMSComm1() = 0;
};

class LcdLink {
 public:
  LcdLink(PortControlHolder& holder, platform::Delay& delay, const platform::CodePage& codePage)
      : holder_(holder), delay_(delay), codePage_(codePage) {}
  LcdLink(const LcdLink&) = delete;
  LcdLink& operator=(const LcdLink&) = delete;

  platform::SerialPort& MSComm1() { return holder_.MSComm1(); }
  const platform::CodePage& codePage() const { return codePage_; }

  // The wait routine, used between bytes whose timing the display needs. The wait starts once
  // the bytes already queued have left the port, so that a wait after a command really gives the
  // controller that much time after the command reached it.
  void waitOnLine(std::int32_t ms);

  // Hands what is queued to the device now. Every call from the message loop (a tick, a dialog
  // event, a host call) ends with it (see EndOfCall), so nothing waits for the next call.
  void sendQueued() noexcept;

  // The device vanished or stopped taking bytes (a flush or a drain said so): the port has been
  // released, and what the display shows is unknown; a display that lost power is not even
  // started. Until the link start-up has run again, the port is not opened for drawing.
  bool deviceLost() const { return deviceLost_; }
  // The link start-up is about to run on a port opened again.
  void startingOver() { deviceLost_ = false; }

  // Whether a controller byte goes out as both halves or as the high half only.
  bool SendBothNibbles = false;

 private:
  // Runs `step` on the port; a device found gone or stalled is released and the link marked lost.
  // The error passes on.
  template <class Step>
  void watchingForLoss(platform::SerialPort& port, Step&& step);

  PortControlHolder& holder_;
  platform::Delay& delay_;
  const platform::CodePage& codePage_;
  bool deviceLost_ = false;
};

// Ends a call from the message loop however it ends: what it queued goes to the device.
class EndOfCall {
 public:
  explicit EndOfCall(LcdLink& link) : link_(link) {}
  ~EndOfCall() { link_.sendQueued(); }
  EndOfCall(const EndOfCall&) = delete;
  EndOfCall& operator=(const EndOfCall&) = delete;

 private:
  LcdLink& link_;
};

// The port is opened and closed only after a look at its state: an open port is never opened, a
// closed one never closed. Reaching the port loads the link window when it is not loaded.

// Resume next: a failing look at the state counts as "closed", so the open is tried anyway. Does
// nothing while the device is lost: only the link start-up opens it again.
void OpenPortIfClosed(LcdLink& link);
// Resume next: a failing look at the state counts as "open", so the close is tried anyway. What is
// queued goes out first, so a device that vanished is noticed.
void ClosePortIfOpen(LcdLink& link);
// Closes the port if it is open, sets its number, opens it. The first failing step raises.
void ReopenPort(LcdLink& link, std::uint8_t port);
// For a handler that has already told the user about a failure: closes the port if it is open.
// Anything failing here is dropped; a look at the state that fails gives up without the close.
void ClosePortAfterFailure(LcdLink& link);

}  // namespace marqel
