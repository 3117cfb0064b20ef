#pragma once
// The component-wide state: one object per loaded component. The module's entry points own the
// single instance; tests start a fresh one each.
#include <cstdint>
#include <memory>
#include <string>

#include "common/shared_types.h"
#include "platform/platform.h"
#include "plugin/host_link.h"

namespace marqel {

namespace settings {
class Form2;
}

// The hidden link window: owns the serial-port control and the refresh timer.
struct Form1 {
  std::unique_ptr<platform::SerialPort> MSComm1;
  std::unique_ptr<platform::Timer> Timer1;
};

class Component {
 public:
  explicit Component(const platform::Platform& platform);
  ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  const platform::Platform& platform() const { return platform_; }

  LinkSettings linkSettings;
  std::u16string pluginDirectory;
  DisplayMemory displayMemory;
  bool SendBothNibbles = false;
  std::shared_ptr<HostLink> hostLink;

  // The serial-port control and the timer of Form1. Touching either while Form1 is not loaded
  // loads it first, and loading runs the link start-up.
  platform::SerialPort& MSComm1();
  platform::Timer& Timer1();
  bool form1Loaded() const { return form1_ != nullptr; }
  void loadForm1();
  void unloadForm1();

  // The configuration dialog; created on first use, with its load step.
  settings::Form2& form2();
  bool form2Loaded() const { return form2_ != nullptr; }
  void unloadForm2();

  // The wait routine, used between bytes whose timing the display needs. The wait starts once
  // the bytes already queued have left the port, so that a wait after a command really gives the
  // controller that much time after the command reached it.
  void waitOnLine(std::int32_t ms);

 private:
  Form1& loadedForm1();

  const platform::Platform platform_;
  std::unique_ptr<Form1> form1_;
  // Shared: a view showing the dialog modally keeps it alive until its loop has unwound.
  std::shared_ptr<settings::Form2> form2_;
};

// The port of Form1 is opened and closed only after a look at its state: an open port is never
// opened, a closed one never closed. Reaching the port loads Form1 when it is not loaded.

// Resume next: a failing look at the state counts as "closed", so the open is tried anyway.
void OpenPortIfClosed(Component& component);
// Resume next: a failing look at the state counts as "open", so the close is tried anyway.
void ClosePortIfOpen(Component& component);
// Closes the port if it is open, sets its number, opens it. The first failing step raises.
void ReopenPort(Component& component, std::uint8_t port);
// For a handler that has already told the user about a failure: closes the port if it is open.
// Anything failing here is dropped; a look at the state that fails gives up without the close.
void ClosePortAfterFailure(Component& component);

}  // namespace marqel
