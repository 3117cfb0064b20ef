// The thread's message loop: order of timers, virtual time, modal loops inside callbacks.
#include "linux/system/event_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace marqel::platform {
namespace {

using Duration = EventLoop::Duration;

std::unique_ptr<Timer> Started(EventLoop& loop, std::int32_t ms, std::function<void()> onTick) {
  auto timer = loop.createTimer(std::move(onTick));
  timer->setInterval(ms);
  timer->setEnabled(true);
  return timer;
}

TEST(EventLoop, TimersFireInDueOrderAndTiesInCreationOrder) {
  EventLoop loop(true);
  std::vector<std::string> fired;
  auto a = Started(loop, 300, [&] { fired.push_back("A@" + std::to_string(loop.nowMs())); });
  auto b = Started(loop, 200, [&] { fired.push_back("B@" + std::to_string(loop.nowMs())); });
  loop.runUntil([&] { return loop.nowMs() >= 600 && fired.size() >= 5; });
  EXPECT_EQ(fired, (std::vector<std::string>{"B@200", "A@300", "B@400", "A@600", "B@600"}));
}

TEST(EventLoop, VirtualTimeJumpsToEachTickWithoutDrift) {
  EventLoop loop(true);
  std::vector<std::int64_t> at;
  auto timer = Started(loop, 500, [&] { at.push_back(loop.nowMs()); });
  loop.runUntil([&] { return at.size() == 1000; });
  EXPECT_EQ(at.front(), 500);
  EXPECT_EQ(at.back(), 500'000);
  EXPECT_EQ(loop.timerTicks(), 1000u);
}

TEST(EventLoop, RealTimeNeverFiresEarly) {
  EventLoop loop;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point firedAt{};
  auto timer = Started(loop, 30, [&] { firedAt = std::chrono::steady_clock::now(); });
  loop.runUntil([&] { return firedAt != std::chrono::steady_clock::time_point{}; });
  EXPECT_GE(firedAt - start, std::chrono::milliseconds(30));
}

TEST(EventLoop, SettingTheIntervalOrEnablingRestartsTheCountdown) {
  EventLoop loop(true);
  std::vector<std::int64_t> at;
  auto timer = loop.createTimer([&] { at.push_back(loop.nowMs()); });
  bool started = false;
  auto late = Started(loop, 350, [&] {
    if (std::exchange(started, true)) return;
    timer->setInterval(500);
    timer->setEnabled(true);
  });
  auto disabled = loop.createTimer([&] { ADD_FAILURE() << "a disabled timer ticked"; });
  disabled->setInterval(100);
  auto zero = loop.createTimer([&] { ADD_FAILURE() << "a timer without interval ticked"; });
  zero->setEnabled(true);
  loop.runUntil([&] { return at.size() == 2; });
  EXPECT_EQ(at, (std::vector<std::int64_t>{850, 1350}));
}

TEST(EventLoop, ModalLoopInsideACallbackKeepsTicksRunning) {
  EventLoop loop(true);
  int ticks = 0;
  auto timer = Started(loop, 500, [&] { ++ticks; });
  int ticksSeenInside = -1;
  loop.post([&] {
    loop.runUntil([&] { return ticks == 3; });
    ticksSeenInside = ticks;
  });
  loop.runUntil([&] { return ticksSeenInside >= 0; });
  EXPECT_EQ(ticksSeenInside, 3);
  EXPECT_EQ(loop.nowMs(), 1500);
}

TEST(EventLoop, ATickThatRunsAModalLoopIsNotReenteredButOthersGoOn) {
  EventLoop loop(true);
  int aTicks = 0;
  int bTicks = 0;
  int deepest = 0;
  int depth = 0;
  auto a = Started(loop, 100, [&] {
    ++aTicks;
    deepest = std::max(deepest, ++depth);
    if (aTicks == 1) loop.runUntil([&] { return bTicks == 5; });
    --depth;
  });
  auto b = Started(loop, 150, [&] { ++bTicks; });
  loop.runUntil([&] { return aTicks == 3; });
  EXPECT_EQ(deepest, 1);
  EXPECT_GE(bTicks, 5);
}

TEST(EventLoop, AWatchThatRunsAModalLoopIsNotOfferedItsInputAgain) {
  EventLoop loop(true);
  const posix::Pipe input = posix::OpenPipe(0);
  ASSERT_EQ(::write(input.writeEnd.get(), "x", 1), 1);
  int calls = 0;
  int ticks = 0;
  auto timer = Started(loop, 10, [&] { ++ticks; });
  const FdWatch watch(loop, input.readEnd.get(), [&] {
    ++calls;
    loop.runUntil([&] { return ticks >= 3; });
    char c;
    ASSERT_EQ(::read(input.readEnd.get(), &c, 1), 1);
  });
  loop.runUntil([&] { return calls == 1 && ticks >= 5; });
  EXPECT_EQ(calls, 1);
}

TEST(EventLoop, ATimerMayBeDestroyedByItsOwnTick) {
  EventLoop loop(true);
  std::unique_ptr<Timer> timer;
  int ticks = 0;
  timer = Started(loop, 100, [&] {
    ++ticks;
    timer.reset();
  });
  auto other = Started(loop, 250, [] {});
  loop.runUntil([&] { return loop.nowMs() >= 500; });
  EXPECT_EQ(ticks, 1);
}

TEST(EventLoop, TasksRunInOrderAndCanBeCancelled) {
  EventLoop loop(true);
  std::vector<std::string> ran;
  loop.callAfter(Duration(50), [&] { ran.push_back("later@" + std::to_string(loop.nowMs())); });
  loop.post([&] { ran.push_back("first"); });
  const int cancelled = loop.post([&] { ran.push_back("cancelled"); });
  loop.post([&] { ran.push_back("second"); });
  loop.cancel(cancelled);
  loop.runUntil([&] { return ran.size() == 3; });
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "later@50"}));
  EXPECT_EQ(loop.timerTicks(), 0u) << "tasks are not timer ticks";
}

TEST(EventLoop, TickHooksRunAfterEachTick) {
  EventLoop loop(true);
  std::vector<std::string> order;
  auto timer = Started(loop, 100, [&] { order.push_back("tick"); });
  const int hook = loop.addTickHook([&] { order.push_back("hook"); });
  loop.runUntil([&] { return order.size() == 4; });
  loop.removeTickHook(hook);
  EXPECT_EQ(order, (std::vector<std::string>{"tick", "hook", "tick", "hook"}));
}

TEST(EventLoop, WakeFromAnIdleHookEndsTheWait) {
  EventLoop loop;
  bool done = false;
  // As a toolkit closing its window does: the condition changes inside an idle hook, just before
  // the loop would sleep for the hook's whole interval. Only the wake-up ends that sleep early.
  const int hook = loop.addIdleHook(
      [&] {
        done = true;
        loop.wake();
      },
      Duration(60'000));
  // Should the wake-up be lost, this fails the test and ends the loop rather than letting it hang.
  const int failSafe = loop.callAfter(Duration(2'000), [&] {
    ADD_FAILURE() << "not woken";
    done = true;
  });
  loop.runUntil([&] { return done; });
  loop.removeIdleHook(hook);
  loop.cancel(failSafe);
}

TEST(EventLoop, ATimerOutlivingItsLoopIsHarmless) {
  std::unique_ptr<Timer> timer;
  {
    EventLoop loop(true);
    timer = Started(loop, 100, [] {});
  }
  timer->setEnabled(false);
  EXPECT_FALSE(timer->enabled());
}

}  // namespace
}  // namespace marqel::platform
