// Asks a top-level window to close the way its close button does (WM_DELETE_WINDOW), for a
// display without a window manager.
#include <X11/Xlib.h>

#include <cstdlib>

int SendCloseRequest(const char* windowId) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 2;
  const auto window = static_cast<Window>(std::strtoul(windowId, nullptr, 0));
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
  XCloseDisplay(display);
  return sent != 0 ? 0 : 1;
}
