// marqel-host following mpv, a real player, through its MPRIS script on a private session bus:
// two tagged files play, pause, seek, change and stop, and the glass follows each.
#include <gtest/gtest.h>

#include "tests/players/live_scene.h"

namespace marqel::test {
namespace {

constexpr const char* kMpv = "/usr/bin/mpv";
constexpr const char* kMprisScript = "/usr/lib/mpv-mpris/mpris.so";

TEST(MprisMpv, TheGlassFollowsPlayPauseSeekNextAndQuit) {
  for (const char* needed : {kMpv, kMprisScript, "/usr/bin/sox", "/usr/bin/flac"}) {
    if (!std::filesystem::exists(needed)) {
      GTEST_SKIP() << needed << " is missing: scripts/setup installs mpv, mpv-mpris, sox and flac";
    }
  }
  LiveScene scene;
  // Two 20-second tones, tagged as the player reads them; mpv's script sends no track number.
  const auto tagged = [&](const std::string& name, const std::string& artist,
                          const std::string& title) {
    const std::string wav = (scene.dir() / (name + ".wav")).string();
    const std::string flac = (scene.dir() / (name + ".flac")).string();
    EXPECT_EQ(0, scene.run({"/usr/bin/sox", "-n", "-r", "8000", "-c", "1", "-b", "16", wav, "synth",
                            "20", "sine", "440"}));
    EXPECT_EQ(0, scene.run({"/usr/bin/flac", "-s", "-f", "-T", "ARTIST=" + artist, "-T",
                            "TITLE=" + title, "-o", flac, wav}));
    return flac;
  };
  const std::string first = tagged("first", "Kestrel Lane", "Paper Lanterns");
  const std::string second = tagged("second", "Saltmarsh", "Tide");

  scene.startBus();
  LiveHost& host = scene.startHost("mpris:mpv");
  scene.startProgram({kMpv, "--no-config", "--no-video", "--ao=null", "--no-terminal",
                      std::string("--script=") + kMprisScript, first, second});
  const auto player = [&](const std::string& method, std::vector<std::string> args = {}) {
    std::vector<std::string> argv{"/usr/bin/dbus-send",      "--session",
                                  "--print-reply",           "--dest=org.mpris.MediaPlayer2.mpv",
                                  "/org/mpris/MediaPlayer2", method};
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_EQ(0, scene.run(argv)) << method;
  };

  ASSERT_TRUE(scene.waitFor([&] {
    return ShowsText(host.glass(), "KESTREL LANE", "PAPER LANTERNS", "") &&
           BarCells(host.glass()) >= 1;
  })) << Dump(host);
  EXPECT_NE(std::string::npos,
            host.process.out().find("org.mpris.MediaPlayer2.mpv playing: 1. Kestrel Lane - Paper "
                                    "Lanterns - Winamp"))
      << Dump(host);

  player("org.mpris.MediaPlayer2.Player.Pause");
  ASSERT_TRUE(scene.waitFor([&] { return ShowsBanner(host.glass()); })) << Dump(host);

  // 10 s further into 20: at least 14 of 27 cells once it plays again.
  player("org.mpris.MediaPlayer2.Player.Seek", {"int64:10000000"});
  player("org.mpris.MediaPlayer2.Player.Play");
  ASSERT_TRUE(scene.waitFor([&] {
    return ShowsText(host.glass(), "KESTREL LANE", "PAPER LANTERNS", "") &&
           BarCells(host.glass()) >= 14;
  })) << Dump(host);

  player("org.mpris.MediaPlayer2.Player.Next");
  ASSERT_TRUE(scene.waitFor([&] {
    return ShowsText(host.glass(), "SALTMARSH", "TIDE", "") && BarCells(host.glass()) < 14;
  })) << Dump(host);

  player("org.mpris.MediaPlayer2.Quit");
  ASSERT_TRUE(scene.waitFor([&] { return Blank(host.glass()); })) << Dump(host);
  EXPECT_NE(std::string::npos, host.process.out().find("marqel-host: no MPRIS player\n"));

  EXPECT_EQ(0, scene.quit(host)) << Dump(host);
}

}  // namespace
}  // namespace marqel::test
