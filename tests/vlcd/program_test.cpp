// marqel-lcd as a process: a plain file, a recording, a FIFO and a pty that the writer reopens.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "link_bytes.h"
#include "linux/posix/posix_handles.h"
#include "tests/support/wire.h"
#include "vlcd/recording.h"

namespace marqel::vlcd {
namespace {

namespace fs = std::filesystem;
using Bytes = harness::wire::Bytes;

Bytes startupBytes() {
  Bytes bytes;
  for (const TimedByte& byte : runLine(linktest::linkStartup(linktest::WaitsFrom::kLineIdle))) {
    bytes.push_back(byte.value);
  }
  return bytes;
}

const Bytes kPlaying = harness::wire::line(1, "\x01 Now playing");
const Bytes kBarAndContrast = harness::wire::line(4, "\xFF\xFF\xFF\xFF\xFF") + Bytes{0xA5};
const std::string kGlass =
    "1 Now playing              \n                           \n"
    "                           \n#####                      \n";

class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() { fs::create_directories(dir_); }
  ~ProgramTest() override { fs::remove_all(dir_); }

  std::string file(const std::string& name, const std::string& content = {}) {
    if (!content.empty()) std::ofstream(dir_ / name, std::ios::binary) << content;
    return (dir_ / name).string();
  }
  // Starts marqel-lcd with its stdout on a pipe.
  static FILE* start(const std::string& args) {
    return popen((std::string(MARQEL_LCD) + " " + args).c_str(), "r");
  }
  // The rest of its output; the exit status must be 0.
  static std::string finish(FILE* program) {
    std::string out;
    for (int c; (c = std::fgetc(program)) != EOF;) out += static_cast<char>(c);
    EXPECT_EQ(pclose(program), 0);
    return out;
  }

  const fs::path dir_ = fs::temp_directory_path() / ("marqel-lcd-test-" + std::to_string(getpid()));
};

// A plain file has no times, so it comes at the line rate without the sender's waits.
TEST_F(ProgramTest, DumpsAPlainFileAtTheLineRate) {
  const Bytes bytes = startupBytes() + kPlaying + kBarAndContrast + Bytes{0x3C};
  const std::string path = file("bytes.bin", std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(finish(start(path + " --dump")), kGlass +
                                                 "timing faults: controller 1: 2, controller 2: 2\n"
                                                 "stray bytes: 1\ncontrast: 37\n");
}

TEST_F(ProgramTest, ReplaysARecordingWithItsTimes) {
  struct Case {
    linktest::WaitsFrom waits;
    const char* options;
    const char* counts;
  };
  const Case cases[] = {
      {linktest::WaitsFrom::kQueueing, "", "controller 1: 1, controller 2: 2"},
      {linktest::WaitsFrom::kLineIdle, "", "controller 1: 0, controller 2: 0"},
      {linktest::WaitsFrom::kLineIdle, "--timing line", "controller 1: 2, controller 2: 2"},
  };
  for (const Case& c : cases) {
    std::string recording = kRecordingHeader;
    for (const TimedByte& byte : runLine(linktest::linkStartup(c.waits))) {
      recording += recordingLine(byte);
    }
    const std::string out =
        finish(start("--dump --replay " + file("startup.txt", recording) + " " + c.options));
    EXPECT_NE(out.find(std::string("timing faults: ") + c.counts), std::string::npos) << out;
  }
}

TEST_F(ProgramTest, DumpsWhenTheFifoWriterLeaves) {
  const std::string fifo = file("port");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  FILE* program = start("--input " + fifo + " --dump --record " + file("rec.txt"));
  const Bytes bytes = startupBytes() + kPlaying + kBarAndContrast;
  std::ofstream(fifo, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  EXPECT_EQ(finish(program).substr(0, kGlass.size()), kGlass);
  std::ifstream recorded(file("rec.txt"));
  EXPECT_EQ(parseRecording(recorded).size(), bytes.size());
}

TEST_F(ProgramTest, PtyKeepsWorkingWhenTheWriterReopensIt) {
  FILE* program = start("--dump --exit-after-idle 1500");
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, program), nullptr);
  const std::string path(line, std::strlen(line) - 1);
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;

  for (const Bytes& part : {startupBytes(), kPlaying, kBarAndContrast}) {
    posix::UniqueFd port(open(path.c_str(), O_WRONLY | O_NOCTTY));
    ASSERT_TRUE(port.valid());
    EXPECT_EQ(write(port.get(), part.data(), part.size()), static_cast<ssize_t>(part.size()));
    port.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const std::string out = finish(program);
  EXPECT_EQ(out.substr(0, kGlass.size()), kGlass);
  EXPECT_NE(out.find("contrast: 37\n"), std::string::npos);
}

}  // namespace
}  // namespace marqel::vlcd
