#pragma once
#include <cstdint>

namespace marqel::platform {

// The wait routine of the link: blocks the component's thread for at least `ms` milliseconds and
// dispatches nothing meanwhile. May raise a RuntimeError when the wait is unavailable.
class Delay {
 public:
  virtual ~Delay() = default;
  virtual void DELAY(std::int32_t ms) = 0;
};

}  // namespace marqel::platform
