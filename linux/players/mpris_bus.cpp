#include "linux/players/mpris_bus.h"

#include <poll.h>
#include <sdbus-c++/sdbus-c++.h>

#include <algorithm>
#include <ostream>

namespace marqel::players::mpris {
namespace {

constexpr std::chrono::milliseconds kFirstPause{250};
constexpr std::chrono::milliseconds kLongestPause{5000};
// A write the socket could not take yet is tried again this soon (the loop watches for input
// only).
constexpr std::chrono::milliseconds kWriteRetry{10};

// Marks a dispatch as running, however it ends.
class Dispatching {
 public:
  explicit Dispatching(bool& flag) : flag_(flag) { flag_ = true; }
  ~Dispatching() { flag_ = false; }
  Dispatching(const Dispatching&) = delete;
  Dispatching& operator=(const Dispatching&) = delete;

 private:
  bool& flag_;
};

}  // namespace

SessionBus::SessionBus(platform::EventLoop& loop, std::ostream& messages, Handlers handlers)
    : loop_(loop), messages_(messages), handlers_(std::move(handlers)), pause_(kFirstPause) {}

SessionBus::~SessionBus() {
  if (retry_ != 0) loop_.cancel(retry_);
  if (wakeUp_ != 0) loop_.cancel(wakeUp_);
  if (watch_ != 0) loop_.unwatchFd(watch_);
}

void SessionBus::start() {
  connect();
}

void SessionBus::connect() {
  retry_ = 0;
  const bool connected = loseOnBusError([&] {
    connection_ = sdbus::createSessionBusConnection();
    watch_ = loop_.watchFd(connection_->getEventLoopPollData().fd, [this] { dispatch(); });
    const Dispatching dispatching(dispatching_);
    handlers_.connected(*connection_);
  });
  if (!connected) return;
  if (announcedDown_) {
    messages_ << "marqel-host: connected to the D-Bus session bus\n" << std::flush;
  }
  everConnected_ = true;
  announcedDown_ = false;
  pause_ = kFirstPause;
  // Messages that came in while the first calls were made wait in the connection's queue.
  dispatch();
}

void SessionBus::dispatch() {
  if (!connection_) return;
  loseOnBusError([&] {
    {
      const Dispatching dispatching(dispatching_);
      while (connection_->processPendingRequest()) {
      }
    }
    rearm();
  });
}

void SessionBus::settle() {
  if (dispatching_ || !connection_) return;
  loseOnBusError([&] { rearm(); });
}

bool SessionBus::loseOnBusError(const std::function<void()>& work) {
  try {
    work();
    return true;
  } catch (const sdbus::Error& error) {
    lose(error.getMessage());
    return false;
  }
}

void SessionBus::rearm() {
  const auto poll = connection_->getEventLoopPollData();
  if (wakeUp_ != 0) loop_.cancel(wakeUp_);
  wakeUp_ = 0;
  auto wait = std::chrono::milliseconds::max();
  if ((poll.events & POLLOUT) != 0) wait = kWriteRetry;
  if (const auto timeout = poll.getRelativeTimeout()) {
    wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(*timeout));
  }
  if (wait == std::chrono::milliseconds::max()) return;
  wakeUp_ = loop_.callAfter(wait, [this] {
    wakeUp_ = 0;
    dispatch();
  });
}

void SessionBus::lose(const std::string& why) {
  if (connection_) {
    handlers_.lost();
    loop_.unwatchFd(watch_);
    watch_ = 0;
    if (wakeUp_ != 0) loop_.cancel(wakeUp_);
    wakeUp_ = 0;
    connection_.reset();
  }
  if (!announcedDown_) {
    messages_ << "marqel-host: " << (everConnected_ ? "lost the" : "no") << " D-Bus session bus ("
              << why << "); the display shows the player as stopped, and the host keeps trying "
              << "to connect\n"
              << std::flush;
    announcedDown_ = true;
  }
  retry_ = loop_.callAfter(pause_, [this] { connect(); });
  pause_ = std::min(pause_ * 2, kLongestPause);
}

}  // namespace marqel::players::mpris
