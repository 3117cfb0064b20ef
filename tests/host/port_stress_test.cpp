// marqel-host with a serial line that misbehaves: one that nobody reads, and a display pulled out
// and plugged back in under the host's feet.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/host/host_process.h"
#include "tests/support/startup_bytes.h"
#include "vlcd/recording.h"

namespace marqel::test {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

// marqel-lcd on a pseudo-terminal of its own, dumping what it saw when it is stopped.
class VirtualLcd {
 public:
  explicit VirtualLcd(const std::filesystem::path& recording) {
    posix::Pipe out = posix::OpenPipe(O_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.writeEnd.get(), 1);
    std::vector<std::string> argv{MARQEL_LCD_PATH, "--dump",   "--timing",
                                  "arrival",       "--record", recording.string()};
    std::vector<char*> raw;
    for (auto& arg : argv) raw.push_back(arg.data());
    raw.push_back(nullptr);
    const int spawned =
        ::posix_spawn(&pid_, MARQEL_LCD_PATH, &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start marqel-lcd");
    out.writeEnd.reset();
    out_ = std::move(out.readEnd);
    // Its first line is the path of its pseudo-terminal.
    path_ = readAll('\n');
  }
  ~VirtualLcd() {
    if (pid_ > 0) stop();
  }

  const std::string& path() const { return path_; }

  // Ends it (as Ctrl-C would) and returns its dump.
  std::string stop() {
    ::kill(pid_, SIGTERM);
    std::string dump = readAll();
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return dump;
  }

 private:
  // Output up to `end` (not included), or to the end of it.
  std::string readAll(char end = '\0') {
    std::string text;
    char c = 0;
    while (::read(out_.get(), &c, 1) == 1 && (end == '\0' || c != end)) text += c;
    return text;
  }

  pid_t pid_ = -1;
  posix::UniqueFd out_;
  std::string path_;
};

std::vector<std::string> Args(const ModuleDir& dir, const std::filesystem::path& script,
                              const std::string& device, bool fast) {
  std::vector<std::string> args{
      "run",   "--plugin",   dir.module().string(), "--player", "script:" + script.string(),
      "--com", "1=" + device};
  if (fast) args.push_back("--fast");
  return args;
}

// Nobody reads the line: once the pseudo-terminal holds what it can, the host neither hangs nor
// stops listening to Ctrl-C and kill, and its plug-in still quits.
TEST(PortUnderStress, ALineNobodyReadsLeavesTheHostResponsiveToSignals) {
  ModuleDir dir;
  std::string script = "state 1\nlength 240\n";
  for (int i = 1; i <= 3000; ++i) {
    script += "title " + std::to_string(i) + ". Artist - Title number " + std::to_string(i) +
              " - Winamp\ntick\n";
  }
  const auto file = dir.write("titles.txt", script);
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
    PtyPair unread;  // its master end is never read
    HostLine unused;
    const HostRun result =
        RunHost(Args(dir, file, unread.slavePath(), true), unused, std::chrono::milliseconds(1500),
                [signal](pid_t pid) { ::kill(pid, signal); });
    EXPECT_EQ(result.exitCode, 0) << result.err;
  }
}

// The display is pulled out while a track plays, and a display that has just been powered on
// is plugged in under the same name: the host finds it, starts it and draws everything again.
TEST(PortUnderStress, ADisplayPluggedBackInIsStartedAndRedrawn) {
  ModuleDir dir;
  std::string script = "title 4. Artist - Song - Winamp\nstate 1\nlength 27\n";
  for (int second = 1; second <= 14; ++second) {
    script += "position " + std::to_string(second * 1000) + "\ntick\n";
  }
  const auto file = dir.write("track.txt", script);

  PtyPair before;
  const std::filesystem::path adapter = dir.dir() / "ttyUSB0";
  std::filesystem::create_symlink(before.slavePath(), adapter);
  const std::filesystem::path recording = dir.dir() / "after.txt";
  VirtualLcd after(recording);
  HostLine unused;
  Bytes beforeSaw;
  const HostRun result = RunHost(Args(dir, file, adapter.string(), false), unused,
                                 std::chrono::milliseconds(2000), [&](pid_t) {
                                   beforeSaw = before.readAvailable(std::chrono::milliseconds(50));
                                   before.closeMaster();
                                   std::filesystem::remove(adapter);
                                   std::filesystem::create_symlink(after.path(), adapter);
                                 });
  ASSERT_EQ(result.exitCode, 0) << result.err;
  ASSERT_FALSE(beforeSaw.empty()) << "the display was replaced before the host had used it";
  const std::string dump = after.stop();

  std::ifstream in(recording);
  Bytes line;
  for (const vlcd::TimedByte& byte : vlcd::parseRecording(in)) line.push_back(byte.value);
  Bytes startUp = kBothControllersStartup;
  startUp.push_back(0x80);  // contrast 0
  ASSERT_GE(line.size(), startUp.size());
  EXPECT_TRUE(std::equal(startUp.begin(), startUp.end(), line.begin()))
      << "the new display is not started first";
  EXPECT_THAT(dump, HasSubstr("timing faults: controller 1: 0, controller 2: 0\n"));
  const auto redrawn = [](const std::array<std::string, 4>& glass) {
    return glass[0].rfind("ARTIST ", 0) == 0 && glass[1].rfind("SONG ", 0) == 0 &&
           glass[2] == std::string(27, ' ') && glass[3].rfind("#", 0) == 0;
  };
  const auto history = GlassHistory(line);
  EXPECT_TRUE(std::any_of(history.begin(), history.end(), redrawn)) << dump;
}

}  // namespace
}  // namespace marqel::test
