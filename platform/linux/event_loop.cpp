#include "platform/linux/event_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace marqel::platform {

class EventLoop::LoopTimer final : public Timer {
 public:
  LoopTimer(EventLoop& loop, std::function<void()> onTick)
      : loop_(loop), onTick_(std::move(onTick)) {
    loop_.timers_.push_back(this);
  }
  ~LoopTimer() override {
    auto& list = loop_.timers_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  void setInterval(std::int32_t ms) override {
    interval_ = ms;
    reschedule();
  }
  void setEnabled(bool enabled) override {
    enabled_ = enabled;
    reschedule();
  }
  bool enabled() const override { return enabled_; }

  bool active() const { return enabled_ && interval_ > 0; }
  Clock::time_point due() const { return due_; }
  // Fires if due. The next due time counts from the previous one, so ticks keep their rhythm;
  // a loop that fell far behind skips the missed ticks rather than firing a burst.
  bool fireIfDue(Clock::time_point now) {
    if (!active() || running_ || now < due_) {
      return false;
    }
    due_ += Duration(interval_);
    if (due_ <= now) {
      due_ = now + Duration(interval_);
    }
    running_ = true;  // a modal loop inside the tick must not re-enter it
    onTick_();
    running_ = false;
    return true;
  }

 private:
  void reschedule() { due_ = loop_.now() + Duration(std::max(interval_, 0)); }

  EventLoop& loop_;
  std::function<void()> onTick_;
  std::int32_t interval_ = 0;
  bool enabled_ = false;
  bool running_ = false;
  Clock::time_point due_{};
};

EventLoop::EventLoop(bool virtualTime)
    : virtualTime_(virtualTime), start_(Clock::now()), virtualNow_(start_) {
  if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    wakePipe_[0] = wakePipe_[1] = -1;
  }
}

EventLoop::~EventLoop() {
  for (int fd : wakePipe_) {
    if (fd >= 0) ::close(fd);
  }
}

std::unique_ptr<Timer> EventLoop::createTimer(std::function<void()> onTick) {
  return std::make_unique<LoopTimer>(*this, std::move(onTick));
}

int EventLoop::watchFd(int fd, std::function<void()> onReadable) {
  const int id = nextId_++;
  watches_.emplace(id, Watch{fd, std::move(onReadable)});
  return id;
}

void EventLoop::unwatchFd(int id) { watches_.erase(id); }

int EventLoop::addIdleHook(std::function<void()> hook, Duration maxWait) {
  const int id = nextId_++;
  idleHooks_.emplace(id, IdleHook{std::move(hook), maxWait});
  return id;
}

void EventLoop::removeIdleHook(int id) { idleHooks_.erase(id); }

EventLoop::Clock::time_point EventLoop::now() const {
  return virtualTime_ ? virtualNow_ : Clock::now();
}

std::int64_t EventLoop::nowMs() const {
  return std::chrono::duration_cast<Duration>(now() - start_).count();
}

void EventLoop::wake() {
  if (wakePipe_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(wakePipe_[1], &byte, 1);
  }
}

void EventLoop::runUntil(const std::function<bool()>& done) {
  while (!done()) {
    dispatchOnce();
  }
}

void EventLoop::dispatchOnce() {
  // Copies: a callback may add or remove hooks, watches and timers.
  const auto hooks = idleHooks_;
  for (const auto& [id, idle] : hooks) {
    if (idleHooks_.count(id) != 0) idle.hook();
  }

  // The earliest due timer bounds the wait.
  const Clock::time_point current = now();
  LoopTimer* next = nullptr;
  for (LoopTimer* timer : timers_) {
    if (timer->active() && (next == nullptr || timer->due() < next->due())) next = timer;
  }
  Duration wait = Duration(std::numeric_limits<int>::max());
  if (next != nullptr) {
    wait = std::max(Duration(0), std::chrono::duration_cast<Duration>(next->due() - current +
                                                                      std::chrono::microseconds(999)));
  }
  for (const auto& [id, idle] : idleHooks_) wait = std::min(wait, idle.maxWait);
  if (virtualTime_) {
    // Nothing to sleep for: take ready input without waiting, then jump to the next timer.
    wait = Duration(0);
  }

  std::vector<pollfd> fds;
  std::vector<int> ids;
  if (wakePipe_[0] >= 0) {
    fds.push_back({wakePipe_[0], POLLIN, 0});
    ids.push_back(0);
  }
  for (const auto& [id, watch] : watches_) {
    fds.push_back({watch.fd, POLLIN, 0});
    ids.push_back(id);
  }
  const int timeout = static_cast<int>(std::min<Duration::rep>(wait.count(), 1000 * 60 * 60));
  const int ready = ::poll(fds.data(), fds.size(), timeout);
  if (ready > 0) {
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      if (ids[i] == 0) {
        char drainBuf[64];
        while (::read(wakePipe_[0], drainBuf, sizeof drainBuf) > 0) {
        }
        continue;
      }
      const auto it = watches_.find(ids[i]);
      if (it != watches_.end()) {
        auto callback = it->second.onReadable;
        callback();
      }
    }
    return;  // let the caller re-check its condition before any timer
  }

  if (virtualTime_ && next != nullptr && next->due() > virtualNow_) {
    virtualNow_ = next->due();
  }
  const Clock::time_point afterWait = now();
  const auto timersNow = timers_;
  for (LoopTimer* timer : timersNow) {
    if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) continue;
    if (timer->fireIfDue(afterWait)) return;  // one dispatch per pass: no overlap, fair order
  }
}

}  // namespace marqel::platform
