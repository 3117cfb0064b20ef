// Signals as input: each signal is taken in turn from the pipe, system calls restart or fail as
// asked, and the handlers from before come back.
#include "linux/posix/signal_pipe.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <stdexcept>

namespace marqel::posix {
namespace {

struct sigaction HandlerOf(int number) {
  struct sigaction now {};
  ::sigaction(number, nullptr, &now);
  return now;
}

TEST(SignalPipe, TakesEachSignalInTurnAndGivesTheHandlersBack) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction before {};
  ASSERT_EQ(::sigaction(SIGUSR1, &ignore, &before), 0);

  for (const auto calls : {SignalPipe::Interrupted::Restart, SignalPipe::Interrupted::Fail}) {
    {
      SignalPipe signals({SIGUSR1, SIGUSR2}, calls);
      EXPECT_THROW(SignalPipe({SIGUSR2}, calls), std::logic_error);
      EXPECT_EQ((HandlerOf(SIGUSR1).sa_flags & SA_RESTART) != 0,
                calls == SignalPipe::Interrupted::Restart);

      pollfd ready{signals.fd(), POLLIN, 0};
      EXPECT_EQ(::poll(&ready, 1, 0), 0);
      ASSERT_EQ(::raise(SIGUSR2), 0);
      ASSERT_EQ(::raise(SIGUSR1), 0);
      EXPECT_EQ(::poll(&ready, 1, 0), 1);
      EXPECT_EQ(signals.take(), SIGUSR2);
      EXPECT_EQ(signals.take(), SIGUSR1);
      EXPECT_EQ(signals.take(), std::nullopt);
    }
    EXPECT_EQ(HandlerOf(SIGUSR1).sa_handler, SIG_IGN);
    EXPECT_EQ(HandlerOf(SIGUSR2).sa_handler, SIG_DFL);
  }
  ::sigaction(SIGUSR1, &before, nullptr);
}

}  // namespace
}  // namespace marqel::posix
