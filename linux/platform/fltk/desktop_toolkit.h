#pragma once
// The desktop windows (message boxes and the configuration dialog, drawn with FLTK on X11) live in
// a module of their own, marqel-desktop.so, loaded the first time a window is to be shown. A
// process that never shows one maps no toolkit or X11 page. The module lies beside the shared
// system library (libmarqel-system), in the build tree as where it is installed.
//
// This part needs no toolkit: the host and the plug-in module link it to find and load the module.
#include <memory>

#include "linux/system/event_loop.h"
#include "platform/dialog.h"
#include "platform/message_box.h"

namespace marqel::platform::linux_ {

// What the desktop module offers.
class DesktopToolkit {
 public:
  // True when a display is, or can be, opened for the toolkit.
  virtual bool displayAvailable() = 0;
  // Message boxes as windows; without a display they go to standard error.
  virtual std::unique_ptr<MessageBoxes> makeMessageBoxes(EventLoop& loop) = 0;
  // The configuration dialog as a window; raises a RuntimeError when no display can be opened.
  virtual std::unique_ptr<DialogViews> makeDialogViews(EventLoop& loop) = 0;

 protected:
  ~DesktopToolkit() = default;
};

// The desktop module, loaded on the first call and kept for the life of the process (the toolkit
// holds process-wide state: its display connection, fonts, event handlers). nullptr when it is
// not there or does not load; that is said once on standard error, and windows are then shown
// as terminal output instead.
DesktopToolkit* LoadDesktopToolkit();

// Whether the display named by DISPLAY can be reached. A local display is tried by connecting to
// its server's socket, so that no toolkit is loaded just to find out; any other is left to the
// toolkit. False when no display is named.
bool DisplayReachable();

}  // namespace marqel::platform::linux_

// The module's one entry point: its toolkit, made on the first call.
extern "C" marqel::platform::linux_::DesktopToolkit* MarqelDesktopToolkit();
