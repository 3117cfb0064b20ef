// The conversions between the component's UTF-16 texts and UTF-8.
#include "common/utf.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace marqel {
namespace {

struct Pair {
  std::string utf8;
  std::u16string utf16;
};

TEST(Utf, ValidTextRoundTripsAtEverySequenceLength) {
  const std::vector<Pair> cases = {
      {"", u""},
      {"plain ASCII \x7F", u"plain ASCII \x7F"},
      {"\xC2\x80 \xC3\xA9 \xDF\xBF", u"\u0080 \u00E9 \u07FF"},
      {"\xE0\xA0\x80 \xE2\x82\xAC \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBF",
       u"\u0800 \u20AC \uD7FF \uE000 \uFFFF"},
      // Beyond the BMP: surrogate pairs, up to the last code point.
      {"\xF0\x90\x80\x80 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", u"\U00010000 \U0001F600 \U0010FFFF"},
  };
  for (const Pair& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
  }
}

// Each damaged stretch becomes U+FFFD, and decoding goes on with the first byte that does not
// belong to it, so the text around the damage survives.
TEST(Utf, InvalidUtf8IsReplacedAndTheRestKept) {
  const std::vector<Pair> cases = {
      // Bytes that start nothing.
      {"a\x80"
       "b",
       u"a\uFFFDb"},
      {"a\xBF\xF5\xFF"
       "b",
       u"a\uFFFD\uFFFD\uFFFDb"},
      // Overlong forms, encoded surrogates and values past U+10FFFF: every byte is replaced.
      {"a\xC0\xAF"
       "b",
       u"a\uFFFD\uFFFDb"},
      {"a\xE0\x80\xAF"
       "b",
       u"a\uFFFD\uFFFD\uFFFDb"},
      {"a\xED\xA0\x80"
       "b",
       u"a\uFFFD\uFFFD\uFFFDb"},
      {"a\xF4\x90\x80\x80"
       "b",
       u"a\uFFFD\uFFFD\uFFFD\uFFFDb"},
      // Cut off in the middle: the started sequence is one U+FFFD, whatever follows is read.
      {"ab\xF0"
       "xy",
       u"ab\uFFFDxy"},
      {"\xE2"
       "x",
       u"\uFFFDx"},
      {"\xE2\x82"
       "x",
       u"\uFFFDx"},
      {"\xF0\x9F\x98"
       "A",
       u"\uFFFDA"},
      {"\xE2\x82\xE2\x82\xAC", u"\uFFFD\u20AC"},
      {"\xC3\xC3\xA9", u"\uFFFD\u00E9"},
      // Cut off by the end of the text.
      {"ab\xC3", u"ab\uFFFD"},
      {"ab\xE2\x82", u"ab\uFFFD"},
      {"\xF0\x9F\x98", u"\uFFFD"},
  };
  for (const Pair& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << ::testing::PrintToString(c.utf8);
  }
}

// A surrogate without its partner has no UTF-8 form: it becomes U+FFFD, which reads back as
// such, and the characters around it are kept.
TEST(Utf, UnpairedSurrogatesBecomeReplacementCharacters) {
  const std::string mark = "\xEF\xBF\xBD";
  const std::vector<Pair> cases = {
      {"a" + mark + "b", std::u16string(u"a") + u"\xD800" + u"b"},
      {"a" + mark + "b", std::u16string(u"a") + u"\xDFFF" + u"b"},
      {mark + mark, std::u16string(u"\xDC00") + u"\xD800"},  // the wrong order
      {mark, u"\xD83D"},                                     // a high half at the end
      {mark + "\xF0\x9F\x98\x80", std::u16string(u"\xD83D") + u"\U0001F600"},
  };
  for (const Pair& c : cases) {
    const std::string utf8 = Utf16ToUtf8(c.utf16);
    EXPECT_EQ(utf8, c.utf8) << ::testing::PrintToString(c.utf8);
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(utf8)), utf8);
  }
}

TEST(DecimalText, PlainDecimalWithoutBlanksOrLeadingZeros) {
  EXPECT_EQ(DecimalText(0), u"0");
  EXPECT_EQ(DecimalText(42), u"42");
  EXPECT_EQ(DecimalText(-7), u"-7");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::min()), u"-9223372036854775808");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::max()), u"9223372036854775807");
}

}  // namespace
}  // namespace marqel
