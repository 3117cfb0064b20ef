// The link and its port: the bursts it writes in, against the recording fakes, whose port counts
// the bytes queued until a flush, drain or close.
#include <gtest/gtest.h>

#include "plugin/lifecycle.h"
#include "settings/form2.h"
#include "tests/support/display_scenario.h"

namespace marqel {
namespace {

using harness::DisplayScenario;

constexpr std::u16string_view kTrack = u"12. Some Artist - Some Title - Winamp";

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
