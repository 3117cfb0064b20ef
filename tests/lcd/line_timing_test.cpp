// Whether the link start-up keeps the controllers' timing on a 9600-baud line. The recorded
// sequence of bytes, drains and waits is played over a model of the line, and the virtual display
// judges every write.
#include <gtest/gtest.h>

#include <vector>

#include "platform/fake/fake_platform.h"
#include "plugin/component.h"
#include "vlcd/controller.h"
#include "vlcd/display.h"
#include "vlcd/line_model.h"

namespace marqel {
namespace {

std::vector<vlcd::LineEvent> AsLineScript(const fake::LineRecorder& recorder, bool keepDrains) {
  std::vector<vlcd::LineEvent> script;
  for (const fake::LinkEvent& e : recorder.events()) {
    switch (e.kind) {
      case fake::LinkEvent::Kind::Byte:
        script.push_back(vlcd::LineEvent::byte(static_cast<std::uint8_t>(e.value)));
        break;
      case fake::LinkEvent::Kind::Wait:
        script.push_back(vlcd::LineEvent::waitFor(std::chrono::milliseconds(e.value)));
        break;
      case fake::LinkEvent::Kind::Drain:
        if (keepDrains) script.push_back(vlcd::LineEvent::drain());
        break;
      default:
        break;
    }
  }
  return script;
}

vlcd::Display PlayOverTheLine(const std::vector<vlcd::LineEvent>& script) {
  vlcd::Display display;
  for (const vlcd::TimedByte& b : vlcd::runLine(script)) display.feed(b.value, b.at);
  return display;
}

TEST(LineTiming, StartupKeepsEveryControllerWaitWhenWaitsFollowTheLine) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  component.loadForm1();

  const vlcd::Display display = PlayOverTheLine(AsLineScript(fp.recorder, true));
  for (const vlcd::Fault& fault : display.faults()) ADD_FAILURE() << vlcd::describe(fault);
  EXPECT_EQ(display.faultCount(), 0u);
  // Both controllers ended up started and blank.
  for (int c = 1; c <= 2; ++c) {
    EXPECT_TRUE(display.controller(c).displayOn());
    EXPECT_EQ(display.controller(c).width(), vlcd::Controller::Width::kFourBit);
  }
  EXPECT_EQ(display.glassText()[0], std::string(27, ' '));
  EXPECT_EQ(display.contrast(), 0);
}

// The same bytes and waits, but each wait counted from the moment the byte before it was queued:
// the clear of each controller is still running when the next command arrives, and controller 2's
// first start-up wait is spent while controller 1's bytes are still on the line.
TEST(LineTiming, WaitsCountedFromQueueingBreakTheControllersTiming) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  component.loadForm1();

  const vlcd::Display display = PlayOverTheLine(AsLineScript(fp.recorder, false));
  EXPECT_EQ(display.faultCount(1), 1u);
  EXPECT_EQ(display.faultCount(2), 2u);
}

}  // namespace
}  // namespace marqel
