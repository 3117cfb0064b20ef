// The desktop message box where no display can be reached.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "linux/platform/fltk/fltk_message_boxes.h"
#include "linux/system/event_loop.h"

namespace marqel::platform::linux_ {
namespace {

TEST(FltkMessageBoxesTest, WithoutADisplayTheMessageGoesToStandardErrorAtOnce) {
  ::unsetenv("DISPLAY");
  EventLoop loop(true);
  FltkMessageBoxes boxes(loop);
  testing::internal::CaptureStderr();
  boxes.show(u"COM1 failed\r\nCheck the cable", MessageIcon::Warning);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[marqel] message (warning): COM1 failed\n    Check the cable\n");
}

}  // namespace
}  // namespace marqel::platform::linux_
