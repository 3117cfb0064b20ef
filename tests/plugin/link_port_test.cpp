// The link and its port: the bursts it writes in, and a device that fails (unplugged, powered
// off, hung), against the recording fakes, whose port counts the bytes queued until a flush,
// drain or close.
#include <gtest/gtest.h>

#include <string>

#include "plugin/lifecycle.h"
#include "settings/form2.h"
#include "tests/support/display_scenario.h"
#include "tests/support/startup_bytes.h"
#include "tests/support/wire.h"

namespace marqel {
namespace {

using harness::DisplayScenario;
using harness::Glass;
namespace wire = harness::wire;

constexpr std::u16string_view kTrack = u"12. Some Artist - Some Title - Winamp";

wire::Bytes TrackLines() {
  return wire::line(1, "SOME ARTIST") + wire::line(2, "SOME TITLE ") + wire::line(3, "");
}

wire::Bytes StartUpWithContrast0() {
  return wire::Bytes(test::kBothControllersStartup) + wire::Bytes{0x80};
}

class LinkRecovery : public ::testing::Test {
 protected:
  void SetUp() override {
    s.startUp();
    s.player.showsText(kTrack).plays().trackLength(200).positionSeconds(100);
    s.tick();
    ASSERT_EQ(wire::hex(TrackLines() + wire::bar(14)), wire::hex(s.tickBytes()));
  }

  // The display is pulled out while the bar changes: the tick's bytes never leave, the flush at
  // its end fails, and the port is released.
  void unplugWhileDrawing() {
    s.fp.ports.deviceGone = true;
    s.fp.ports.present.erase(1);
    position_ += 10;
    s.player.positionSeconds(position_);
    s.tick();
    ASSERT_EQ("close", s.describeTicks());
    ASSERT_TRUE(s.component.lcdLink().deviceLost());
  }

  void plugBackIn() { s.fp.ports.present.insert(1); }

  DisplayScenario s;
  int position_ = 140;  // seconds of 200
};

TEST_F(LinkRecovery, ADisplayPluggedBackInIsStartedAgainAndRedrawnWhole) {
  unplugWhileDrawing();

  // While it is away each tick tries the port once and draws nothing: no start-up, no waits.
  s.player.positionSeconds(160);
  s.tick(2);
  EXPECT_EQ("port=1 port=1", s.describeTicks());

  plugBackIn();
  s.tick();
  // The link start-up as at load, then everything the player shows, the bar included.
  EXPECT_EQ(wire::hex(StartUpWithContrast0() + TrackLines() + wire::bar(22)),
            wire::hex(s.tickBytes()));
  EXPECT_EQ(1, s.opensSinceMark());
  EXPECT_FALSE(s.component.lcdLink().deviceLost());
  EXPECT_EQ(Glass("SOME ARTIST", "SOME TITLE", "", std::string(22, '#')), s.glassText());
  EXPECT_EQ(0u, s.replay()->faultCount());

  // From then on only what changes goes out again.
  s.tick();
  EXPECT_EQ("", s.describeTicks());
}

TEST_F(LinkRecovery, PausedOrStoppedTheDisplayComesBackAsThePlayerStands) {
  struct Case {
    const char* player;
    void (*act)(harness::ScriptedPlayer&);
    wire::Bytes drawn;  // after the start-up
  };
  const Case cases[] = {
      {"paused", [](harness::ScriptedPlayer& p) { p.pauses(); },
       wire::line(4, "         [ Pause ]         ") + TrackLines()},
      // As at load: nothing drawn on a blank display, the port kept until the player has played.
      {"stopped", [](harness::ScriptedPlayer& p) { p.stops(); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.player);
    unplugWhileDrawing();
    c.act(s.player);
    plugBackIn();
    s.tick();
    EXPECT_EQ(wire::hex(StartUpWithContrast0() + c.drawn), wire::hex(s.tickBytes()));
    EXPECT_TRUE(s.portOpen());
    s.player.plays();
    s.tick();
  }
}

TEST_F(LinkRecovery, QuitWhileTheDisplayIsAwaySendsNothingAndOpensNothing) {
  unplugWhileDrawing();
  s.mark();
  Quit(s.component);
  EXPECT_EQ("", wire::hex(s.tickBytes()));
  EXPECT_EQ(0, s.opensSinceMark());
  EXPECT_FALSE(s.component.form1Loaded());
}

// Each call from the message loop hands what it queued to the device before it returns, so no
// byte waits for the next call, and a tick's redraw goes out in one burst.
TEST(LinkBursts, EveryCallFromTheLoopLeavesNothingQueued) {
  DisplayScenario s;
  const fake::PortWorld& port = s.fp.ports;
  s.startUp();
  EXPECT_EQ(0u, port.unsent) << "link start-up";

  s.player.showsText(kTrack).plays().trackLength(200).positionSeconds(100);
  const int flushesBefore = port.flushes;
  s.tick();
  EXPECT_EQ(0u, port.unsent) << "a tick that redraws";
  EXPECT_EQ(flushesBefore + 1, port.flushes) << "the whole redraw in one burst";

  s.fp.dialogs.whileOpen = [&](platform::ConfigurationDialog& dialog) {
    EXPECT_EQ(0u, port.unsent) << "the dialog's load step";
    dialog.setContrastPosition(40);
    EXPECT_EQ(0u, port.unsent) << "a contrast preview";
    dialog.SetSave_Click();
    EXPECT_EQ(0u, port.unsent) << "Set & Save";
    s.tick();
    EXPECT_EQ(0u, port.unsent) << "a tick under the dialog";
    dialog.Exit_Click();
    EXPECT_EQ(0u, port.unsent) << "Exit";
  };
  Configure(s.component);
  EXPECT_EQ(1, s.fp.dialogs.shown);

  Quit(s.component);
  EXPECT_EQ(0u, port.unsent) << "Quit";
}

}  // namespace
}  // namespace marqel
