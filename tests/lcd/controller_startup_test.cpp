// Starting the two display controllers, on its own and as part of the link start-up.
#include "lcd/controller_startup.h"

#include "common/runtime_error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/fake/fake_platform.h"
#include "plugin/component.h"
#include "tests/lcd/startup_bytes.h"

namespace marqel {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kGlyphTail = {0x04, 0x08, 0x10, 0x18, 0x10, 0x1C, 0x10, 0x1E, 0x10, 0x1F, 0x10, 0x1E, 0x10,
                          0x1C, 0x10, 0x18, 0x10, 0x10, 0x05, 0x08, 0x10, 0x10, 0x11, 0x1B, 0x11, 0x1B,
                          0x11, 0x1B, 0x11, 0x1B, 0x11, 0x1B, 0x10, 0x10, 0x10, 0x10, 0x08, 0x00};

Bytes StartupOf(std::uint8_t controller) {
  const Bytes head1 = {0x03, 0x03, 0x03, 0x02, 0x02, 0x0A, 0x00, 0x08, 0x00, 0x01, 0x00, 0x06, 0x00, 0x0C};
  Bytes out;
  for (const std::uint8_t b : head1) {
    out.push_back(static_cast<std::uint8_t>(b + (controller - 1) * 0x40));
  }
  out.insert(out.end(), kGlyphTail.begin(), kGlyphTail.end());
  return out;
}

class ControllerStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    component.loadForm1();
    start = fp.recorder.mark();
  }
  fake::FakePlatform fp;
  Component component{fp.platform()};
  std::size_t start = 0;
};

TEST_F(ControllerStartup, ControllerOneGetsItsFiftyTwoBytes) {
  InitLcdController(component, 1);
  const Bytes& expected = test::kControllerOneStartup;
  EXPECT_EQ(fp.recorder.bytesSince(start), expected);
  EXPECT_TRUE(component.SendBothNibbles);
}

TEST_F(ControllerStartup, ControllerTwoSendsItsHeadAndTheGlyphsToControllerOne) {
  InitLcdController(component, 2);
  const Bytes head = {0x43, 0x43, 0x43, 0x42, 0x42, 0x4A, 0x40, 0x48, 0x40, 0x41, 0x40, 0x46, 0x40, 0x4C};
  Bytes expected = head;
  expected.insert(expected.end(), kGlyphTail.begin(), kGlyphTail.end());
  EXPECT_EQ(fp.recorder.bytesSince(start), expected);
}

TEST_F(ControllerStartup, WaitsComeAfterTheirStepsOnceTheLineHasDrained) {
  const auto waitedBefore = fp.delay.totalMs;
  InitLcdController(component, 1);
  // 10 ms after the first function set, 2 ms after the second, 5 ms after the clear; each wait
  // starts once the bytes before it have left the port.
  EXPECT_THAT(fp.recorder.describe(start),
              ::testing::StartsWith("03 drain wait(10) 03 drain wait(2) 03 02 02 0A 00 08 00 01 "
                                    "drain wait(5) 00 06 00 0C 04 08"));
  EXPECT_EQ(fp.delay.totalMs - waitedBefore, 17);
}

TEST_F(ControllerStartup, NibbleFlagIsClearedForTheHighNibblesOnly) {
  component.SendBothNibbles = true;  // as after an earlier start-up
  InitLcdController(component, 2);
  const Bytes sent = fp.recorder.bytesSince(start);
  // The four 8-bit steps went out as single bytes even though the flag was set on entry.
  EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 4), (Bytes{0x43, 0x43, 0x43, 0x42}));
  EXPECT_TRUE(component.SendBothNibbles);
}

TEST(ControllerStartupClosedPort, RunsAllWaitsSendsNothingAndRaisesNothing) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  component.loadForm1();
  component.MSComm1().close();
  component.SendBothNibbles = false;
  const auto before = fp.recorder.mark();
  const auto waitedBefore = fp.delay.totalMs;
  InitLcdController(component, 1);
  EXPECT_TRUE(fp.recorder.bytesSince(before).empty());
  EXPECT_EQ(fp.delay.totalMs - waitedBefore, 17);
  EXPECT_TRUE(component.SendBothNibbles);
}

TEST(ControllerStartupFailingWait, StopsAtTheWaitAndPassesTheErrorOn) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  component.loadForm1();
  const auto before = fp.recorder.mark();
  fp.delay.failing = true;
  EXPECT_THROW(InitLcdController(component, 1), RuntimeError);
  EXPECT_EQ(fp.recorder.bytesSince(before), Bytes{0x03});  // only the byte before the first wait
}

TEST(LinkStartup, SendsBothControllersThenTheContrast) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  component.linkSettings.contrast = 0;
  component.loadForm1();
  Bytes expected = StartupOf(1);
  const Bytes second = StartupOf(2);
  expected.insert(expected.end(), second.begin(), second.end());
  expected.push_back(0x80);
  const Bytes sent = fp.recorder.bytes();
  EXPECT_EQ(sent.size(), 105u);
  EXPECT_EQ(sent, expected);
  EXPECT_EQ(fp.recorder.events().front(), fake::LinkEvent(fake::LinkEvent::Kind::SetPort, 1));
  EXPECT_EQ(fp.recorder.events()[1], fake::LinkEvent(fake::LinkEvent::Kind::Open, 1));
  EXPECT_TRUE(fp.timers.anyEnabled());
  EXPECT_EQ(fp.timers.lastInterval(), 500);
}

}  // namespace
}  // namespace marqel
