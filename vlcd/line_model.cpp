#include "vlcd/line_model.h"

#include <algorithm>

namespace marqel::vlcd {

Nanos LineClock::arrive(Nanos queued) {
  // Runs are restarted now and then so the exact product in duration() stays far from overflow.
  constexpr std::int64_t kLongRun = 1'000'000;
  if (runLength_ == 0 || queued >= lastArrival()) {
    runStart_ = queued;
    runLength_ = 0;
  } else if (runLength_ >= kLongRun) {
    runStart_ = lastArrival();
    runLength_ = 0;
  }
  ++runLength_;
  return lastArrival();
}

std::vector<TimedByte> runLine(std::span<const LineEvent> script, LineRate rate) {
  LineClock line(rate);
  Nanos sender{0};
  std::vector<TimedByte> arrivals;
  for (const LineEvent& event : script) {
    switch (event.kind) {
      case LineEvent::Kind::kByte:
        arrivals.push_back({line.arrive(sender), event.value});
        break;
      case LineEvent::Kind::kWait:
        sender += event.wait;
        break;
      case LineEvent::Kind::kDrain:
        if (!arrivals.empty()) sender = std::max(sender, line.lastArrival());
        break;
    }
  }
  return arrivals;
}

}  // namespace marqel::vlcd
