#include "linux/platform/sleep_delay.h"

#include <time.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "common/runtime_error.h"

namespace marqel::platform::linux_ {

void SleepDelay::DELAY(std::int32_t ms) {
  if (ms <= 0) {
    return;
  }
  timespec deadline{};
  if (::clock_gettime(CLOCK_MONOTONIC, &deadline) != 0) {
    throw RuntimeError(
        err::kInvalidProcedureCall,
        "cannot read the monotonic clock (" + std::generic_category().message(errno) + ")");
  }
  // An absolute deadline, so that a signal in between does not stretch or shorten the wait.
  constexpr long kNanosPerSecond = 1'000'000'000L;
  deadline.tv_sec += static_cast<time_t>(ms / 1000);
  deadline.tv_nsec += static_cast<long>(ms % 1000) * 1'000'000L;
  if (deadline.tv_nsec >= kNanosPerSecond) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= kNanosPerSecond;
  }
  for (;;) {
    const int result = ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
    if (result == 0) {
      return;
    }
    if (result != EINTR) {
      throw RuntimeError(err::kInvalidProcedureCall,
                         "cannot wait (" + std::generic_category().message(result) + ")");
    }
  }
}

}  // namespace marqel::platform::linux_
