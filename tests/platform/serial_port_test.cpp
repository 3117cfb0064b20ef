#include <fcntl.h>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "common/runtime_error.h"
#include "linux/platform/termios_serial_port.h"
#include "tests/platform/pty_pair.h"

namespace marqel::platform::linux_ {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using marqel::test::PtyPair;
using ::testing::HasSubstr;

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/marqel-serial-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
      throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Points `link` at `target`, replacing what it pointed at before.
void Relink(const std::string& target, const std::string& link) {
  std::filesystem::remove(link);
  std::filesystem::create_symlink(target, link);
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() { ::unsetenv(name_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
};

// Runs `statement` and checks that it raises error `number` with a description holding `parts`.
template <class Statement>
void ExpectError(Statement&& statement, std::int32_t number,
                 std::initializer_list<std::string> parts) {
  try {
    statement();
    ADD_FAILURE() << "no error raised, expected " << number;
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), number) << error.description();
    for (const std::string& part : parts) {
      EXPECT_THAT(error.description(), HasSubstr(part));
    }
  }
}

std::unique_ptr<SerialPort> OpenPort(SerialPortFactory& factory, std::int16_t number) {
  auto port = factory.createSerialPort();
  port->setCommPort(number);
  port->open();
  return port;
}

class SerialPortTest : public ::testing::Test {
 protected:
  PtyPair pty_;
  TempDir dir_;
  TermiosSerialPortFactory factory_{{{3, pty_.slavePath()}}};
};

TEST_F(SerialPortTest, OpensAt9600Baud8N1RawWithoutFlowControl) {
  auto port = OpenPort(factory_, 3);
  ASSERT_TRUE(port->portOpen());
  // On a pty master the mode ioctls read the slave's settings.
  termios line{};
  ASSERT_EQ(::tcgetattr(pty_.masterFd(), &line), 0);
  EXPECT_EQ(::cfgetospeed(&line), B9600);
  EXPECT_EQ(::cfgetispeed(&line), B9600);
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(line.c_iflag & (IXON | IXOFF | IXANY), 0u);
  EXPECT_EQ(line.c_oflag & OPOST, 0u);
  EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
}

TEST_F(SerialPortTest, EveryByteGoesOutUntranslated) {
  auto port = OpenPort(factory_, 3);
  // Bytes a cooked line would drop, expand or act on.
  const std::uint8_t awkward[] = {0x00, 0x80, 0xFF, 0x0A, 0x0D, 0x09, 0x08, 0x11, 0x13, 0x7F};
  for (const std::uint8_t byte : awkward) {
    port->output(byte);
    port->flush();
    EXPECT_EQ(pty_.readAvailable(50ms), Bytes{byte}) << "byte " << int{byte};
  }
  Bytes all(256);
  for (std::size_t i = 0; i < all.size(); ++i) {
    all[i] = static_cast<std::uint8_t>(i);
    port->output(all[i]);
  }
  port->drain();
  EXPECT_EQ(pty_.readAvailable(), all);
}

TEST_F(SerialPortTest, CloseDeliversEverythingQueued) {
  auto port = OpenPort(factory_, 3);
  Bytes sent;
  for (int i = 0; i < 200; ++i) {
    sent.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    port->output(sent.back());
  }
  port->close();
  EXPECT_FALSE(port->portOpen());
  EXPECT_EQ(pty_.readAvailable(), sent);
}

TEST_F(SerialPortTest, DeviceIsInUseWhileAnotherPortHoldsIt) {
  const std::string alias = dir_ / "ttyAlias";
  Relink(pty_.slavePath(), alias);
  TermiosSerialPortFactory factory{{{3, pty_.slavePath()}, {4, alias}}};

  auto first = OpenPort(factory, 3);
  // The same device under its own name and under another name.
  const std::int16_t sameDevice[] = {3, 4};
  for (const std::int16_t number : sameDevice) {
    auto second = factory.createSerialPort();
    second->setCommPort(number);
    ExpectError([&] { second->open(); }, err::kPortInUse,
                {"COM" + std::to_string(number), "port in use by another program"});
    EXPECT_FALSE(second->portOpen());
  }

  first->close();
  auto second = OpenPort(factory, 4);
  second->output('b');
  second->flush();
  EXPECT_EQ(pty_.readAvailable(), Bytes{'b'});
  // Destroying an open port releases the device too.
  second.reset();
  auto third = OpenPort(factory, 3);
  EXPECT_TRUE(third->portOpen());
}

TEST_F(SerialPortTest, MissingDeviceFailsUntilItAppears) {
  const std::string later = dir_ / "ttyLater";
  TermiosSerialPortFactory factory{{{5, later}}};
  auto port = factory.createSerialPort();
  port->setCommPort(5);

  // The host named the device: the environment would not pick another one.
  ExpectError([&] { port->open(); }, err::kPortInvalid,
              {"COM5 (" + later + "): no such port (is the device plugged in?)"});
  EXPECT_FALSE(port->portOpen());
  ExpectError([&] { port->output('x'); }, err::kPortNotOpen,
              {"Operation valid only when the port is open"});
  EXPECT_NO_THROW(port->drain());
  EXPECT_NO_THROW(port->close());

  Relink(pty_.slavePath(), later);
  port->open();
  port->output('x');
  port->flush();
  EXPECT_EQ(pty_.readAvailable(), Bytes{'x'});
}

TEST_F(SerialPortTest, BytesGoOutTogetherAtTheFlushOrWhenTheOutputBufferIsFull) {
  auto port = OpenPort(factory_, 3);
  Bytes burst;
  for (int i = 0; i < 100; ++i) {
    burst.push_back(static_cast<std::uint8_t>(i * 7));
    port->output(burst.back());
  }
  EXPECT_TRUE(pty_.readAvailable(50ms).empty()) << "queued bytes went out before the flush";
  port->flush();
  EXPECT_EQ(pty_.readAvailable(), burst);

  // 512 bytes are as many as the control holds: the next one sends them without a flush.
  for (int i = 0; i < 513; ++i) {
    port->output(static_cast<std::uint8_t>(i));
  }
  EXPECT_EQ(pty_.readAvailable().size(), 512u);
  port->drain();
  EXPECT_EQ(pty_.readAvailable(), Bytes{0x00});
}

// A device that fails stays failed until it is closed; the next open tries it again.
void ExpectFailsUntilReopened(SerialPort& port, const std::string& failure) {
  ExpectError([&] { port.flush(); }, err::kPortDeviceGone, {failure});
  ExpectError([&] { port.output('b'); }, err::kPortDeviceGone, {failure});
  ExpectError([&] { port.drain(); }, err::kPortDeviceGone, {failure});
  EXPECT_TRUE(port.portOpen());
  EXPECT_NO_THROW(port.close());
  EXPECT_FALSE(port.portOpen());
}

TEST_F(SerialPortTest, UnpluggedDeviceIsGoneUntilClosedAndReopened) {
  const std::string adapter = dir_ / "ttyUSB0";
  Relink(pty_.slavePath(), adapter);
  TermiosSerialPortFactory factory{{{6, adapter}}};
  auto port = OpenPort(factory, 6);
  port->output('a');
  port->flush();
  EXPECT_EQ(pty_.readAvailable(), Bytes{'a'});

  pty_.closeMaster();
  port->output('b');
  ExpectFailsUntilReopened(*port, "COM6 (" + adapter + "): device gone");

  PtyPair replugged;
  Relink(replugged.slavePath(), adapter);
  port->open();
  port->output('c');
  port->flush();
  EXPECT_EQ(replugged.readAvailable(), Bytes{'c'});
}

// Nobody reads the line (a hung adapter does the same): the port gives up instead of hanging.
TEST_F(SerialPortTest, ALineNobodyReadsFailsTheFlushInsteadOfHanging) {
  auto port = OpenPort(factory_, 3);
  const std::string stalled = "COM3 (" + pty_.slavePath() + "): the device does not take bytes";
  try {
    // Far more than a pseudo-terminal holds unread.
    for (int i = 0; i < 256 * 1024; ++i) {
      port->output('s');
    }
    ADD_FAILURE() << "256 KiB went into a line nobody reads";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), err::kPortDeviceGone);
    EXPECT_THAT(error.description(), HasSubstr(stalled));
  }
  ExpectFailsUntilReopened(*port, stalled);

  // Once the line is read again, the port works again.
  pty_.readAvailable();
  port->open();
  port->output('r');
  port->flush();
  EXPECT_EQ(pty_.readAvailable(), Bytes{'r'});
}

TEST_F(SerialPortTest, PortNumbersOutside1To255AreInvalid) {
  const std::int16_t invalid[] = {0, -1, -32768, 256, 32767};
  for (const std::int16_t number : invalid) {
    auto port = factory_.createSerialPort();
    port->setCommPort(number);
    ExpectError([&] { port->open(); }, err::kPortInvalid,
                {"COM" + std::to_string(number) + ": invalid port number"});
    EXPECT_FALSE(port->portOpen());
  }
  TermiosSerialPortFactory highest{{{255, pty_.slavePath()}}};
  EXPECT_TRUE(OpenPort(highest, 255)->portOpen());
}

TEST_F(SerialPortTest, PortNumberIsFixedWhileOpen) {
  TermiosSerialPort port{{{3, pty_.slavePath()}}};
  port.setCommPort(3);
  port.open();
  ExpectError([&] { port.setCommPort(4); }, err::kPortOperationWhileOpen,
              {"Operation not valid while the port is opened"});
  EXPECT_EQ(port.commPort(), 3);
  ExpectError([&] { port.open(); }, err::kPortAlreadyOpen, {"COM3", "already open"});
  port.output('k');
  port.flush();
  EXPECT_EQ(pty_.readAvailable(), Bytes{'k'});
  port.close();
  port.setCommPort(4);
  EXPECT_EQ(port.commPort(), 4);
}

TEST_F(SerialPortTest, EnvironmentNamesTheDeviceUnlessTheFactoryDoes) {
  const ScopedEnv com7("MARQEL_COM7", pty_.slavePath());
  const ScopedEnv com8("MARQEL_COM8", dir_ / "missing");
  TermiosSerialPortFactory factory{{{8, pty_.slavePath()}}};
  const std::int16_t numbers[] = {7, 8};
  for (const std::int16_t number : numbers) {
    auto port = OpenPort(factory, number);
    port->output(static_cast<std::uint8_t>(number));
    port->close();
    EXPECT_EQ(pty_.readAvailable(), Bytes{static_cast<std::uint8_t>(number)});
  }
}

TEST(SerialDevicePathTest, FactoryOverrideThenEnvironmentThenTtyS) {
  struct Case {
    SerialDeviceOverrides overrides;
    std::optional<std::string> environment;  // MARQEL_COM2
    int port;
    std::string expected;
  };
  const Case cases[] = {
      {{}, std::nullopt, 1, "/dev/ttyS0"},
      {{}, std::nullopt, 12, "/dev/ttyS11"},
      {{}, "/dev/ttyUSB0", 2, "/dev/ttyUSB0"},
      {{}, "", 2, "/dev/ttyS1"},
      {{{2, "/dev/ttyACM1"}}, "/dev/ttyUSB0", 2, "/dev/ttyACM1"},
      {{{3, "/dev/ttyACM1"}}, "/dev/ttyUSB0", 2, "/dev/ttyUSB0"},
  };
  for (const Case& c : cases) {
    const ScopedEnv env("MARQEL_COM2", c.environment);
    EXPECT_EQ(TermiosSerialPortFactory(c.overrides).devicePath(c.port), c.expected)
        << "COM" << c.port << " with MARQEL_COM2=" << c.environment.value_or("(unset)");
  }
}

TEST_F(SerialPortTest, DevicesThatAreNoSerialPortsAreRefused) {
  const std::string file = dir_ / "plain";
  std::ofstream(file) << "not a tty";
  for (const std::string& path : {file, dir_ / ""}) {
    TermiosSerialPortFactory factory{{{9, path}}};
    auto port = factory.createSerialPort();
    port->setCommPort(9);
    ExpectError([&] { port->open(); }, err::kPortSetupFailed, {path, "not a serial port"});
    EXPECT_FALSE(port->portOpen());
  }
}

// How opening a port in a child process ended; the child runs as an unprivileged user when the
// test runs as root, since root opens any device.
struct ChildOpen {
  bool staged = false;                 // false: root could not become the unprivileged user
  std::optional<std::int32_t> number;  // the error raised, none when the open succeeded
  std::string description;
  std::string trouble;  // why the child gave no answer
};

constexpr uid_t kUnprivileged = 65534;  // nobody

ChildOpen OpenInChild(SerialPortFactory& factory, std::int16_t number) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return {true, {}, {}, "pipe failed"};
  posix::UniqueFd readEnd(ends[0]);
  posix::UniqueFd writeEnd(ends[1]);
  const pid_t pid = ::fork();
  if (pid < 0) return {true, {}, {}, "fork failed"};
  if (pid == 0) {
    // The answer: "S" not staged, "O" opened, or "E<number>\n<description>".
    std::string answer;
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivileged) != 0 ||
                             ::setuid(kUnprivileged) != 0)) {
      answer = "S";
    } else {
      try {
        OpenPort(factory, number);
        answer = "O";
      } catch (const RuntimeError& error) {
        answer = "E" + std::to_string(error.number()) + "\n" + error.description();
      } catch (...) {
        answer = "X";
      }
    }
    const char* at = answer.data();
    std::size_t left = answer.size();
    while (left > 0) {
      const ssize_t written = ::write(writeEnd.get(), at, left);
      if (written <= 0) break;
      at += written;
      left -= static_cast<std::size_t>(written);
    }
    ::_exit(0);  // no exit handlers of the test process in the child
  }
  writeEnd.reset();

  // Never waits longer than this for the child, whatever it does.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  std::string answer;
  bool ended = false;
  while (!ended && std::chrono::steady_clock::now() < deadline) {
    pollfd ready{readEnd.get(), POLLIN, 0};
    if (::poll(&ready, 1, 100) <= 0) continue;
    char buffer[512];
    const ssize_t got = ::read(readEnd.get(), buffer, sizeof buffer);
    if (got > 0) {
      answer.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      ended = true;
    }
  }
  readEnd.reset();
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return {true, {}, {}, "the child did not answer within 10 s"};
    }
    std::this_thread::sleep_for(10ms);
  }

  if (answer == "S") return {false, {}, {}, {}};
  if (answer == "O") return {true, {}, {}, {}};
  if (answer.size() > 1 && answer[0] == 'E') {
    const auto end = answer.find('\n');
    if (end != std::string::npos) {
      return {true, std::stoi(answer.substr(1, end - 1)), answer.substr(end + 1), {}};
    }
  }
  return {true, {}, {}, "the child answered `" + answer + "`"};
}

// The name of the group owning `path`; empty when it is root's or has no name.
std::string GroupOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || info.st_gid == 0) return {};
  const group* entry = ::getgrgid(info.st_gid);
  return entry != nullptr && entry->gr_name != nullptr ? entry->gr_name : std::string();
}

TEST_F(SerialPortTest, PermissionDeniedNamesTheDevicesGroup) {
  const std::string device = pty_.slavePath();
  // Root can give the node a group that has a name (a new pty's may be root's), so that there is
  // one to look for; where it cannot, the node keeps its own group.
  if (::geteuid() == 0) {
    [[maybe_unused]] const int regrouped = ::chown(device.c_str(), 0, kUnprivileged);
  }
  ASSERT_EQ(::chmod(device.c_str(), 0), 0);
  const ChildOpen result = OpenInChild(factory_, 3);
  if (!result.staged) {
    GTEST_SKIP() << "running as root, and cannot become uid " << kUnprivileged;
  }
  ASSERT_TRUE(result.trouble.empty()) << result.trouble;
  ASSERT_TRUE(result.number.has_value()) << "the open succeeded";
  EXPECT_EQ(*result.number, err::kPermissionDenied) << result.description;
  EXPECT_THAT(result.description,
              HasSubstr("COM3 (" + device + "): permission denied (add your user to the "));
  const std::string group = GroupOf(device);
  if (!group.empty()) {
    EXPECT_THAT(result.description, HasSubstr("add your user to the " + group + " group)"));
  }
}

}  // namespace
}  // namespace marqel::platform::linux_
