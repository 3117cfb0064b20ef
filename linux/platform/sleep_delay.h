#pragma once
// The link's wait on Linux: a sleep on the monotonic clock, immune to wall-clock changes.
#include <cstdint>

#include "platform/delay.h"

namespace marqel::platform::linux_ {

class SleepDelay final : public Delay {
 public:
  // Sleeps until `ms` milliseconds from now, resuming after signals; 0 or less returns at once.
  void DELAY(std::int32_t ms) override;
};

}  // namespace marqel::platform::linux_
