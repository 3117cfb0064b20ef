// Keys for the player stand-ins: read as they come, and no longer watched once the input ends (a
// descriptor at its end stays readable, and watching it would spin the loop).
#include "linux/host/key_input.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "linux/posix/posix_handles.h"

namespace marqel::host {
namespace {

TEST(KeyInput, ReadsKeysWhileTheInputIsOpenAndStopsAtItsEnd) {
  auto [readEnd, writeEnd] = posix::OpenPipe(0);

  platform::EventLoop loop;
  bool timedOut = false;
  loop.callAfter(std::chrono::seconds(10), [&] { timedOut = true; });
  std::string keys;
  KeyInput input(loop, readEnd.get(), [&](char key) { keys += key; });

  ASSERT_EQ(::write(writeEnd.get(), " n", 2), 2);
  loop.runUntil([&] { return keys.size() == 2 || timedOut; });
  EXPECT_EQ(keys, " n");

  ASSERT_EQ(::write(writeEnd.get(), "q", 1), 1);
  writeEnd.reset();
  loop.runUntil([&] { return !input.watching() || timedOut; });
  EXPECT_FALSE(timedOut);
  EXPECT_EQ(keys, " nq");
  EXPECT_FALSE(input.watching());
}

}  // namespace
}  // namespace marqel::host
