// marqel-host as a process, with the plug-in module, a player script and COM1 on a
// pseudo-terminal: what goes out on the line, and what the LCD shows for it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include "tests/host/host_process.h"
#include "tests/support/startup_bytes.h"

namespace marqel::test {
namespace {

using ::testing::HasSubstr;
using Glass = std::array<std::string, 4>;
using Bytes = std::vector<std::uint8_t>;

const Bytes& kStartUp = kBothControllersStartup;

const Glass kBlank = {std::string(27, ' '), std::string(27, ' '), std::string(27, ' '),
                      std::string(27, ' ')};

std::string Row(std::string text) {
  text.resize(27, ' ');
  return text;
}

// The pictures `expected` appear in `history` in this order (other pictures may lie between).
::testing::AssertionResult ShowsInOrder(const std::vector<Glass>& history,
                                        const std::vector<Glass>& expected) {
  auto at = history.begin();
  for (const Glass& picture : expected) {
    at = std::find(at, history.end(), picture);
    if (at == history.end()) {
      std::string shown;
      for (const auto& glass : history) {
        for (const auto& row : glass) shown += "|" + row + "|\n";
        shown += "\n";
      }
      return ::testing::AssertionFailure()
             << "never shown (in this order):\n|" << picture[0] << "|\n|" << picture[1] << "|\n|"
             << picture[2] << "|\n|" << picture[3] << "|\nthe glass showed:\n"
             << shown;
    }
  }
  return ::testing::AssertionSuccess();
}

bool StartsWith(const Bytes& bytes, const Bytes& prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

bool EndsWith(const Bytes& bytes, const Bytes& suffix) {
  return bytes.size() >= suffix.size() &&
         std::equal(suffix.begin(), suffix.end(), bytes.end() - static_cast<long>(suffix.size()));
}

class HostEndToEnd : public ::testing::Test {
 protected:
  HostRun run(const std::string& script, std::vector<std::string> extra = {}) {
    const auto file = dir.write("player.txt", script);
    std::vector<std::string> args{
        "run",    "--plugin", dir.module().string(), "--player", "script:" + file.string(),
        "--fast", "--com",    "1=" + line.path()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunHost(args, line);
  }

  ModuleDir dir;
  HostLine line;
};

constexpr const char* kPlayPauseStopScript =
    R"(# a track plays, pauses, resumes, stops and plays again
title 7. Artist - A Rather Long Title That Needs Two Lines - Winamp
state 1
length 200
position 100000
tick
state 3
tick 2
state 1
position 150000
tick
state 0
tick 2
state 1
position 0
tick
quit
)";

TEST_F(HostEndToEnd, PlayPauseResumeStopPlayAgainAndQuit) {
  const HostRun result = run(kPlayPauseStopScript);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("Pellucor v.1.1 by Tolvane (https://marqel.example.org)"));

  // The link start-up, then the contrast of the defaults (no settings file).
  Bytes startUp = kStartUp;
  startUp.push_back(0x80);
  EXPECT_TRUE(StartsWith(result.line, startUp));
  // Quit starts both controllers again, which blanks the display, and sends nothing after.
  EXPECT_TRUE(EndsWith(result.line, kStartUp));

  const Glass playing = {Row("ARTIST"), Row("A RATHER LONG TITLE THAT"), Row("NEEDS TWO LINES"),
                         std::string(14, '#') + std::string(13, ' ')};
  const Glass paused = {playing[0], playing[1], playing[2], Row("         [ Pause ]")};
  const Glass resumed = {playing[0], playing[1], playing[2],
                         std::string(20, '#') + std::string(7, ' ')};
  const Glass again = {playing[0], playing[1], playing[2], std::string(27, ' ')};
  EXPECT_TRUE(ShowsInOrder(GlassHistory(result.line),
                           {kBlank, playing, paused, resumed, kBlank, again, kBlank}));
  EXPECT_EQ(GlassHistory(result.line).back(), kBlank);
}

TEST_F(HostEndToEnd, PauseBannerGoesOutInMixedCase) {
  const HostRun result = run("title 1. A - B - Winamp\nstate 3\ntick\n");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  // Line 4's address on controller 2, then the banner's 27 characters as data.
  Bytes banner = {0x4C, 0x40};
  for (const char c : std::string("         [ Pause ]         ")) {
    const auto code = static_cast<std::uint8_t>(c);
    banner.push_back(static_cast<std::uint8_t>(0x50 | (code >> 4)));
    banner.push_back(static_cast<std::uint8_t>(0x50 | (code & 0x0F)));
  }
  EXPECT_NE(std::search(result.line.begin(), result.line.end(), banner.begin(), banner.end()),
            result.line.end());
}

TEST_F(HostEndToEnd, SecondQuitStartsTheLinkOnceMoreAndLeavesTheDisplayBlank) {
  const HostRun once = run("title 1. A - B - Winamp\nstate 1\nlength 10\ntick\n");
  const HostRun twice =
      run("title 1. A - B - Winamp\nstate 1\nlength 10\ntick\n", {"--quit-twice"});
  ASSERT_EQ(twice.exitCode, 0) << twice.err;
  ASSERT_TRUE(StartsWith(twice.line, once.line));
  const Bytes second(twice.line.begin() + static_cast<long>(once.line.size()), twice.line.end());
  // Loading Form1 again runs the whole link start-up (port opened, both controllers, contrast)
  // before the second Quit's own start-ups go out.
  Bytes startUp = kStartUp;
  startUp.push_back(0x80);
  EXPECT_TRUE(StartsWith(second, startUp));
  EXPECT_EQ(GlassHistory(twice.line).back(), kBlank);
}

TEST_F(HostEndToEnd, PortInUseAtStartUpGivesOneMessageAndNoBytes) {
  ASSERT_EQ(::flock(line.slave(), LOCK_EX | LOCK_NB), 0);
  const HostRun result = run("title 1. A - B - Winamp\nstate 1\nlength 10\ntick 3\n");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(result.line.empty()) << result.line.size() << " bytes went out";
  // The notice of the missing settings file, then the start-up's error: one box each.
  const auto first = result.err.find("[marqel] message: Error: ");
  ASSERT_NE(first, std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("[marqel] message: Error: ", first + 1), std::string::npos);
  EXPECT_THAT(result.err.substr(first), HasSubstr("\n    Port = 1\n"));
  EXPECT_THAT(result.err, Not(HasSubstr("failed with status")));
}

TEST_F(HostEndToEnd, HostFailingToGiveTheWindowCountsAsStopped) {
  const HostRun result = run(R"(title 2. Singer - Song - Winamp
state 1
length 100
tick
window none
tick
window ok
tick
)");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const Glass playing = {Row("SINGER"), Row("SONG"), Row(""), Row("")};
  // Without a window the state reads 0: both controllers are cleared; with it again, the text
  // comes back.
  EXPECT_TRUE(ShowsInOrder(GlassHistory(result.line), {playing, kBlank, playing, kBlank}));
}

TEST_F(HostEndToEnd, DialogLinesOfTheScriptDriveTheDialog) {
  const HostRun result = run(R"(configure
dialog contrast 100
tick
dialog com 1
dialog setsave
dialog exit
quit
)");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(dir.read("gen_marqel.ini"), " 1 \r\n 100 \r\n");
  EXPECT_NE(std::find(result.line.begin(), result.line.end(), 0xE4), result.line.end());
}

TEST_F(HostEndToEnd, MalformedScriptStopsTheHostBeforeAnythingStarts) {
  const HostRun result = run("state 1\nstate one\n");
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_THAT(result.err, HasSubstr("player.txt:2: `one` is not a signed 32-bit decimal number"));
  EXPECT_TRUE(result.line.empty());
  EXPECT_TRUE(result.out.empty());
}

TEST_F(HostEndToEnd, RealTimeSendsTheSameBytesAsVirtualTime) {
  const std::string script = "title 3. X - Y - Winamp\nstate 1\nlength 8\nposition 4000\ntick 2\n";
  const HostRun fast = run(script);
  const auto file = dir.write("slow.txt", script);
  HostLine slowLine;
  const HostRun slow = RunHost({"run", "--plugin", dir.module().string(), "--player",
                                "script:" + file.string(), "--com", "1=" + slowLine.path()},
                               slowLine);
  ASSERT_EQ(slow.exitCode, 0) << slow.err;
  EXPECT_EQ(slow.line, fast.line);
}

TEST_F(HostEndToEnd, SigtermQuitsThePlugInAndExitsCleanly) {
  const auto file =
      dir.write("long.txt", "title 1. A - B - Winamp\nstate 1\nlength 100\ntick 1000\n");
  const HostRun result =
      RunHost({"run", "--plugin", dir.module().string(), "--player", "script:" + file.string(),
               "--com", "1=" + line.path()},
              line, std::chrono::milliseconds(1500), [](pid_t pid) { ::kill(pid, SIGTERM); });
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(EndsWith(result.line, kStartUp));
  EXPECT_EQ(GlassHistory(result.line).back(), kBlank);
}

}  // namespace
}  // namespace marqel::test
