#pragma once
// Runs marqel-host as a process with its COM1 on a pseudo-terminal, and collects what it wrote on
// the line, on standard output and on standard error. The test holds the line's slave end open,
// so nothing written is lost when the host closes its port.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "tests/platform/pty_pair.h"
#include "vlcd/display.h"

extern char** environ;

namespace marqel::test {

struct HostRun {
  int exitCode = -1;
  std::vector<std::uint8_t> line;
  std::string out;
  std::string err;
};

// The line's master end reads without blocking, so that what is left after the host has ended
// can be drained.
class HostLine {
 public:
  HostLine() {
    const int flags = ::fcntl(pty_.masterFd(), F_GETFL);
    if (flags < 0 || ::fcntl(pty_.masterFd(), F_SETFL, flags | O_NONBLOCK) != 0) {
      throw std::system_error(errno, std::generic_category(), "pty master non-blocking");
    }
    slave_.reset(::open(pty_.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave_) {
      throw std::system_error(errno, std::generic_category(), "open " + pty_.slavePath());
    }
  }

  const std::string& path() const { return pty_.slavePath(); }
  int master() const { return pty_.masterFd(); }
  int slave() const { return slave_.get(); }

 private:
  PtyPair pty_;
  posix::UniqueFd slave_;
};

// A scratch directory with a copy of the module in it (so the settings file beside the module is
// the test's own), removed afterwards.
class ModuleDir {
 public:
  ModuleDir() {
    char pattern[] = "/tmp/marqel-host-test-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    std::filesystem::copy_file(MARQEL_MODULE_PATH, dir_ / "Marqel.so");
  }
  ~ModuleDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  ModuleDir(const ModuleDir&) = delete;
  ModuleDir& operator=(const ModuleDir&) = delete;

  std::filesystem::path module() const { return dir_ / "Marqel.so"; }
  const std::filesystem::path& dir() const { return dir_; }
  std::filesystem::path write(const std::string& name, const std::string& content) const {
    std::ofstream(dir_ / name, std::ios::binary) << content;
    return dir_ / name;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::filesystem::path dir_;
};

// Runs the host with `args` until it exits; `whileRunning` is called once after `after` has
// passed (to send a signal, say).
inline HostRun RunHost(const std::vector<std::string>& args, const HostLine& line,
                       std::chrono::milliseconds after = std::chrono::milliseconds(0),
                       const std::function<void(pid_t)>& whileRunning = {}) {
  posix::Pipe outPipe = posix::OpenPipe(O_CLOEXEC);
  posix::Pipe errPipe = posix::OpenPipe(O_CLOEXEC);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe.writeEnd.get(), 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe.writeEnd.get(), 2);
  std::vector<std::string> argv{MARQEL_HOST_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawn(&pid, MARQEL_HOST_PATH, &actions, nullptr, raw.data(), environ) != 0) {
    throw std::runtime_error("cannot start marqel-host");
  }
  posix_spawn_file_actions_destroy(&actions);
  // Only the host holds the write ends now: their end of file is the host's.
  outPipe.writeEnd.reset();
  errPipe.writeEnd.reset();

  HostRun run;
  const auto started = std::chrono::steady_clock::now();
  const auto deadline = started + std::chrono::seconds(60);
  bool poked = !whileRunning;
  bool outOpen = true;
  bool errOpen = true;
  for (;;) {
    if (!poked && std::chrono::steady_clock::now() - started >= after) {
      whileRunning(pid);
      poked = true;
    }
    std::array<pollfd, 3> fds{{{line.master(), POLLIN, 0},
                               {outOpen ? outPipe.readEnd.get() : -1, POLLIN, 0},
                               {errOpen ? errPipe.readEnd.get() : -1, POLLIN, 0}}};
    ::poll(fds.data(), fds.size(), 20);
    char buffer[4096];
    if ((fds[0].revents & POLLIN) != 0) {
      const ssize_t got = ::read(line.master(), buffer, sizeof buffer);
      if (got > 0) run.line.insert(run.line.end(), buffer, buffer + got);
    }
    for (int i = 1; i <= 2; ++i) {
      if ((fds[static_cast<std::size_t>(i)].revents & (POLLIN | POLLHUP)) == 0) continue;
      const int fd = i == 1 ? outPipe.readEnd.get() : errPipe.readEnd.get();
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got > 0) {
        (i == 1 ? run.out : run.err).append(buffer, static_cast<std::size_t>(got));
      } else {
        (i == 1 ? outOpen : errOpen) = false;
      }
    }
    int status = 0;
    if (!outOpen && !errOpen && ::waitpid(pid, &status, WNOHANG) == pid) {
      run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      run.err += "\n[test: the host did not end within a minute and was killed]";
      break;
    }
  }
  // What is still in the line.
  char buffer[4096];
  ssize_t got = 0;
  while ((got = ::read(line.master(), buffer, sizeof buffer)) > 0) {
    run.line.insert(run.line.end(), buffer, buffer + got);
  }
  return run;
}

// Every different picture the glass showed while the bytes arrived, in order (ASCII stand-ins).
inline std::vector<std::array<std::string, 4>> GlassHistory(const std::vector<std::uint8_t>& line) {
  vlcd::Display display;
  std::vector<std::array<std::string, 4>> history;
  for (const std::uint8_t byte : line) {
    display.feed(byte);
    const auto now = display.glassText();
    if (history.empty() || history.back() != now) history.push_back(now);
  }
  return history;
}

}  // namespace marqel::test
