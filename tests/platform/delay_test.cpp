#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>

#include <atomic>
#include <chrono>
#include <climits>

#include "linux/platform/sleep_delay.h"

namespace marqel::platform::linux_ {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TEST(SleepDelayTest, WaitsAtLeastTheGivenTime) {
  SleepDelay delay;
  for (const std::int32_t ms : {1, 20, 75}) {
    const auto start = Clock::now();
    delay.DELAY(ms);
    EXPECT_GE(Clock::now() - start, milliseconds(ms)) << ms << " ms";
  }
}

TEST(SleepDelayTest, ZeroAndNegativeWaitsAreNoWaits) {
  SleepDelay delay;
  for (const std::int32_t ms : {0, -1, -999, INT_MIN}) {
    EXPECT_NO_THROW(delay.DELAY(ms)) << ms << " ms";
  }
}

std::atomic<int> alarms{0};

TEST(SleepDelayTest, SignalsDoNotCutTheWaitShort) {
  struct sigaction onAlarm {};
  onAlarm.sa_handler = [](int) { alarms.fetch_add(1); };
  sigemptyset(&onAlarm.sa_mask);
  onAlarm.sa_flags = 0;  // no SA_RESTART: the sleep sees EINTR
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGALRM, &onAlarm, &previous), 0);
  const itimerval every5ms{{0, 5000}, {0, 5000}};
  ASSERT_EQ(::setitimer(ITIMER_REAL, &every5ms, nullptr), 0);

  SleepDelay delay;
  const auto start = Clock::now();
  delay.DELAY(100);
  const auto elapsed = Clock::now() - start;

  const itimerval off{};
  ::setitimer(ITIMER_REAL, &off, nullptr);
  ::sigaction(SIGALRM, &previous, nullptr);
  EXPECT_GT(alarms.load(), 0);
  EXPECT_GE(elapsed, milliseconds(100));
}

}  // namespace
}  // namespace marqel::platform::linux_
