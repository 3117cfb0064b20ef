#pragma once
// Real processes on a private session bus: a dbus-daemon, MPRIS players (our test player, or a
// real one) and marqel-host instances whose COM1 is a pseudo-terminal read into a virtual LCD.
// A test acts on the players and then waits until a host's glass (or its output) shows the
// result; every wait reads all outputs, so nothing blocks on a full pipe.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "linux/posix/posix_handles.h"
#include "tests/host/host_process.h"
#include "tests/support/display_scenario.h"
#include "vlcd/display.h"

namespace marqel::test {

using std::chrono_literals::operator""ms;
using std::chrono_literals::operator""s;
using harness::GlassText;

// A child process; its standard output and error are collected, its standard input is a pipe the
// test writes to (or /dev/null). Killed and reaped when the object goes.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
        bool withInput) {
    posix::Pipe in;
    if (withInput) in = posix::OpenPipe(O_CLOEXEC);
    posix::Pipe out = posix::OpenPipe(O_CLOEXEC);
    posix::Pipe err = posix::OpenPipe(O_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (withInput) {
      posix_spawn_file_actions_adddup2(&actions, in.readEnd.get(), 0);
    } else {
      posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, out.writeEnd.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, err.writeEnd.get(), 2);
    std::vector<std::string> args = argv;
    std::vector<char*> rawArgs;
    for (auto& arg : args) rawArgs.push_back(arg.data());
    rawArgs.push_back(nullptr);
    std::vector<std::string> env = environment;
    std::vector<char*> rawEnv;
    for (auto& entry : env) rawEnv.push_back(entry.data());
    rawEnv.push_back(nullptr);
    const int failed =
        ::posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, rawArgs.data(), rawEnv.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + args[0]);
    input_ = std::move(in.writeEnd);
    outFd_ = std::move(out.readEnd);
    errFd_ = std::move(err.readEnd);
    for (const int fd : {outFd_.get(), errFd_.get()}) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
  }
  ~Child() {
    if (running()) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  void send(const std::string& line) {
    const std::string text = line + "\n";
    if (::write(input_.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      throw std::runtime_error("cannot write to the child");
    }
  }
  void signal(int number) const { ::kill(pid_, number); }
  bool running() {
    if (exitCode_ < 0 && pid_ > 0) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
    }
    return exitCode_ < 0;
  }
  int exitCode() const { return exitCode_; }

  // Reads what the child wrote so far.
  void collect() {
    char buffer[4096];
    for (const auto& [fd, text] :
         {std::pair{outFd_.get(), &out_}, std::pair{errFd_.get(), &err_}}) {
      ssize_t got = 0;
      while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
        text->append(buffer, static_cast<std::size_t>(got));
      }
    }
  }
  std::vector<int> fds() const { return {outFd_.get(), errFd_.get()}; }
  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

 private:
  pid_t pid_ = -1;
  posix::UniqueFd input_;
  posix::UniqueFd outFd_;
  posix::UniqueFd errFd_;
  int exitCode_ = -1;
  std::string out_;
  std::string err_;
};

// A marqel-host run with its line read into a virtual LCD, picture by picture.
struct LiveHost {
  // `argv` is made once the line exists, so that it can name the line's device.
  LiveHost(const std::function<std::vector<std::string>(const std::string&)>& argv,
           const std::vector<std::string>& environment)
      : process(argv(line.path()), environment, false) {}

  HostLine line;  // made before the process, which opens its slave end
  Child process;
  vlcd::Display display;
  std::vector<GlassText> history;  // every different picture, in order

  GlassText glass() const { return display.glassText(); }
  void collect() {
    process.collect();
    std::uint8_t buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(line.master(), buffer, sizeof buffer)) > 0) {
      for (ssize_t i = 0; i < got; ++i) {
        display.feed(buffer[i]);
        const GlassText now = display.glassText();
        if (history.empty() || history.back() != now) history.push_back(now);
      }
    }
  }
};

// What the glass shows.
inline bool ShowsText(const GlassText& glass, const std::string& artist, const std::string& first,
                      const std::string& second) {
  const GlassText want = harness::Glass(artist, first, second, "");
  return std::equal(want.begin(), want.begin() + 3, glass.begin());
}
inline std::size_t BarCells(const GlassText& glass) {
  return static_cast<std::size_t>(std::count(glass[3].begin(), glass[3].end(), '#'));
}
inline bool ShowsBanner(const GlassText& glass) {
  return glass[3] == harness::Glass("", "", "", "         [ Pause ]")[3];
}
inline bool Blank(const GlassText& glass) {
  return glass == harness::Glass("", "", "", "");
}

// The predicate "the glass shows this text" for LiveScene::waitFor.
inline auto ShowsText(const LiveHost& host, const std::string& artist, const std::string& first,
                      const std::string& second) {
  return [&host, artist, first, second] { return ShowsText(host.glass(), artist, first, second); };
}
// The predicate "the host has reported this line" (one whenever the followed player, its state or
// its text changes).
inline auto Reports(const LiveHost& host, const std::string& line) {
  return [&host, want = "marqel-host: " + line + "\n"] {
    return host.process.out().find(want) != std::string::npos;
  };
}
// Everything the host said and shows, for a failure message.
inline std::string Dump(const LiveHost& host) {
  std::string text = "out:\n" + host.process.out() + "err:\n" + host.process.err() + "glass:\n";
  for (const auto& row : host.glass()) text += "|" + row + "|\n";
  return text;
}

class LiveScene {
 public:
  LiveScene() : busPath_(dir_.dir() / "bus") {}
  ~LiveScene() {
    hosts_.clear();
    players_.clear();
    bus_.reset();
  }
  LiveScene(const LiveScene&) = delete;
  LiveScene& operator=(const LiveScene&) = delete;

  std::string busAddress() const { return "unix:path=" + busPath_.string(); }
  const std::filesystem::path& dir() const { return dir_.dir(); }

  // The environment of every child: this one, on the private bus, without a display server (so
  // message boxes go to standard error).
  std::vector<std::string> environment() const {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string text = *entry;
      if (text.starts_with("DBUS_SESSION_BUS_ADDRESS=") || text.starts_with("DISPLAY=") ||
          text.starts_with("WAYLAND_DISPLAY=")) {
        continue;
      }
      env.push_back(text);
    }
    env.push_back("DBUS_SESSION_BUS_ADDRESS=" + busAddress());
    return env;
  }

  void startBus() {
    std::filesystem::remove(busPath_);
    bus_ = std::make_unique<Child>(
        std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork",
                                 "--address=" + busAddress(), "--print-address=1"},
        environment(), false);
    if (!waitFor([&] { return bus_->out().find('\n') != std::string::npos; })) {
      throw std::runtime_error("dbus-daemon did not start: " + bus_->err());
    }
  }
  void stopBus() {
    bus_->signal(SIGTERM);
    waitFor([&] { return !bus_->running(); });
    bus_.reset();
  }

  // Our test player as org.mpris.MediaPlayer2.NAME, once it owns the name.
  Child& startPlayer(const std::string& name, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> argv{MARQEL_MPRIS_TEST_PLAYER, name};
    argv.insert(argv.end(), extra.begin(), extra.end());
    Child& player = players_.emplace_back(argv, environment(), true);
    if (!waitFor([&] { return player.out().find("ready\n") != std::string::npos; })) {
      throw std::runtime_error("the test player did not start: " + player.err());
    }
    return player;
  }
  // Any other program on the bus (a real player, a bus client).
  Child& startProgram(const std::vector<std::string>& argv) {
    return players_.emplace_back(argv, environment(), false);
  }
  // Runs a program to its end on the private bus; its exit status.
  int run(const std::vector<std::string>& argv) {
    Child& program = startProgram(argv);
    if (!waitFor([&] { return !program.running(); })) return -1;
    return program.exitCode();
  }
  // Sends one command to a test player and waits until it has acted on it.
  void command(Child& player, const std::string& line) {
    const auto acks = [&] {
      std::size_t count = 0;
      for (auto at = player.out().find("ok\n"); at != std::string::npos;
           at = player.out().find("ok\n", at + 1)) {
        ++count;
      }
      return count;
    };
    const std::size_t before = acks();
    player.send(line);
    if (!waitFor([&] { return acks() > before; })) {
      throw std::runtime_error("the test player did not take `" + line + "`: " + player.err());
    }
  }

  // marqel-host run --player PLAYER, its COM1 on a pseudo-terminal.
  LiveHost& startHost(const std::string& player) {
    const std::string module = dir_.module().string();
    return hosts_.emplace_back(
        [&](const std::string& line) {
          return std::vector<std::string>{MARQEL_HOST_PATH, "run",  "--plugin", module,
                                          "--player",       player, "--com",    "1=" + line};
        },
        environment());
  }

  // Reads every output until `done` holds (true) or the time is up (false).
  bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      collect();
      if (done()) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::vector<pollfd> fds;
      for (const auto& host : hosts_) {
        fds.push_back({host.line.master(), POLLIN, 0});
        for (const int fd : host.process.fds()) fds.push_back({fd, POLLIN, 0});
      }
      ::poll(fds.data(), fds.size(), 20);
    }
  }
  // Ends the host as a user would (SIGTERM); its exit status.
  int quit(LiveHost& host) {
    host.process.signal(SIGTERM);
    if (!waitFor([&] { return !host.process.running(); })) return -1;
    return host.process.exitCode();
  }
  // Lets `duration` pass, reading every output meanwhile.
  void pass(std::chrono::milliseconds duration) {
    waitFor([] { return false; }, duration);
  }

 private:
  void collect() {
    if (bus_) bus_->collect();
    for (auto& player : players_) player.collect();
    for (auto& host : hosts_) host.collect();
  }

  ModuleDir dir_;
  std::filesystem::path busPath_;
  std::unique_ptr<Child> bus_;
  std::list<Child> players_;
  std::list<LiveHost> hosts_;
};

}  // namespace marqel::test
