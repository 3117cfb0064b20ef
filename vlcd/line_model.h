#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "vlcd/fault.h"

namespace marqel::vlcd {

// A byte as it reached the interface board: the time its stop bit ended.
struct TimedByte {
  Nanos at{0};
  std::uint8_t value = 0;
};

// The serial line's own pace: 8N1 sends 10 bits a byte, so at 9600 baud a byte takes 1.0417 ms.
struct LineRate {
  int baud = 9600;
  int bitsPerByte = 10;

  // Time for `bytes` bytes back to back, exact to the nanosecond (no drift over long runs).
  Nanos duration(std::int64_t bytes) const {
    return Nanos{bytes * bitsPerByte * 1'000'000'000LL / baud};
  }
};

// The sender's UART: bytes are handed over (queued) at some moment and leave one after the other at
// the line rate. arrival = max(queued, previous arrival) + one byte time.
class LineClock {
 public:
  explicit LineClock(LineRate rate = {}) : rate_(rate) {}

  Nanos arrive(Nanos queued);
  // When the last byte handed over has arrived (the line is idle from then on).
  Nanos lastArrival() const { return runStart_ + rate_.duration(runLength_); }

 private:
  LineRate rate_;
  Nanos runStart_ = Nanos::min();  // when the current back-to-back run began to leave
  std::int64_t runLength_ = 0;
};

// One step of a sender's script.
struct LineEvent {
  enum class Kind { kByte, kWait, kDrain };
  Kind kind = Kind::kByte;
  std::uint8_t value = 0;  // kByte
  Nanos wait{0};           // kWait

  static LineEvent byte(std::uint8_t value) { return {Kind::kByte, value, Nanos{0}}; }
  static LineEvent waitFor(Nanos time) { return {Kind::kWait, 0, time}; }
  // The sender blocks until everything queued has left the line.
  static LineEvent drain() { return {Kind::kDrain, 0, Nanos{0}}; }
};

// Runs a sender's script over the line, starting at time 0: a byte is queued at the sender's
// current time (queueing costs nothing), a wait advances the sender's clock, a drain advances it to
// the last arrival. Returns every byte with its arrival time.
std::vector<TimedByte> runLine(std::span<const LineEvent> script, LineRate rate = {});

}  // namespace marqel::vlcd
