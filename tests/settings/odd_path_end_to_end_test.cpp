// The plug-in in a folder whose name is not UTF-8 (a Latin-1 "caf\xE9"), run by marqel-host: the
// settings file beside it is read at start-up and written by "Set & Save", under the name the
// system gave, byte for byte.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/host/host_process.h"

namespace marqel::test {
namespace {

namespace fs = std::filesystem;

TEST(OddPluginFolder, TheSettingsFileIsReadAndWrittenUnderItsOwnName) {
  ::unsetenv("DISPLAY");  // message boxes as lines on standard error
  char pattern[] = "/tmp/marqel-odd-path-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const fs::path root = pattern;
  const fs::path folder = root / std::string("caf\xE9");
  fs::create_directory(folder);
  fs::copy_file(MARQEL_MODULE_PATH, folder / "Marqel.so");
  std::ofstream(folder / "gen_marqel.ini", std::ios::binary) << " 1 \r\n 64 \r\n";
  std::ofstream(root / "player.txt") << "configure\ndialog contrast 100\ndialog setsave\n"
                                        "dialog exit\nquit\n";
  const HostLine line;

  const HostRun run =
      RunHost({"run", "--plugin", (folder / "Marqel.so").string(), "--player",
               "script:" + (root / "player.txt").string(), "--fast", "--com", "1=" + line.path()},
              line);

  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err.find("No settings file found"), std::string::npos) << run.err;
  EXPECT_NE(std::find(run.line.begin(), run.line.end(), 0x80 + 64), run.line.end())
      << "the link starts with the saved contrast";
  std::ifstream saved(folder / "gen_marqel.ini", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), " 1 \r\n 100 \r\n") << run.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2)
      << "nothing but the module and its settings";
  fs::remove_all(root);
}

}  // namespace
}  // namespace marqel::test
