#pragma once
#include <cstdint>
#include <functional>
#include <memory>

namespace marqel::platform {

// A timer delivered by the component thread's message loop. Ticks never overlap each other or
// any other work of the component.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void setInterval(std::int32_t ms) = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool enabled() const = 0;
};

class TimerFactory {
 public:
  virtual ~TimerFactory() = default;
  // A new timer, disabled and with interval 0, that calls `onTick` on every tick once enabled.
  virtual std::unique_ptr<Timer> createTimer(std::function<void()> onTick) = 0;
};

}  // namespace marqel::platform
