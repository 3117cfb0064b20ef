// Busy and start-up timing faults, and the line model that turns a sender's script into arrivals.
#include <gtest/gtest.h>

#include "link_bytes.h"
#include "vlcd/display.h"

namespace marqel::vlcd {
namespace {

using linktest::linkStartup;
using linktest::WaitsFrom;
using std::chrono::microseconds;
using std::chrono::milliseconds;

TEST(BusyFaults, MarkWritesBeforeTheInstructionFinished) {
  struct Case {
    bool rs;
    std::uint8_t first;
    Nanos gap;
    Nanos early;  // zero: no fault
    const char* cause;
  };
  const Case cases[] = {
      {false, 0x01, microseconds(1500), microseconds(20), "clear display"},
      {false, 0x01, microseconds(1520), Nanos{0}, ""},
      {false, 0x02, microseconds(1000), microseconds(520), "return home"},
      {false, 0x06, microseconds(36), microseconds(1), "entry mode set"},
      {false, 0x06, microseconds(37), Nanos{0}, ""},
      {false, 0xC0, microseconds(30), microseconds(7), "set DDRAM address"},
      {true, 0x41, microseconds(10), microseconds(27), "data write"},
      {false, 0x00, microseconds(1), Nanos{0}, ""},  // no instruction, never busy
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "0x" << std::hex << int{c.first} << " then " << std::dec
                                      << c.gap.count() << " ns");
    Controller chip;
    chip.strobe(false, 0x38, milliseconds(1));
    chip.strobe(c.rs, c.first, milliseconds(10));
    chip.strobe(true, 'Z', milliseconds(10) + c.gap, 7);
    if (c.early == Nanos{0}) {
      EXPECT_TRUE(chip.faults().empty());
      continue;
    }
    ASSERT_EQ(chip.faults().size(), 1u);
    const Fault& fault = chip.faults()[0];
    EXPECT_EQ(fault.kind, FaultKind::kBusy);
    EXPECT_EQ(fault.early, c.early);
    EXPECT_EQ(fault.cause, c.cause);
    EXPECT_EQ(fault.byteIndex, 7u);
    EXPECT_EQ(fault.at, milliseconds(10) + c.gap);
  }
}

TEST(BusyFaults, TheLateWriteIsStillApplied) {
  Controller chip;
  chip.strobe(false, 0x38, milliseconds(1));
  chip.strobe(false, 0x01, milliseconds(2));
  chip.strobe(true, 'Q', milliseconds(2) + microseconds(100));
  EXPECT_EQ(chip.faults().size(), 1u);
  EXPECT_EQ(chip.ddram()[0], 'Q');
}

TEST(BusyFaults, OnlyACompleteByteMakesTheChipBusy) {
  Controller chip;
  chip.strobe(false, 0x20, milliseconds(1));  // to 4-bit
  chip.strobe(false, 0x00, milliseconds(2));
  chip.strobe(false, 0x60, milliseconds(2) + microseconds(1));  // entry mode, 1 us after its half
  EXPECT_TRUE(chip.faults().empty());
  chip.strobe(false, 0x00, milliseconds(2) + microseconds(11));
  ASSERT_EQ(chip.faults().size(), 1u);
  EXPECT_EQ(chip.faults()[0].role, WriteRole::kHighNibble);
  EXPECT_EQ(chip.faults()[0].early, microseconds(27));
}

TEST(StartupWaits, SecondAndThirdFunctionSetsMustWait) {
  struct Case {
    std::vector<Nanos> gaps;   // between consecutive 0x3 writes
    std::vector<Nanos> early;  // one per fault, in order
  };
  const Case cases[] = {
      {{milliseconds(10), milliseconds(2)}, {}},
      {{milliseconds(4), milliseconds(2)}, {microseconds(100)}},
      {{milliseconds(10), microseconds(50)}, {microseconds(50)}},
      {{milliseconds(1), microseconds(40)}, {microseconds(3100), microseconds(60)}},
      {{milliseconds(10), milliseconds(2), microseconds(40)}, {}},  // a fourth has no extra wait
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case with " << c.early.size() << " faults");
    Controller chip;
    Nanos at = milliseconds(50);
    chip.strobe(false, 0x30, at);
    for (Nanos gap : c.gaps) chip.strobe(false, 0x30, at += gap);
    ASSERT_EQ(chip.faults().size(), c.early.size());
    for (std::size_t i = 0; i < c.early.size(); ++i) {
      EXPECT_EQ(chip.faults()[i].kind, FaultKind::kStartupWait);
      EXPECT_EQ(chip.faults()[i].early, c.early[i]);
    }
  }
}

TEST(StartupWaits, AnyOtherWriteEndsTheRun) {
  Controller chip;
  chip.strobe(false, 0x30, milliseconds(1));
  chip.strobe(false, 0x20, milliseconds(2));
  chip.strobe(false, 0x30, milliseconds(3));  // a first 0x3 again, in 4-bit mode a half byte
  chip.strobe(true, 0x30, milliseconds(4));   // data: not part of a start-up
  EXPECT_TRUE(chip.faults().empty());
}

TEST(LineModel, ArrivalsFollowTheQueueAndTheLineRate) {
  using E = LineEvent;
  struct Case {
    std::vector<LineEvent> script;
    std::vector<Nanos::rep> arrivals;
  };
  const Case cases[] = {
      {{E::byte(1), E::byte(2), E::byte(3)}, {1'041'666, 2'083'333, 3'125'000}},
      {{E::byte(1), E::waitFor(milliseconds(10)), E::byte(2)}, {1'041'666, 11'041'666}},
      // The wait starts while byte 2 is still on the line and ends before it has left.
      {{E::byte(1), E::byte(2), E::waitFor(milliseconds(1)), E::byte(3)},
       {1'041'666, 2'083'333, 3'125'000}},
      {{E::byte(1), E::byte(2), E::drain(), E::waitFor(milliseconds(1)), E::byte(3)},
       {1'041'666, 2'083'333, 4'124'999}},
  };
  for (const Case& c : cases) {
    std::vector<Nanos::rep> arrivals;
    for (const TimedByte& byte : runLine(c.script)) arrivals.push_back(byte.at.count());
    EXPECT_EQ(arrivals, c.arrivals);
  }
  LineClock clock;
  for (int i = 0; i < 9600; ++i) clock.arrive(Nanos{0});
  EXPECT_EQ(clock.lastArrival(), std::chrono::seconds(10));  // no drift over long runs
}

// The sender queues bytes without waiting for the UART. If its waits start at queueing, the 5 ms
// after a clear starts while 7 bytes are still queued, so the next byte comes 1.042 ms after the
// clear's second half, 0.478 ms too early; controller 2's start-up is queued behind controller
// 1's, so its second 0x3 also comes only one byte time after the first.
TEST(LineModel, LinkStartupTimingDependsOnWhenTheWaitsStart) {
  struct Expected {
    FaultKind kind;
    int controller;
    std::uint64_t byteIndex;
    Nanos early;
  };
  const std::vector<Expected> fromQueueing = {
      {FaultKind::kBusy, 1, 10, microseconds(478)},
      {FaultKind::kStartupWait, 2, 53, microseconds(3058)},
      {FaultKind::kBusy, 2, 62, microseconds(478)},
  };
  Display display;
  display.feed(runLine(linkStartup(WaitsFrom::kQueueing)));
  const std::vector<Fault> faults = display.faults();
  ASSERT_EQ(faults.size(), fromQueueing.size());
  for (std::size_t i = 0; i < faults.size(); ++i) {
    EXPECT_EQ(faults[i].kind, fromQueueing[i].kind);
    EXPECT_EQ(faults[i].controller, fromQueueing[i].controller);
    EXPECT_EQ(faults[i].byteIndex, fromQueueing[i].byteIndex);
    EXPECT_NEAR(static_cast<double>(faults[i].early.count()),
                static_cast<double>(fromQueueing[i].early.count()), 1000.0);
  }
  EXPECT_EQ(faults[0].cause, "clear display");
  EXPECT_EQ(describe(faults[0]),
            "controller 1, byte 10 at 21.375 ms: instruction high nibble 0x0 came 0.478 ms "
            "early (clear display still running)");

  Display drained;
  drained.feed(runLine(linkStartup(WaitsFrom::kLineIdle)));
  EXPECT_EQ(drained.faultCount(), 0u);
}

}  // namespace
}  // namespace marqel::vlcd
