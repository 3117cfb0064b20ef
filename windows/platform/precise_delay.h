#pragma once
// DELAY on Windows: at least the milliseconds asked, measured with the performance counter.
// The default timer granularity (15.6 ms) would turn a 2 ms wait into 16; the wait raises the
// system timer resolution to 1 ms for its own duration only.
#include <cstdint>

#include "platform/delay.h"

namespace marqel::platform::win32 {

class PreciseDelay final : public Delay {
 public:
  void DELAY(std::int32_t ms) override;
};

// The performance counter, and how many of its counts make a second.
std::int64_t CounterNow();
std::int64_t CounterFrequency();
// Blocks until the performance counter reaches `deadline` (at once when it has already).
void WaitUntilCounter(std::int64_t deadline);

}  // namespace marqel::platform::win32
