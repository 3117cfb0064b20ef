// `marqel-host demo` as a newcomer starts it: in a terminal, without a display, a settings file or
// any hardware. It must draw the glass as the simulated player plays, and end cleanly.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "linux/posix/posix_handles.h"

namespace marqel::test {
namespace {

using ::testing::HasSubstr;

struct Screen {
  int exitCode = -1;
  std::string output;  // everything written to the terminal, escape codes included
};

// Each test runs its own copy of the module: tests run in parallel, and overwriting a library
// that another process has mapped would pull the code from under it.
std::string ModuleCopyForThisTest() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return (std::filesystem::path(MARQEL_MODULE_COPY).parent_path() / info->name() / "Marqel.so")
      .string();
}

// `keys`: each key with the milliseconds after the start at which it is pressed. With `noInput`
// the demo's standard input is at its end from the start (as under `< /dev/null`).
Screen RunDemoInATerminal(const std::vector<std::string>& args,
                          std::vector<std::pair<int, char>> keys = {}, bool noInput = false) {
  int master = -1;
  winsize size{40, 120, 0, 0};
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
  if (pid == 0) {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("LANG", "C.UTF-8", 1);
    if (noInput) {
      const int null = ::open("/dev/null", O_RDONLY);
      if (null < 0 || ::dup2(null, STDIN_FILENO) < 0) ::_exit(126);
    }
    std::vector<std::string> argv{MARQEL_HOST_PATH, "demo", "--plugin", ModuleCopyForThisTest()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    ::execv(MARQEL_HOST_PATH, raw.data());
    ::_exit(127);
  }
  const posix::UniqueFd terminal(master);
  Screen screen;
  const auto start = std::chrono::steady_clock::now();
  std::size_t sent = 0;
  for (;;) {
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (sent < keys.size() && elapsed >= std::chrono::milliseconds(keys[sent].first)) {
      EXPECT_EQ(::write(master, &keys[sent].second, 1), 1);
      ++sent;
    }
    if (elapsed > std::chrono::seconds(30)) ::kill(pid, SIGKILL);
    pollfd ready{master, POLLIN, 0};
    if (::poll(&ready, 1, 50) > 0) {
      char buffer[4096];
      const ssize_t got = ::read(master, buffer, sizeof buffer);
      if (got > 0) {
        screen.output.append(buffer, static_cast<std::size_t>(got));
        continue;
      }
    }
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      screen.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
  }
  return screen;
}

class Demo : public ::testing::Test {
 protected:
  void SetUp() override {
    // The demo finds its module without registration; a copy keeps the settings file private.
    const std::filesystem::path copy = ModuleCopyForThisTest();
    std::filesystem::create_directories(copy.parent_path());
    std::filesystem::copy_file(MARQEL_MODULE_PATH, copy,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(copy.parent_path() / "gen_marqel.ini");
  }
};

TEST_F(Demo, DrawsTheGlassAsTheTrackPlaysAndEndsCleanly) {
  const Screen screen = RunDemoInATerminal({"--seconds", "2"});
  EXPECT_EQ(screen.exitCode, 0) << screen.output;
  EXPECT_THAT(screen.output, HasSubstr("│KESTREL LANE               │"));
  EXPECT_THAT(screen.output, HasSubstr("│PAPER LANTERNS             │"));
  EXPECT_THAT(screen.output, HasSubstr("(i) No settings file found."));
  EXPECT_THAT(screen.output, HasSubstr("Pellucor v.1.1 by Tolvane"));
  EXPECT_THAT(screen.output, HasSubstr("demo ended"));
  // The terminal is given back: the alternate screen is left and the cursor shown again.
  EXPECT_THAT(screen.output, HasSubstr("\x1b[?25h\x1b[?1049l"));
}

TEST_F(Demo, DrawsAndEndsCleanlyWithItsInputAtItsEnd) {
  const Screen screen = RunDemoInATerminal({"--seconds", "1.5"}, {}, true);
  EXPECT_EQ(screen.exitCode, 0) << screen.output;
  EXPECT_THAT(screen.output, HasSubstr("│KESTREL LANE               │"));
  EXPECT_THAT(screen.output, HasSubstr("demo ended"));
}

TEST_F(Demo, KeysPauseSkipAndQuit) {
  const Screen screen =
      RunDemoInATerminal({}, {{1200, ' '}, {2400, 'n'}, {2500, ' '}, {3800, 'q'}});
  EXPECT_EQ(screen.exitCode, 0) << screen.output;
  EXPECT_THAT(screen.output, HasSubstr("│         [ Pause ]         │"));
  EXPECT_THAT(screen.output, HasSubstr("│THE HALVORSEN QUARTET      │"));
  EXPECT_THAT(screen.output, HasSubstr("demo ended"));
}

}  // namespace
}  // namespace marqel::test
