#include "plugin/link_startup.h"

#include <string>

#include "common/runtime_error.h"
#include "common/utf.h"
#include "display/refresh_cycle.h"
#include "lcd/controller_startup.h"
#include "lcd/lcd_link.h"
#include "lcd/lcd_protocol.h"
#include "plugin/component.h"

namespace marqel {
namespace {

constexpr std::int32_t kTickIntervalMs = 500;

}  // namespace

void RunLinkStartup(Component& component) {
  try {
    LcdLink& link = component.lcdLink();
    ReopenPort(link, component.linkSettings.port);
    InitLcdController(link, 1);
    InitLcdController(link, 2);
    SetLcdContrast(link, component.linkSettings.contrast);
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
    RefreshTick(component.nowPlaying());
  } catch (...) {
    // The tick is resume-next throughout; anything else (out of memory) is dropped here rather
    // than taking the host's message loop down.
  }
}

}  // namespace marqel
