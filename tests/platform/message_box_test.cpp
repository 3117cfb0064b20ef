#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "linux/system/stderr_message_boxes.h"

namespace marqel::platform::linux_ {
namespace {

TEST(StderrMessageBoxesTest, WritesIconAndLines) {
  struct Case {
    std::u16string text;
    MessageIcon icon;
    std::string written;
  };
  const Case cases[] = {
      {u"Saved.", MessageIcon::Information, "[marqel] message (information): Saved.\n"},
      {u"Careful", MessageIcon::Warning, "[marqel] message (warning): Careful\n"},
      {u"Plain", MessageIcon::None, "[marqel] message: Plain\n"},
      {u"COM1 failed\r\nCheck the cable\rOr the port\nBye\r\n", MessageIcon::Warning,
       "[marqel] message (warning): COM1 failed\n    Check the cable\n    Or the port\n    Bye\n"},
      {u"first\r\n\r\nthird", MessageIcon::None, "[marqel] message: first\n\n    third\n"},
      {u"caf\u00E9 \u20AC", MessageIcon::Information,
       "[marqel] message (information): caf\xC3\xA9 \xE2\x82\xAC\n"},
      {u"", MessageIcon::None, "[marqel] message:\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    StderrMessageBoxes boxes(out);
    boxes.show(c.text, c.icon);
    EXPECT_EQ(out.str(), c.written);
  }
}

}  // namespace
}  // namespace marqel::platform::linux_
