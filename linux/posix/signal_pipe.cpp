#include "linux/posix/signal_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>

namespace marqel::posix {
namespace {

std::atomic<int> g_writeEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

extern "C" void OnSignal(int number) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(number);
  // A full pipe drops the byte: signals enough are already waiting to be taken.
  [[maybe_unused]] const auto written = ::write(g_writeEnd.load(), &byte, 1);
  errno = saved;
}

}  // namespace

SignalPipe::SignalPipe(std::initializer_list<int> signals, Interrupted calls)
    : pipe_(OpenPipe(O_CLOEXEC | O_NONBLOCK)) {
  previous_.reserve(signals.size());
  int none = -1;
  if (!g_writeEnd.compare_exchange_strong(none, pipe_.writeEnd.get())) {
    throw std::logic_error("a signal pipe is already catching signals");
  }
  struct sigaction action {};
  action.sa_handler = &OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = calls == Interrupted::Restart ? SA_RESTART : 0;
  for (const int number : signals) {
    struct sigaction before {};
    if (::sigaction(number, &action, &before) == 0) previous_.emplace_back(number, before);
  }
}

SignalPipe::~SignalPipe() {
  for (auto at = previous_.rbegin(); at != previous_.rend(); ++at) {
    ::sigaction(at->first, &at->second, nullptr);
  }
  g_writeEnd.store(-1);
}

std::optional<int> SignalPipe::take() {
  unsigned char byte = 0;
  if (::read(pipe_.readEnd.get(), &byte, 1) == 1) return static_cast<int>(byte);
  return std::nullopt;
}

}  // namespace marqel::posix
