#include "linux/host/signal_watch.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace marqel::host {
namespace {

int g_writeEnd = -1;
struct sigaction g_previousInt {};
struct sigaction g_previousTerm {};

extern "C" void OnSignal(int number) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(number);
  [[maybe_unused]] const auto written = ::write(g_writeEnd, &byte, 1);
  errno = saved;
}

}  // namespace

SignalWatch::SignalWatch(platform::EventLoop& loop, std::function<void(int)> onSignal)
    : loop_(loop), onSignal_(std::move(onSignal)) {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::system_error(errno, std::generic_category(), "signal pipe");
  }
  g_writeEnd = pipe_[1];
  struct sigaction action {};
  action.sa_handler = &OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, &g_previousInt);
  ::sigaction(SIGTERM, &action, &g_previousTerm);
  watch_ = loop_.watchFd(pipe_[0], [this] { drain(); });
}

SignalWatch::~SignalWatch() {
  ::sigaction(SIGINT, &g_previousInt, nullptr);
  ::sigaction(SIGTERM, &g_previousTerm, nullptr);
  loop_.unwatchFd(watch_);
  g_writeEnd = -1;
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void SignalWatch::drain() {
  unsigned char numbers[16];
  ssize_t got = 0;
  while ((got = ::read(pipe_[0], numbers, sizeof numbers)) > 0) {
    for (ssize_t i = 0; i < got; ++i) onSignal_(numbers[i]);
  }
}

}  // namespace marqel::host
