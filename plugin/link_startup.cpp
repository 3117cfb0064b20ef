#include "plugin/link_startup.h"

#include <string>

#include "common/runtime_error.h"
#include "common/utf.h"
#include "display/display_memory.h"
#include "display/refresh_cycle.h"
#include "lcd/controller_startup.h"
#include "lcd/lcd_link.h"
#include "lcd/lcd_protocol.h"
#include "plugin/component.h"

namespace marqel {
namespace {

constexpr std::int32_t kTickIntervalMs = 500;

// On a port just opened: both controllers, then the contrast. The display is blank and on.
void StartDisplay(Component& component) {
  LcdLink& link = component.lcdLink();
  link.startingOver();
  InitLcdController(link, 1);
  InitLcdController(link, 2);
  SetLcdContrast(link, component.linkSettings.contrast);
}

// A display whose device vanished or stopped taking bytes may have lost power, or come back as
// another device under the same name: once its port opens again it is started as at load, and the
// memory goes back to what it is at load, which is what a blank display shows, so that the tick
// draws everything. Quietly: the loss was never reported, and a display still away is simply
// tried again on the next tick.
void RestartLostLink(Component& component) {
  LcdLink& link = component.lcdLink();
  if (!link.deviceLost()) {
    return;
  }
  if (!ResumeNext([&] { ReopenPort(link, component.linkSettings.port); })) {
    return;
  }
  ResumeNext([&] { StartDisplay(component); });
  component.displayMemory = DisplayMemory{};
}

}  // namespace

void RunLinkStartup(Component& component) {
  try {
    ReopenPort(component.lcdLink(), component.linkSettings.port);
    StartDisplay(component);
    component.Timer1().setInterval(kTickIntervalMs);
    component.Timer1().setEnabled(true);
  } catch (const RuntimeError& error) {
    component.platform().messageBoxes.show(u"Error: " + Utf8ToUtf16(error.description()) +
                                               u"\r\nPort = " +
                                               DecimalText(component.linkSettings.port),
                                           platform::MessageIcon::None);
    // The port must not stay held after a failed start; a failure to close it changes nothing
    // for the user, who has already been told.
    // A window unloaded while the box was open (Quit) has released its port already; touching
    // the port now would start the link all over again.
    if (component.form1Loaded()) {
      ClosePortAfterFailure(component.lcdLink());
    }
  }
}

void OnTimer1Tick(Component& component) noexcept {
  const EndOfCall sendAtTheEnd(component.lcdLink());
  try {
    RestartLostLink(component);
    RefreshTick(component.nowPlaying());
  } catch (...) {
    // The tick is resume-next throughout; anything else (out of memory) is dropped here rather
    // than taking the host's message loop down.
  }
}

}  // namespace marqel
