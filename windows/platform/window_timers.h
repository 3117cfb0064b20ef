#pragma once
// Timers on hidden windows of the component's thread: each timer is a message-only window (the
// hidden link window Form1 holds one) with a SetTimer timer, so its ticks come through the
// thread's own message loop: the player's, a modal dialog's or a message box's.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/timer.h"

namespace marqel::platform::win32 {

class WindowTimerFactory final : public TimerFactory {
 public:
  // `module` is the instance whose window class the timers' windows use (the DLL's own).
  explicit WindowTimerFactory(HINSTANCE module);
  // Unregisters the class; every timer made by this factory must be gone by then.
  ~WindowTimerFactory() override;
  WindowTimerFactory(const WindowTimerFactory&) = delete;
  WindowTimerFactory& operator=(const WindowTimerFactory&) = delete;

  // Made on the calling thread, which must run a message loop. Raises a RuntimeError when the
  // system refuses the window.
  std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override;

 private:
  HINSTANCE module_;
  ATOM windowClass_ = 0;
};

}  // namespace marqel::platform::win32
