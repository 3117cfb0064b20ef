// marqel-host as a process, with the plug-in module, a player script and COM1 on a
// pseudo-terminal: what goes out on the line, and what the LCD shows for it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "tests/host/host_process.h"
#include "tests/support/display_scenario.h"
#include "tests/support/startup_bytes.h"
#include "tests/support/wire.h"

namespace marqel::test {
namespace {

using harness::Glass;
using harness::GlassText;
using ::testing::HasSubstr;
using ::testing::Not;
using Bytes = std::vector<std::uint8_t>;
namespace wire = harness::wire;

const Bytes& kStartUp = kBothControllersStartup;

const GlassText kBlank = Glass("", "", "", "");

// The pictures `expected` appear in `history` in this order (other pictures may lie between).
::testing::AssertionResult ShowsInOrder(const std::vector<GlassText>& history,
                                        const std::vector<GlassText>& expected) {
  auto at = history.begin();
  for (const GlassText& picture : expected) {
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

bool Contains(const Bytes& bytes, const Bytes& part) {
  return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
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

  const GlassText playing =
      Glass("ARTIST", "A RATHER LONG TITLE THAT", "NEEDS TWO LINES", std::string(14, '#'));
  const GlassText paused = Glass(playing[0], playing[1], playing[2], "         [ Pause ]");
  const GlassText resumed = Glass(playing[0], playing[1], playing[2], std::string(20, '#'));
  const GlassText again = Glass(playing[0], playing[1], playing[2], "");
  EXPECT_TRUE(ShowsInOrder(GlassHistory(result.line),
                           {kBlank, playing, paused, resumed, kBlank, again, kBlank}));
  EXPECT_EQ(GlassHistory(result.line).back(), kBlank);
  // The banner is not upper-cased like the text lines: it goes out as written, as one line write.
  EXPECT_TRUE(Contains(result.line, wire::line(4, "         [ Pause ]")));
}

TEST_F(HostEndToEnd, SecondQuitStartsTheLinkOnceMoreAndLeavesTheDisplayBlank) {
  const HostRun once = run("title 1. A - B - Winamp\nstate 1\nlength 10\ntick\n");
  const HostRun twice =
      run("title 1. A - B - Winamp\nstate 1\nlength 10\ntick\n", {"--quit-twice"});
  ASSERT_EQ(twice.exitCode, 0) << twice.err;
  ASSERT_TRUE(StartsWith(twice.line, once.line));
  const Bytes second(twice.line.begin() + static_cast<long>(once.line.size()), twice.line.end());
  // The second Quit's first byte reaches for the port, which loads Form1 again: the whole link
  // start-up (port opened, both controllers, contrast) goes out before that byte does. The nested
  // start-up leaves SendBothNibbles true, and the flag is read only after a high nibble, so the
  // four steps that start controller 1 with high nibbles alone now go out as whole commands.
  // Controller 1's remaining steps and controller 2's start-up follow as usual.
  const Bytes& one = kControllerOneStartup;
  const Bytes expected = wire::Bytes(kStartUp) + wire::Bytes{0x80} + wire::command(1, 0x30) +
                         wire::command(1, 0x30) + wire::command(1, 0x30) + wire::command(1, 0x20) +
                         wire::Bytes(one.begin() + 4, one.end()) + kControllerTwoStartup;
  EXPECT_EQ(wire::hex(second), wire::hex(expected));
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
  const GlassText playing = Glass("SINGER", "SONG", "", "");
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

// Each dialog of a script opens after the one before has returned, never inside it: a long
// script of them neither nests ever deeper nor runs out of stack.
TEST_F(HostEndToEnd, DialogAfterDialogRunsOneAfterTheOther) {
  constexpr int kDialogs = 20000;
  std::string script = "state 1\ntick 1\n";
  for (int i = 0; i < kDialogs; ++i) script += "configure\ndialog exit\n";
  const HostRun result = run(script);
  ASSERT_EQ(result.exitCode, 0) << result.err.substr(0, 2000);
  // The start-up's contrast 0, then each Exit puts the saved contrast 0 back.
  EXPECT_EQ(std::count(result.line.begin(), result.line.end(), 0x80), kDialogs + 1);
  EXPECT_TRUE(EndsWith(result.line, kStartUp));
}

TEST_F(HostEndToEnd, SecondsThatTheClockCannotCountAreRefused) {
  for (const char* seconds : {"1e10", "nan", "inf", "0", "-1"}) {
    const HostRun result = run("state 1\ntick 1\n", {"--seconds", seconds});
    EXPECT_EQ(result.exitCode, 2) << seconds;
    EXPECT_THAT(result.err, HasSubstr("--seconds wants a number above 0 and at most 1000000000"))
        << seconds;
    EXPECT_TRUE(result.line.empty()) << seconds;
  }
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

// Points the per-user configuration, and with it the class registry, into `dir` while it lives.
class ScratchConfigHome {
 public:
  explicit ScratchConfigHome(const std::filesystem::path& dir) {
    if (const char* before = std::getenv("XDG_CONFIG_HOME")) before_ = before;
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  }
  ~ScratchConfigHome() {
    if (before_) {
      ::setenv("XDG_CONFIG_HOME", before_->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }
  ScratchConfigHome(const ScratchConfigHome&) = delete;
  ScratchConfigHome& operator=(const ScratchConfigHome&) = delete;

 private:
  std::optional<std::string> before_;
};

// Without a display the host never loads the desktop windows, and without the MPRIS player it never
// loads D-Bus: no toolkit, X11 or bus page is mapped, while the simulated player plays on the
// display as ever.
TEST_F(HostEndToEnd, HeadlessHostMapsNoToolkitAndNoBus) {
  ::unsetenv("DISPLAY");
  std::string maps;
  const HostRun result = RunHost(
      {"run", "--plugin", dir.module().string(), "--player", "sim", "--com", "1=" + line.path()},
      line, std::chrono::milliseconds(1500), [&maps](pid_t pid) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/maps");
        maps.assign(std::istreambuf_iterator<char>(in), {});
        ::kill(pid, SIGTERM);
      });
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(maps, HasSubstr("Marqel.so"));  // read while the plug-in ran
  for (const char* library :
       {"libfltk", "libX11", "marqel-desktop", "libsdbus", "libsystemd", "marqel-mpris"}) {
    EXPECT_THAT(maps, Not(HasSubstr(library)));
  }
  EXPECT_THAT(result.out, HasSubstr("playing 1/5: Kestrel Lane - Paper Lanterns"));
  const auto history = GlassHistory(result.line);
  EXPECT_TRUE(std::any_of(history.begin(), history.end(), [](const auto& glass) {
    return glass[0].starts_with("KESTREL LANE") && glass[1].starts_with("PAPER LANTERNS");
  }));
}

// Without --plugin the host loads whatever module is registered for the class; `register` and
// `unregister` enter and remove it through the module's own entry points.
TEST_F(HostEndToEnd, RunWithoutPluginLoadsTheRegisteredModuleUntilItIsUnregistered) {
  const ScratchConfigHome config(dir.dir() / "config");
  // Settings beside the registered copy: their contrast shows that this copy is the one loaded.
  dir.write("gen_marqel.ini", " 1 \r\n 100 \r\n");
  const auto script = dir.write("player.txt", "quit\n");
  const std::vector<std::string> runByClass{"run",    "--player", "script:" + script.string(),
                                            "--fast", "--com",    "1=" + line.path()};
  const auto expectNotRegistered = [&](const char* when) {
    SCOPED_TRACE(when);
    const HostRun result = RunHost(runByClass, line);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_THAT(result.err, HasSubstr("is not registered in " +
                                      (dir.dir() / "config" / "marqel" / "registry.ini").string()));
    EXPECT_TRUE(result.line.empty());
  };

  expectNotRegistered("before register");

  const HostRun registered = RunHost({"register", "--plugin", dir.module().string()}, line);
  ASSERT_EQ(registered.exitCode, 0) << registered.err;
  EXPECT_THAT(registered.out, HasSubstr("registered " + dir.module().string()));

  const HostRun byClass = RunHost(runByClass, line);
  ASSERT_EQ(byClass.exitCode, 0) << byClass.err;
  EXPECT_THAT(byClass.out, HasSubstr("Pellucor v.1.1 by Tolvane"));
  Bytes startUp = kStartUp;
  startUp.push_back(0x80 + 100);
  EXPECT_TRUE(StartsWith(byClass.line, startUp)) << wire::hex(byClass.line);
  EXPECT_TRUE(EndsWith(byClass.line, kStartUp));

  const HostRun unregistered = RunHost({"unregister", "--plugin", dir.module().string()}, line);
  ASSERT_EQ(unregistered.exitCode, 0) << unregistered.err;
  EXPECT_THAT(unregistered.out, HasSubstr("unregistered " + dir.module().string()));

  expectNotRegistered("after unregister");
}

// Ctrl+C in the terminal and a plain kill end the host the same way: the plug-in's Quit runs.
class HostSignal : public HostEndToEnd, public ::testing::WithParamInterface<int> {};

TEST_P(HostSignal, QuitsThePlugInAndExitsCleanly) {
  const int signal = GetParam();
  const auto file =
      dir.write("long.txt", "title 1. A - B - Winamp\nstate 1\nlength 100\ntick 1000\n");
  const HostRun result =
      RunHost({"run", "--plugin", dir.module().string(), "--player", "script:" + file.string(),
               "--com", "1=" + line.path()},
              line, std::chrono::milliseconds(1500), [signal](pid_t pid) { ::kill(pid, signal); });
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(EndsWith(result.line, kStartUp));
  EXPECT_EQ(GlassHistory(result.line).back(), kBlank);
}

INSTANTIATE_TEST_SUITE_P(Signals, HostSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& signal) {
                           return std::string(signal.param == SIGINT ? "Sigint" : "Sigterm");
                         });

}  // namespace
}  // namespace marqel::test
