#include "linux/system/event_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <vector>

namespace marqel::platform {
namespace {

// Clears a "running" mark however the callback ends.
template <class Clear>
struct ScopeExit {
  Clear clear;
  ~ScopeExit() { clear(); }
};
template <class Clear>
ScopeExit(Clear) -> ScopeExit<Clear>;

constexpr int kLongestPollMs = 60 * 60 * 1000;

}  // namespace

class EventLoop::LoopTimer final : public Timer {
 public:
  LoopTimer(EventLoop& loop, int id, std::function<void()> onTick)
      : loop_(&loop), id_(id), onTick_(std::make_shared<std::function<void()>>(std::move(onTick))) {
    loop_->timers_.emplace(id_, this);
  }
  ~LoopTimer() override {
    if (loop_ != nullptr) loop_->timers_.erase(id_);
  }
  LoopTimer(const LoopTimer&) = delete;
  LoopTimer& operator=(const LoopTimer&) = delete;

  void setInterval(std::int32_t ms) override {
    interval_ = ms;
    restart();
  }
  void setEnabled(bool enabled) override {
    enabled_ = enabled;
    restart();
  }
  bool enabled() const override { return enabled_; }

  bool schedulable() const { return enabled_ && interval_ > 0 && !running_ && loop_ != nullptr; }
  Clock::time_point due() const { return due_; }
  void detach() { loop_ = nullptr; }

  // The next due time counts from the previous one, so ticks keep their rhythm; a loop that fell
  // far behind skips the missed ticks rather than firing a burst.
  std::shared_ptr<std::function<void()>> takeTick(Clock::time_point now) {
    due_ += Duration(interval_);
    if (due_ <= now) due_ = now + Duration(interval_);
    running_ = true;
    return onTick_;
  }
  void tickDone() { running_ = false; }

 private:
  // Setting the interval or enabling the timer starts a full interval from now.
  void restart() {
    if (loop_ != nullptr) due_ = loop_->now() + Duration(std::max(interval_, 0));
  }

  EventLoop* loop_;
  int id_;
  std::shared_ptr<std::function<void()>> onTick_;
  std::int32_t interval_ = 0;
  bool enabled_ = false;
  bool running_ = false;
  Clock::time_point due_{};
};

EventLoop::EventLoop(bool virtualTime)
    : virtualTime_(virtualTime), start_(Clock::now()), virtualNow_(start_) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead_.reset(ends[0]);
    wakeWrite_.reset(ends[1]);
  }
}

EventLoop::~EventLoop() {
  // Timers may outlive the loop (a component unloaded late); they then simply never tick.
  for (auto& [id, timer] : timers_) timer->detach();
}

std::unique_ptr<Timer> EventLoop::createTimer(std::function<void()> onTick) {
  return std::make_unique<LoopTimer>(*this, nextId_++, std::move(onTick));
}

int EventLoop::watchFd(int fd, std::function<void()> onReadable) {
  const int id = nextId_++;
  watches_.emplace(id, Watch{fd, std::make_shared<std::function<void()>>(std::move(onReadable))});
  return id;
}

void EventLoop::unwatchFd(int id) {
  watches_.erase(id);
}

int EventLoop::addIdleHook(std::function<void()> hook, Duration maxWait) {
  const int id = nextId_++;
  idleHooks_.emplace(id,
                     IdleHook{std::make_shared<std::function<void()>>(std::move(hook)), maxWait});
  return id;
}

void EventLoop::removeIdleHook(int id) {
  idleHooks_.erase(id);
}

int EventLoop::addTickHook(std::function<void()> hook) {
  const int id = nextId_++;
  tickHooks_.emplace(id, std::make_shared<std::function<void()>>(std::move(hook)));
  return id;
}

void EventLoop::removeTickHook(int id) {
  tickHooks_.erase(id);
}

int EventLoop::post(std::function<void()> task) {
  return callAfter(Duration(0), std::move(task));
}

int EventLoop::callAfter(Duration delay, std::function<void()> task) {
  const int id = nextId_++;
  tasks_.emplace(id, Task{now() + std::max(delay, Duration(0)), std::move(task)});
  return id;
}

void EventLoop::cancel(int id) {
  tasks_.erase(id);
}

EventLoop::Clock::time_point EventLoop::now() const {
  return virtualTime_ ? virtualNow_ : Clock::now();
}

std::int64_t EventLoop::nowMs() const {
  return std::chrono::duration_cast<Duration>(now() - start_).count();
}

void EventLoop::wake() {
  if (wakeWrite_) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(wakeWrite_.get(), &byte, 1);
  }
}

void EventLoop::runUntil(const std::function<bool()>& done) {
  while (!done()) {
    dispatchOne();
  }
}

void EventLoop::dispatchOne() {
  // A pass that dispatches nothing (a wake-up, input for a watch that is busy) simply returns,
  // so the caller re-checks its condition.
  if (ready_.empty()) gather();
  while (!ready_.empty()) {
    const Ready item = ready_.front();
    ready_.pop_front();
    if (dispatch(item)) return;
  }
}

void EventLoop::gather() {
  // Copies of the hooks: a hook may add or remove hooks.
  std::vector<std::shared_ptr<std::function<void()>>> hooks;
  Duration cap = Duration(kLongestPollMs);
  for (const auto& [id, idle] : idleHooks_) {
    hooks.push_back(idle.hook);
    cap = std::min(cap, idle.maxWait);
  }
  for (const auto& hook : hooks) (*hook)();

  collectDue(now());
  if (!ready_.empty() || virtualTime_) {
    pollFds(0);
  } else {
    const Clock::time_point due = nextDue();
    Duration wait = cap;
    if (due != Clock::time_point::max()) {
      // Rounded up, so the wait never ends just before the timer is due.
      const auto left = std::chrono::ceil<Duration>(due - now());
      wait = std::clamp(left, Duration(0), cap);
    }
    pollFds(static_cast<int>(wait.count()));
    collectDue(now());
    return;
  }
  if (ready_.empty() && virtualTime_) {
    const Clock::time_point due = nextDue();
    if (due != Clock::time_point::max()) {
      virtualNow_ = std::max(virtualNow_, due);
      collectDue(virtualNow_);
    } else {
      // Nothing scheduled: only input can move things on.
      pollFds(static_cast<int>(std::min<Duration::rep>(cap.count(), kLongestPollMs)));
    }
  }
}

void EventLoop::collectDue(Clock::time_point at) {
  std::vector<std::pair<Clock::time_point, Ready>> due;
  for (const auto& [id, task] : tasks_) {
    if (task.due <= at) due.push_back({task.due, Ready{Kind::Task, id}});
  }
  for (const auto& [id, timer] : timers_) {
    if (timer->schedulable() && timer->due() <= at)
      due.push_back({timer->due(), {Kind::Timer, id}});
  }
  // Earliest first; at equal times tasks before timers, then by id (creation order).
  std::stable_sort(due.begin(), due.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [when, item] : due) {
    const bool queued = std::any_of(ready_.begin(), ready_.end(), [&](const Ready& r) {
      return r.kind == item.kind && r.id == item.id;
    });
    if (!queued) ready_.push_back(item);
  }
}

EventLoop::Clock::time_point EventLoop::nextDue() const {
  Clock::time_point earliest = Clock::time_point::max();
  for (const auto& [id, task] : tasks_) earliest = std::min(earliest, task.due);
  for (const auto& [id, timer] : timers_) {
    if (timer->schedulable()) earliest = std::min(earliest, timer->due());
  }
  return earliest;
}

void EventLoop::pollFds(int timeoutMs) {
  std::vector<pollfd> fds;
  std::vector<int> ids;
  if (wakeRead_) {
    fds.push_back({wakeRead_.get(), POLLIN, 0});
    ids.push_back(0);
  }
  for (const auto& [id, watch] : watches_) {
    // A watch whose callback is running a modal loop is not offered its input again meanwhile.
    if (watch.running) continue;
    fds.push_back({watch.fd, POLLIN, 0});
    ids.push_back(id);
  }
  const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
  if (ready <= 0) return;  // timed out, or a signal arrived (EINTR)
  for (std::size_t i = 0; i < fds.size(); ++i) {
    if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) continue;
    if (ids[i] == 0) {
      char drain[64];
      while (::read(wakeRead_.get(), drain, sizeof drain) > 0) {
      }
      continue;
    }
    ready_.push_back({Kind::Watch, ids[i]});
  }
}

bool EventLoop::dispatch(const Ready& item) {
  switch (item.kind) {
    case Kind::Task: {
      const auto it = tasks_.find(item.id);
      if (it == tasks_.end()) return false;
      const std::function<void()> run = std::move(it->second.run);
      tasks_.erase(it);
      run();
      return true;
    }
    case Kind::Watch: {
      const auto it = watches_.find(item.id);
      if (it == watches_.end() || it->second.running) return false;
      const auto callback = it->second.onReadable;
      it->second.running = true;
      ScopeExit done{[this, id = item.id] {
        const auto again = watches_.find(id);
        if (again != watches_.end()) again->second.running = false;
      }};
      (*callback)();
      return true;
    }
    case Kind::Timer: {
      const auto it = timers_.find(item.id);
      if (it == timers_.end() || !it->second->schedulable() || it->second->due() > now()) {
        return false;
      }
      const auto tick = it->second->takeTick(now());
      ++timerTicks_;
      // The timer may be destroyed by its own tick (a window unloaded meanwhile).
      ScopeExit done{[this, id = item.id] {
        const auto again = timers_.find(id);
        if (again != timers_.end()) again->second->tickDone();
      }};
      (*tick)();
      std::vector<std::shared_ptr<std::function<void()>>> hooks;
      for (const auto& [hookId, hook] : tickHooks_) hooks.push_back(hook);
      for (const auto& hook : hooks) (*hook)();
      return true;
    }
  }
  return false;
}

}  // namespace marqel::platform
