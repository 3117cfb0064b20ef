#pragma once
// The D-Bus session bus on the host's loop. The loop wakes for the bus's messages and for the
// timeouts of calls in flight, nothing else; every callback runs on the loop's thread. Without a
// bus (a service started before login, a bus that went away) it says so once and keeps trying to
// connect, with a pause that grows from a quarter second to five seconds.
#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "linux/system/event_loop.h"

namespace sdbus {
class IConnection;
}

namespace marqel::players::mpris {

class SessionBus {
 public:
  struct Handlers {
    // The bus is there (again): add matches, send the first calls. A bus error raised here counts
    // as the bus going away.
    std::function<void(sdbus::IConnection&)> connected;
    // The bus went away: drop everything made on the connection; it is closed right after.
    std::function<void()> lost;
  };

  SessionBus(platform::EventLoop& loop, std::ostream& messages, Handlers handlers);
  ~SessionBus();
  SessionBus(const SessionBus&) = delete;
  SessionBus& operator=(const SessionBus&) = delete;

  // The first attempt to connect.
  void start();
  // After sending calls from outside the bus's own callbacks: lets the loop wake for their
  // timeouts. Inside a callback it does nothing; the dispatch does it when the callback is over.
  void settle();

 private:
  void connect();
  void dispatch();
  // The error policy of everything done on the connection: a bus error means the bus is gone, so
  // the connection is dropped and the next attempt to connect is scheduled. False after an error.
  bool loseOnBusError(const std::function<void()>& work);
  // Throws sdbus::Error when the connection is broken.
  void rearm();
  void lose(const std::string& why);

  platform::EventLoop& loop_;
  std::ostream& messages_;
  Handlers handlers_;
  std::unique_ptr<sdbus::IConnection> connection_;
  int watch_ = 0;
  int wakeUp_ = 0;  // the loop task for the next call timeout (or a write that has to wait)
  int retry_ = 0;
  std::chrono::milliseconds pause_;
  bool dispatching_ = false;
  bool everConnected_ = false;
  bool announcedDown_ = false;
};

}  // namespace marqel::players::mpris
