// marqel-host --player mpris on a private session bus, with our test player: what the display
// shows as players change their tracks and states, freeze, quit, come back, take each other's
// names, and as the bus itself goes away and comes back.
#include <gtest/gtest.h>

#include <set>

#include "tests/players/live_scene.h"

namespace marqel::test {
namespace {

class MprisBus : public ::testing::Test {
 protected:
  void SetUp() override { scene.startBus(); }

  void quit(LiveHost& host) {
    ASSERT_EQ(0, scene.quit(host)) << Dump(host);
    EXPECT_TRUE(Blank(host.glass())) << Dump(host);
  }

  LiveScene scene;
};

TEST_F(MprisBus, TracksAndStatesOfOnePlayerReachTheGlass) {
  Child& player = scene.startPlayer("alpha");
  LiveHost& host = scene.startHost("mpris");
  ASSERT_TRUE(scene.waitFor(Reports(host, "org.mpris.MediaPlayer2.alpha stopped: 1.  -  - Winamp")))
      << Dump(host);

  struct Step {
    std::vector<std::string> commands;
    std::string report;  // the window text, with the player's state
    std::array<std::string, 3> lines;
  };
  const Step steps[] = {
      {{R"(meta {"xesam:trackNumber": 12, "xesam:artist": ["Some Artist"],)"
        R"( "xesam:title": "Some Title", "mpris:length": 200000000})",
        "position 100000000", "status Playing"},
       "playing: 12. Some Artist - Some Title - Winamp",
       {"SOME ARTIST", "SOME TITLE", ""}},
      // No number: the place in the track list.
      {{"tracks /t/1 /t/2 /t/3",
        R"(meta {"mpris:trackid": "/t/2", "xesam:artist": ["A", "B"], "xesam:title": "B - C"})"},
       "playing: 2. A, B - B - C - Winamp",
       {"A, B", "B - C", ""}},
      // The artist as one text rather than a list; no title: the file name.
      {{R"(meta {"xesam:artist": "Solo", "xesam:url": "file:///music/Some%20File.flac"})"},
       "playing: 1. Solo - Some File - Winamp",
       {"SOLO", "SOME FILE", ""}},
      {{R"(meta {"xesam:title": "Radio - Song"})"},
       "playing: 1.  - Radio - Song - Winamp",
       {"", "RADIO - SONG", ""}},
      {{R"(meta {"xesam:artist": ["Пётр Чайковский"],)"
        R"( "xesam:title": "Щелкунчик: a title far too long for the two lines it has"})"},
       "playing: 1. Пётр Чайковский - Щелкунчик: a title far too long for the two lines it has "
       "- Winamp",
       {"???? ??????????", "?????????: A TITLE FAR TOO", "LONG FOR THE TWO LINES IT H"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.report);
    for (const auto& command : step.commands) scene.command(player, command);
    ASSERT_TRUE(scene.waitFor(Reports(host, "org.mpris.MediaPlayer2.alpha " + step.report)))
        << Dump(host);
    ASSERT_TRUE(scene.waitFor(ShowsText(host, step.lines[0], step.lines[1], step.lines[2])))
        << Dump(host);
  }

  // The position is read from the player: 100 s of 200 s fill 14 of 27 cells.
  scene.command(player,
                R"(meta {"xesam:artist": ["A"], "xesam:title": "T", "mpris:length": 200000000})");
  scene.command(player, "position 100000000");
  ASSERT_TRUE(scene.waitFor([&] { return BarCells(host.glass()) == 14; })) << Dump(host);
  // A seek shows at once, though the player signals no other position change.
  scene.command(player, "seek 190000000");
  ASSERT_TRUE(scene.waitFor([&] { return BarCells(host.glass()) >= 25; })) << Dump(host);

  scene.command(player, "status Paused");
  ASSERT_TRUE(scene.waitFor([&] { return ShowsBanner(host.glass()); })) << Dump(host);
  scene.command(player, "status Stopped");
  ASSERT_TRUE(scene.waitFor([&] { return Blank(host.glass()); })) << Dump(host);
  quit(host);
}

TEST_F(MprisBus, FrozenQuittingReturningAndReplacedPlayersNeverStallTheTicks) {
  Child& alpha = scene.startPlayer("alpha");
  LiveHost& host = scene.startHost("mpris");
  // 10 s long: the bar gains a cell every 0.37 s, so each tick shows whether ticks still run.
  scene.command(
      alpha, R"(meta {"xesam:artist": ["Alpha"], "xesam:title": "One", "mpris:length": 10000000})");
  scene.command(alpha, "status Playing");
  ASSERT_TRUE(scene.waitFor(ShowsText(host, "ALPHA", "ONE", ""))) << Dump(host);

  // Frozen: the bar runs on while the call waits, then the player reads as stopped.
  alpha.signal(SIGSTOP);
  const std::size_t frozenAt = host.history.size();
  ASSERT_TRUE(scene.waitFor([&] { return Blank(host.glass()); }, 8s)) << Dump(host);
  std::set<std::size_t> barsWhileFrozen;
  for (std::size_t i = frozenAt; i < host.history.size(); ++i) {
    if (!Blank(host.history[i])) barsWhileFrozen.insert(BarCells(host.history[i]));
  }
  EXPECT_GE(barsWhileFrozen.size(), 2u) << Dump(host);
  EXPECT_TRUE(Reports(host,
                      "org.mpris.MediaPlayer2.alpha does not answer: 1. Alpha - One - "
                      "Winamp")());
  alpha.signal(SIGCONT);
  ASSERT_TRUE(scene.waitFor(ShowsText(host, "ALPHA", "ONE", ""))) << Dump(host);

  // Quits, and comes back.
  scene.command(alpha, "quit");
  ASSERT_TRUE(scene.waitFor([&] { return Blank(host.glass()); })) << Dump(host);
  EXPECT_TRUE(Reports(host, "no MPRIS player")());
  Child& again = scene.startPlayer("alpha");
  scene.command(again, R"(meta {"xesam:artist": ["Alpha"], "xesam:title": "Again"})");
  scene.command(again, "status Paused");
  ASSERT_TRUE(scene.waitFor([&] {
    return ShowsText(host, "ALPHA", "AGAIN", "")() && ShowsBanner(host.glass());
  })) << Dump(host);

  // Another instance takes the name over: the old one, still running, is no longer heard.
  Child& usurper = scene.startPlayer("alpha", {"--replace"});
  scene.command(usurper, R"(meta {"xesam:artist": ["Usurper"], "xesam:title": "Two"})");
  scene.command(usurper, "status Playing");
  ASSERT_TRUE(scene.waitFor(ShowsText(host, "USURPER", "TWO", ""))) << Dump(host);
  scene.command(again, R"(meta {"xesam:artist": ["Old"], "xesam:title": "Ghost"})");
  scene.command(again, "status Playing");
  scene.pass(1200ms);
  EXPECT_TRUE(ShowsText(host, "USURPER", "TWO", "")()) << Dump(host);
  quit(host);
}

TEST_F(MprisBus, NamesArePrioritiesWithoutThemThePlayingOneIsFollowed) {
  Child& first = scene.startPlayer("first");
  Child& second = scene.startPlayer("second.instance42");
  scene.command(first, R"(meta {"xesam:artist": ["First"], "xesam:title": "One"})");
  scene.command(first, "status Playing");
  scene.command(second, R"(meta {"xesam:artist": ["Second"], "xesam:title": "Two"})");
  scene.command(second, "status Paused");
  LiveHost& byName = scene.startHost("mpris:second,first");
  LiveHost& any = scene.startHost("mpris");

  // The first name present wins, even paused; without names, the one playing.
  ASSERT_TRUE(scene.waitFor([&] {
    return ShowsText(byName, "SECOND", "TWO", "")() && ShowsBanner(byName.glass());
  })) << Dump(byName);
  ASSERT_TRUE(scene.waitFor(ShowsText(any, "FIRST", "ONE", ""))) << Dump(any);

  // The other one plays now. When it stops, it is still the one that played last; until the
  // first one plays again.
  scene.command(first, "status Paused");
  scene.command(second, "status Playing");
  ASSERT_TRUE(scene.waitFor(ShowsText(any, "SECOND", "TWO", ""))) << Dump(any);
  scene.command(second, "status Stopped");
  ASSERT_TRUE(scene.waitFor([&] { return Blank(any.glass()); })) << Dump(any);
  scene.command(first, "status Playing");
  scene.command(first, "status Paused");
  ASSERT_TRUE(scene.waitFor([&] {
    return ShowsText(any, "FIRST", "ONE", "")() && ShowsBanner(any.glass());
  })) << Dump(any);

  // The first choice leaves: the next one in the list is followed.
  scene.command(second, "quit");
  ASSERT_TRUE(scene.waitFor([&] {
    return ShowsText(byName, "FIRST", "ONE", "")() && ShowsBanner(byName.glass());
  })) << Dump(byName);
  quit(byName);
  quit(any);
}

TEST(MprisNoBus, SaysSoOnceAndConnectsWhenTheBusComesAndComesBack) {
  LiveScene scene;
  LiveHost& host = scene.startHost("mpris");
  ASSERT_TRUE(scene.waitFor([&] {
    return host.process.err().find("no D-Bus session bus") != std::string::npos;
  })) << Dump(host);

  const auto playerPlays = [&](const std::string& title) {
    Child& player = scene.startPlayer("alpha");
    scene.command(player, R"(meta {"xesam:artist": ["A"], "xesam:title": ")" + title + R"("})");
    scene.command(player, "status Playing");
  };
  scene.startBus();
  playerPlays("Late");
  ASSERT_TRUE(scene.waitFor(ShowsText(host, "A", "LATE", ""))) << Dump(host);

  scene.stopBus();
  ASSERT_TRUE(scene.waitFor([&] { return Blank(host.glass()); })) << Dump(host);
  // Several attempts to connect go by meanwhile.
  scene.pass(1500ms);
  scene.startBus();
  playerPlays("Back");
  ASSERT_TRUE(scene.waitFor(ShowsText(host, "A", "BACK", ""))) << Dump(host);

  const std::string& err = host.process.err();
  const auto count = [&](const std::string& text) {
    std::size_t n = 0;
    for (auto at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(1u, count("no D-Bus session bus")) << err;
  EXPECT_EQ(1u, count("lost the D-Bus session bus")) << err;
  EXPECT_EQ(2u, count("connected to the D-Bus session bus")) << err;
  EXPECT_EQ(0, scene.quit(host)) << Dump(host);
}

}  // namespace
}  // namespace marqel::test
