#pragma once
// The component thread's message loop on Linux: one thread, timers, file-descriptor watches and
// nested (modal) loops. Nothing it dispatches ever overlaps: a callback runs to its end before the
// next one starts. With virtual time the loop jumps straight to the next due timer instead of
// sleeping, so a long script runs in a moment while every timer fires in the same order.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/timer.h"

namespace marqel::platform {

class EventLoop final : public TimerFactory {
 public:
  using Clock = std::chrono::steady_clock;
  using Duration = std::chrono::milliseconds;

  explicit EventLoop(bool virtualTime = false);
  ~EventLoop() override;
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override;

  // Calls `onReadable` whenever `fd` has input (or hangs up). Returns an id for unwatchFd.
  int watchFd(int fd, std::function<void()> onReadable);
  void unwatchFd(int id);

  // Something to run on every pass of the loop, before it waits (for toolkits that keep their own
  // queue of events). `maxWait` caps how long the loop may sleep while such a hook exists.
  int addIdleHook(std::function<void()> hook, Duration maxWait);
  void removeIdleHook(int id);

  // Runs the loop until `done` returns true (checked after every dispatch). Nests: a modal box
  // or dialog runs its own runUntil inside a callback of an outer one.
  void runUntil(const std::function<bool()>& done);
  // Asks every running loop level to re-check its condition.
  void wake();

  // Milliseconds of loop time since the loop was made (virtual or real).
  std::int64_t nowMs() const;
  bool virtualTime() const { return virtualTime_; }

 private:
  class LoopTimer;
  struct TimerEntry;
  struct Watch {
    int fd;
    std::function<void()> onReadable;
  };
  struct IdleHook {
    std::function<void()> hook;
    Duration maxWait;
  };

  void dispatchOnce();
  Clock::time_point now() const;

  bool virtualTime_;
  Clock::time_point start_;
  Clock::time_point virtualNow_;
  std::vector<LoopTimer*> timers_;
  std::map<int, Watch> watches_;
  std::map<int, IdleHook> idleHooks_;
  int nextId_ = 1;
  int wakePipe_[2] = {-1, -1};
};

}  // namespace marqel::platform
