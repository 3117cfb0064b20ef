// Starting the two display controllers, on its own and as part of the link start-up.
#include "lcd/controller_startup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "common/runtime_error.h"
#include "plugin/component.h"
#include "tests/fakes/fake_platform.h"
#include "tests/support/startup_bytes.h"

namespace marqel {
namespace {

using Bytes = std::vector<std::uint8_t>;

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
  InitLcdController(component.lcdLink(), 1);
  const Bytes& expected = test::kControllerOneStartup;
  EXPECT_EQ(fp.recorder.bytesSince(start), expected);
  EXPECT_TRUE(component.lcdLink().SendBothNibbles);
}

// The link start-up has left the nibble flag set: the four 8-bit steps going out as single
// bytes show that it is cleared for them.
TEST_F(ControllerStartup, ControllerTwoSendsItsHeadAndTheGlyphsToControllerOne) {
  ASSERT_TRUE(component.lcdLink().SendBothNibbles);
  InitLcdController(component.lcdLink(), 2);
  const Bytes& expected = test::kControllerTwoStartup;
  EXPECT_EQ(fp.recorder.bytesSince(start), expected);
  EXPECT_TRUE(component.lcdLink().SendBothNibbles);
}

TEST_F(ControllerStartup, WaitsComeAfterTheirStepsOnceTheLineHasDrained) {
  const auto waitedBefore = fp.delay.totalMs;
  InitLcdController(component.lcdLink(), 1);
  // 10 ms after the first function set, 2 ms after the second, 5 ms after the clear; each wait
  // starts once the bytes before it have left the port.
  EXPECT_THAT(fp.recorder.describe(start),
              ::testing::StartsWith("03 drain wait(10) 03 drain wait(2) 03 02 02 0A 00 08 00 01 "
                                    "drain wait(5) 00 06 00 0C 04 08"));
  EXPECT_EQ(fp.delay.totalMs - waitedBefore, 17);
}

TEST(ControllerStartupClosedPort, RunsAllWaitsSendsNothingAndRaisesNothing) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  component.loadForm1();
  component.MSComm1().close();
  component.lcdLink().SendBothNibbles = false;
  const auto before = fp.recorder.mark();
  const auto waitedBefore = fp.delay.totalMs;
  InitLcdController(component.lcdLink(), 1);
  EXPECT_TRUE(fp.recorder.bytesSince(before).empty());
  EXPECT_EQ(fp.delay.totalMs - waitedBefore, 17);
  EXPECT_TRUE(component.lcdLink().SendBothNibbles);
}

TEST(ControllerStartupFailingWait, StopsAtTheWaitAndPassesTheErrorOn) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  component.loadForm1();
  const auto before = fp.recorder.mark();
  fp.delay.failing = true;
  EXPECT_THROW(InitLcdController(component.lcdLink(), 1), RuntimeError);
  EXPECT_EQ(fp.recorder.bytesSince(before), Bytes{0x03});  // only the byte before the first wait
}

TEST(LinkStartup, SendsBothControllersThenTheContrast) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  component.linkSettings.contrast = 0;
  component.loadForm1();
  Bytes expected = test::kBothControllersStartup;
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
