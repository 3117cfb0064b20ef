// Whether the link start-up keeps the controllers' timing on a 9600-baud line. The recorded
// sequence of bytes, drains and waits is played over a model of the line, and the virtual display
// judges every write.
#include <gtest/gtest.h>

#include <vector>

#include "tests/fakes/fake_platform.h"
#include "plugin/component.h"
#include "tests/support/display_scenario.h"
#include "vlcd/controller.h"
#include "vlcd/display.h"

namespace marqel {
namespace {

TEST(LineTiming, StartupKeepsEveryControllerWaitWhenWaitsFollowTheLine) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  component.loadForm1();

  const auto display = harness::PlayOverTheLine(harness::LineScript(fp.recorder, true));
  for (const vlcd::Fault& fault : display->faults()) ADD_FAILURE() << vlcd::describe(fault);
  EXPECT_EQ(display->faultCount(), 0u);
  // Both controllers ended up started and blank.
  for (int c = 1; c <= 2; ++c) {
    EXPECT_TRUE(display->controller(c).displayOn());
    EXPECT_EQ(display->controller(c).width(), vlcd::Controller::Width::kFourBit);
  }
  EXPECT_EQ(display->glassText()[0], std::string(27, ' '));
  EXPECT_EQ(display->contrast(), 0);
}

// The same bytes and waits, but each wait counted from the moment the byte before it was queued:
// the clear of each controller is still running when the next command arrives, and controller 2's
// first start-up wait is spent while controller 1's bytes are still on the line.
TEST(LineTiming, WaitsCountedFromQueueingBreakTheControllersTiming) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  component.loadForm1();

  const auto display = harness::PlayOverTheLine(harness::LineScript(fp.recorder, false));
  EXPECT_EQ(display->faultCount(1), 1u);
  EXPECT_EQ(display->faultCount(2), 2u);
}

}  // namespace
}  // namespace marqel
