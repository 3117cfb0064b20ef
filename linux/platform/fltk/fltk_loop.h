#pragma once
// FLTK on the component thread's message loop: FLTK keeps its own queue of X events and timeouts,
// so while one of its windows is open the loop hands FLTK a turn on every pass.
#include <string>
#include <string_view>

#include "linux/system/event_loop.h"

namespace marqel::platform::linux_ {

// Opens the X display for FLTK once. Raises a RuntimeError when there is none, instead of letting
// FLTK end the process.
void OpenFltkDisplay();
// True when a display is, or can be, open.
bool FltkDisplayAvailable();

// While it exists, the loop runs FLTK's event handling on every pass and sleeps at most 10 ms, so
// that toolkit events are served promptly and timers still fire on time.
class FltkLoopBinding {
 public:
  explicit FltkLoopBinding(EventLoop& loop);
  ~FltkLoopBinding();
  FltkLoopBinding(const FltkLoopBinding&) = delete;
  FltkLoopBinding& operator=(const FltkLoopBinding&) = delete;

 private:
  EventLoop& loop_;
  int idleHook_;
};

// Converts the component's texts for FLTK: UTF-8, and CR LF (or a lone CR) as one line break.
std::string FltkText(std::u16string_view text);

}  // namespace marqel::platform::linux_
