#pragma once
// The component thread's message loop on Linux: one thread, timers, posted tasks, file-descriptor
// watches and nested (modal) loops. Nothing it dispatches ever overlaps: a callback runs to its
// end before the next one starts, except that a callback may run a nested loop (a modal box or
// dialog), inside which other callbacks go on; the callback that runs the nested loop is never
// re-entered meanwhile. With virtual time the loop jumps straight to the next due timer or task
// instead of sleeping, so a long script runs in a moment while everything fires in the same order.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>

#include "linux/posix/posix_handles.h"
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

  // A window timer (the component's Timer1): disabled, interval 0. Once enabled with an interval
  // above 0 it ticks every interval, counting from when it was enabled or its interval was set.
  std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override;

  // Calls `onReadable` whenever `fd` has input (or hangs up). Returns an id for unwatchFd.
  int watchFd(int fd, std::function<void()> onReadable);
  void unwatchFd(int id);

  // Something to run on every pass of the loop, before it waits (for toolkits that keep their own
  // queue of events). `maxWait` caps how long the loop may sleep while such a hook exists.
  int addIdleHook(std::function<void()> hook, Duration maxWait);
  void removeIdleHook(int id);

  // Runs `task` once, on a later dispatch (after what is already due), or after `delay` of loop
  // time. Tasks are not timers: they do not count in timerTicks(). Returns an id for cancel().
  int post(std::function<void()> task);
  int callAfter(Duration delay, std::function<void()> task);
  void cancel(int id);

  // Runs `hook` after every timer tick (for a driver that counts the ticks). Returns an id.
  int addTickHook(std::function<void()> hook);
  void removeTickHook(int id);

  // Runs the loop until `done` returns true; `done` is checked before the first and after every
  // single dispatch. Nests: a modal box or dialog runs its own runUntil inside a callback.
  void runUntil(const std::function<bool()>& done);
  // Interrupts a wait, so every running loop level re-checks its condition. Safe to call from a
  // signal handler.
  void wake();

  // Milliseconds of loop time since the loop was made (virtual or real).
  std::int64_t nowMs() const;
  // How many timer ticks have been dispatched so far (all timers made by createTimer).
  std::uint64_t timerTicks() const { return timerTicks_; }

 private:
  class LoopTimer;
  enum class Kind { Timer, Watch, Task };
  struct Ready {
    Kind kind;
    int id;
  };
  struct Watch {
    int fd;
    std::shared_ptr<std::function<void()>> onReadable;
    bool running = false;
  };
  struct IdleHook {
    std::shared_ptr<std::function<void()>> hook;
    Duration maxWait;
  };
  struct Task {
    Clock::time_point due;
    std::function<void()> run;
  };

  // Runs at most one callback: a ready one, or the next one that becomes ready.
  void dispatchOne();
  void gather();
  void collectDue(Clock::time_point at);
  bool dispatch(const Ready& item);
  // The earliest moment a timer or task is due; Clock::time_point::max() when nothing is.
  Clock::time_point nextDue() const;
  Clock::time_point now() const;
  void pollFds(int timeoutMs);

  bool virtualTime_;
  Clock::time_point start_;
  Clock::time_point virtualNow_;
  std::map<int, LoopTimer*> timers_;  // by id: ids grow, so this is creation order
  std::map<int, Watch> watches_;
  std::map<int, IdleHook> idleHooks_;
  std::map<int, Task> tasks_;  // ids grow, so equal due times run in posting order
  std::map<int, std::shared_ptr<std::function<void()>>> tickHooks_;
  std::deque<Ready> ready_;
  int nextId_ = 1;
  std::uint64_t timerTicks_ = 0;
  // Written by wake(), polled with the watches. Without it (the system gave no pipe) a wait
  // simply runs to its end.
  posix::UniqueFd wakeRead_;
  posix::UniqueFd wakeWrite_;
};

// A watch of a descriptor on the loop for as long as this lives.
class FdWatch {
 public:
  FdWatch(EventLoop& loop, int fd, std::function<void()> onReadable)
      : loop_(loop), id_(loop.watchFd(fd, std::move(onReadable))) {}
  ~FdWatch() { loop_.unwatchFd(id_); }
  FdWatch(const FdWatch&) = delete;
  FdWatch& operator=(const FdWatch&) = delete;

 private:
  EventLoop& loop_;
  int id_;
};

}  // namespace marqel::platform
