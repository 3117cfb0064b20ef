// The command-line contract of both programs: --version, --help naming what the program reads
// from its surroundings, and the exit status (0 clean, 1 for what fails at run time, 2 for every
// usage error).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "marqel_version.h"
#include "tests/host/host_process.h"

namespace marqel::test {
namespace {

using ::testing::HasSubstr;

struct Case {
  std::vector<std::string> args;
  int status;
  std::string out;  // a part of standard output
  std::string err;  // a part of standard error
};

void ExpectOutcome(const Case& row, int status, const std::string& out, const std::string& err) {
  std::string command;
  for (const auto& arg : row.args) command += " " + arg;
  SCOPED_TRACE("arguments:" + command);
  EXPECT_EQ(status, row.status) << out << err;
  EXPECT_THAT(out, HasSubstr(row.out));
  EXPECT_THAT(err, HasSubstr(row.err));
}

TEST(CommandLine, MarqelHost) {
  const ModuleDir dir;
  const HostLine line;
  const std::string quit = "script:" + dir.write("quit.txt", "quit\n").string();
  const std::string module = dir.module().string();
  const std::string com = "1=" + line.path();
  const std::vector<Case> cases{
      {{"--version"}, 0, std::string("marqel-host ") + MARQEL_VERSION_TEXT + "\n", ""},
      {{"--help"}, 0, "MARQEL_COMn", ""},
      {{"run", "--help"}, 0, "marqel/registry.ini", ""},
      {{"demo", "--help"}, 0, "gen_marqel.ini", ""},
      {{"run", "--plugin", module, "--player", quit, "--fast", "--com", com}, 0, "", ""},
      {{"run", "--plugin", (dir.dir() / "none.so").string(), "--player", quit}, 1, "", "none.so"},
      {{"register", "--plugin", (dir.dir() / "none.so").string()}, 1, "", "none.so"},
      {{}, 2, "", "subcommand"},
      {{"--frobnicate", "run"}, 2, "", "--frobnicate"},
      {{"run", "--frobnicate"}, 2, "", "--frobnicate"},
      {{"run", "--seconds", "-1"}, 2, "", "--seconds"},
      {{"run", "--seconds", "soon"}, 2, "", "--seconds"},
      {{"run", "--com", "1"}, 2, "", "--com wants N=DEVICE"},
      {{"run", "--com", "0=/dev/null"}, 2, "", "from 1 to 255"},
      {{"run", "--player", "jukebox"}, 2, "", "jukebox"},
      {{"run", "--player", "script:" + (dir.dir() / "none.txt").string()}, 2, "", "none.txt"},
      {{"run", "--player", quit, "stray"}, 2, "", "stray"},
      {{"demo", "--script", (dir.dir() / "none.txt").string()}, 2, "", "none.txt"},
      {{"register"}, 2, "", "--plugin"},
  };
  for (const Case& row : cases) {
    const HostRun result = RunHost(row.args, line);
    ExpectOutcome(row, result.exitCode, result.out, result.err);
  }
}

// marqel-lcd with `args`, standard error on a file of its own; nothing to read on its input.
HostRun RunLcd(const std::vector<std::string>& args, const ModuleDir& dir) {
  std::string command = MARQEL_LCD_PATH;
  for (const auto& arg : args) command += " '" + arg + "'";
  const auto errFile = dir.dir() / "lcd.err";
  command += " </dev/null 2>'" + errFile.string() + "'";
  HostRun run;
  FILE* program = ::popen(command.c_str(), "r");
  if (program == nullptr) return run;
  for (int c; (c = std::fgetc(program)) != EOF;) run.out += static_cast<char>(c);
  const int status = ::pclose(program);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.err = dir.read("lcd.err");
  return run;
}

TEST(CommandLine, MarqelLcd) {
  const ModuleDir dir;
  const std::string empty = dir.write("empty.bin", "").string();
  const std::string malformed = dir.write("malformed.txt", "10417 GG\n").string();
  const std::string none = (dir.dir() / "none.bin").string();
  const std::vector<Case> cases{
      {{"--version"}, 0, std::string("marqel-lcd ") + MARQEL_VERSION_TEXT + "\n", ""},
      {{"--help"}, 0, "Exit status", ""},
      {{empty, "--dump"}, 0, "timing faults: controller 1: 0", ""},
      {{none, "--dump"}, 1, "", "none.bin"},
      {{"--replay", none, "--dump"}, 1, "", "none.bin"},
      {{"--replay", malformed, "--dump"}, 1, "", "recording line 1"},
      {{"--frobnicate", "run"}, 2, "", "--frobnicate"},
      {{"--timing", "sideways", "--dump", empty}, 2, "", "sideways"},
      {{"--exit-after-idle", "-5", "--dump", empty}, 2, "", "--exit-after-idle"},
      {{"--replay", malformed, empty}, 2, "", "excludes"},
      {{empty, empty}, 2, "", "argument"},
  };
  for (const Case& row : cases) {
    const HostRun result = RunLcd(row.args, dir);
    ExpectOutcome(row, result.exitCode, result.out, result.err);
  }
}

}  // namespace
}  // namespace marqel::test
