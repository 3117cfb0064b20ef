// The simulated player on a loop in virtual time: it wakes only at the end of a track, and its
// window answers the position of the moment it is asked.
#include "linux/players/sim_player.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "linux/platform/cp1252_code_page.h"

namespace marqel::players {
namespace {

class NoHost final : public PlayerHost {
 public:
  void configure() override {}
  void quit() override {}
};

// What the window answers when the plug-in is given it.
struct WindowAnswer {
  std::string text;
  std::int32_t state;
  std::int32_t positionMs;
  bool operator==(const WindowAnswer&) const = default;
};

void PrintTo(const WindowAnswer& a, std::ostream* out) {
  *out << "{" << a.text << ", state " << a.state << ", " << a.positionMs << " ms}";
}

struct Rig {
  platform::EventLoop loop{true};
  platform::WindowTable windows;
  platform::linux_::Cp1252CodePage codePage;
  NoHost host;
  SimPlayer player{
      loop, windows, codePage, host, {{"A", "One", 2}, {"B", "Two", 3}, {"C", "Z", 1}}};
  std::vector<std::int64_t> changes;  // loop time of each onChange
  int dispatches = 0;

  Rig() {
    player.onChange = [this] { changes.push_back(loop.nowMs()); };
  }

  WindowAnswer window() {
    const auto handle = player.windowToGive();
    const platform::PlayerWindowState* state = windows.find(handle.value());
    return {state->text, state->state, state->positionMs};
  }

  // Runs `action` at `atMs` of loop time, counting every callback the loop dispatches.
  void at(std::int64_t atMs, const std::function<void()>& action) {
    bool done = false;
    loop.callAfter(platform::EventLoop::Duration(atMs - loop.nowMs()), [&] {
      action();
      done = true;
    });
    loop.runUntil([&] {
      ++dispatches;
      return done;
    });
    --dispatches;  // the check before the first dispatch
  }
};

TEST(SimPlayerTest, WakesOnlyAtTrackEndsAndAnswersThePositionOfTheMoment) {
  Rig rig;
  rig.player.start();
  std::vector<WindowAnswer> seen;
  rig.at(500, [&] { seen.push_back(rig.window()); });
  rig.at(5500, [&] { seen.push_back(rig.window()); });  // past two track ends
  rig.at(8700, [&] { seen.push_back(rig.window()); });
  EXPECT_EQ(seen, (std::vector<WindowAnswer>{{"1. A - One - Winamp", 1, 500},
                                             {"3. C - Z - Winamp", 1, 500},
                                             {"2. B - Two - Winamp", 1, 700}}));
  // The start, then the ends of tracks 1, 2, 3 and 1 again.
  EXPECT_EQ(rig.changes, (std::vector<std::int64_t>{0, 2000, 5000, 6000, 8000}));
  // Four track ends and the three looks: the player wakes for nothing else.
  EXPECT_EQ(rig.dispatches, 4 + 3);
}

TEST(SimPlayerTest, KeysMoveThePlayheadAndTheTrackEndWithIt) {
  Rig rig;
  rig.player.start();
  rig.at(1000, [&] { rig.player.handleKey(' '); });  // pause at 1 s into track 1
  rig.at(4000, [&] {
    EXPECT_EQ(rig.window(), (WindowAnswer{"1. A - One - Winamp", 3, 1000}));
    EXPECT_EQ(rig.player.status().positionMs, 1000);
    rig.player.handleKey(' ');  // resume: track 1 now ends at 5 s
  });
  rig.at(4999, [&] { EXPECT_EQ(rig.window(), (WindowAnswer{"1. A - One - Winamp", 1, 1999})); });
  rig.at(5200, [&] {
    EXPECT_EQ(rig.player.status().track, "2/3");
    rig.player.handleKey('n');  // track 3 from its start, ending at 6.2 s
  });
  rig.at(5700, [&] { rig.player.handleKey('s'); });
  rig.at(9000, [&] { EXPECT_EQ(rig.window(), (WindowAnswer{"3. C - Z - Winamp", 0, 0})); });
  EXPECT_EQ(rig.changes, (std::vector<std::int64_t>{0, 1000, 4000, 5000, 5200, 5700}));
}

}  // namespace
}  // namespace marqel::players
