#include "linux/host/host_messages.h"

#include <cstdlib>

#include "linux/system/stderr_message_boxes.h"
#if MARQEL_HAVE_FLTK
#include "linux/platform/fltk/fltk_loop.h"
#include "linux/platform/fltk/fltk_message_boxes.h"
#endif

namespace marqel::host {

HostMessageBoxes::HostMessageBoxes(platform::EventLoop& loop, bool displayPresent) {
#if MARQEL_HAVE_FLTK
  if (displayPresent) {
    boxes_ = std::make_unique<platform::linux_::FltkMessageBoxes>(loop);
    return;
  }
#else
  (void)loop;
  (void)displayPresent;
#endif
  boxes_ = std::make_unique<platform::linux_::StderrMessageBoxes>();
}

HostMessageBoxes::~HostMessageBoxes() = default;

bool DisplayPresent() {
  bool named = false;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    named = named || (value != nullptr && *value != '\0');
  }
  if (!named) return false;
#if MARQEL_HAVE_FLTK
  // A display that is named but cannot be reached counts as none.
  return platform::linux_::FltkDisplayAvailable();
#else
  return false;
#endif
}

}  // namespace marqel::host
