#include "linux/platform/fltk/fltk_loop.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <chrono>
#include <cstdlib>
#include <string>

#include "common/runtime_error.h"
#include "common/utf.h"

namespace marqel::platform::linux_ {
namespace {

constexpr auto kToolkitTurn = std::chrono::milliseconds(10);

}  // namespace

bool FltkDisplayAvailable() {
  if (fl_display != nullptr) {
    return true;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    return false;
  }
  fl_open_display(display);
  return true;
}

void OpenFltkDisplay() {
  if (!FltkDisplayAvailable()) {
    const char* name = std::getenv("DISPLAY");
    throw RuntimeError(err::kNoDisplay, std::string("Cannot open the display \"") +
                                            (name != nullptr ? name : "") + "\" to show a window");
  }
}

FltkLoopBinding::FltkLoopBinding(EventLoop& loop)
    // Only a hook, no watch on the X connection: a burst of X events then never keeps the loop
    // from its timers, and FLTK is served within 10 ms.
    : loop_(loop), idleHook_(loop.addIdleHook([] { Fl::check(); }, kToolkitTurn)) {}

FltkLoopBinding::~FltkLoopBinding() {
  loop_.removeIdleHook(idleHook_);
}

std::string FltkText(std::u16string_view text) {
  std::string out;
  const std::string utf8 = Utf16ToUtf8(text);
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < utf8.size() && utf8[i + 1] == '\n') {
        ++i;
      }
    } else {
      out.push_back(utf8[i]);
    }
  }
  return out;
}

}  // namespace marqel::platform::linux_
