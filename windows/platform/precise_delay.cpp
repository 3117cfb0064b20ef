#include "windows/platform/precise_delay.h"

#include <windows.h>
// (timeapi.h needs the types of windows.h first)
#include <timeapi.h>

namespace marqel::platform::win32 {
namespace {

// Raises the timer resolution for as long as it lives.
class FineTimerResolution {
 public:
  FineTimerResolution() : raised_(::timeBeginPeriod(1) == TIMERR_NOERROR) {}
  ~FineTimerResolution() {
    if (raised_) {
      ::timeEndPeriod(1);
    }
  }
  FineTimerResolution(const FineTimerResolution&) = delete;
  FineTimerResolution& operator=(const FineTimerResolution&) = delete;

 private:
  bool raised_;
};

}  // namespace

std::int64_t CounterNow() {
  LARGE_INTEGER now{};
  ::QueryPerformanceCounter(&now);
  return now.QuadPart;
}

std::int64_t CounterFrequency() {
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

void WaitUntilCounter(std::int64_t deadline) {
  if (CounterNow() >= deadline) {
    return;
  }
  const std::int64_t frequency = CounterFrequency();
  const FineTimerResolution resolution;
  for (std::int64_t now = CounterNow(); now < deadline; now = CounterNow()) {
    const std::int64_t leftMs = (deadline - now) * 1000 / frequency;
    // Sleep(0) only gives up the rest of the time slice: the last fraction of a millisecond is
    // spent close to the deadline instead of a whole tick past it.
    ::Sleep(static_cast<DWORD>(leftMs));
  }
}

void PreciseDelay::DELAY(std::int32_t ms) {
  if (ms <= 0) {
    return;
  }
  WaitUntilCounter(CounterNow() +
                   (static_cast<std::int64_t>(ms) * CounterFrequency() + 999) / 1000);
}

}  // namespace marqel::platform::win32
