#include "display/title_parsing.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

#include "common/utf.h"
#include "tests/fakes/fake_platform.h"
#include "tests/support/display_scenario.h"

namespace marqel {
namespace {

using namespace std::string_literals;
using harness::DisplayScenario;
using harness::ScenarioOptions;

std::string Narrow(std::u16string_view text) {
  return Utf16ToUtf8(text);
}

std::u16string Letters(std::size_t count, char16_t letter = u'x') {
  return std::u16string(count, letter);
}

// --- SplitTitle and WrapTitle together: the worked layouts ------------------------------------

struct LayoutCase {
  std::u16string windowText;
  std::u16string artist;
  std::u16string title;
  std::u16string firstLine;
  std::u16string secondLine;
};

void PrintTo(const LayoutCase& c, std::ostream* out) {
  *out << Narrow(c.windowText);
}

class TitleLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(TitleLayout, SplitsAndWrapsTheWindowText) {
  const LayoutCase& c = GetParam();
  const ArtistAndTitle split = SplitTitle(c.windowText);
  EXPECT_EQ(Narrow(c.artist), Narrow(split.artist));
  EXPECT_EQ(Narrow(c.title), Narrow(split.title));
  const TitleLines lines = WrapTitle(split.title);
  EXPECT_EQ(Narrow(c.firstLine), Narrow(lines.firstLine));
  EXPECT_EQ(Narrow(c.secondLine), Narrow(lines.secondLine));
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, TitleLayout,
    ::testing::Values(LayoutCase{u"12. Some Artist - Some Title - Winamp", u"Some Artist",
                                 u"Some Title ", u"Some Title ", u""},
                      LayoutCase{u"7. Artist - A Rather Long Title That Needs Two Lines - Winamp",
                                 u"Artist", u"A Rather Long Title That Needs Two Lines ",
                                 u"A Rather Long Title That", u"Needs Two Lines "},
                      LayoutCase{u"3. Band - Supercalifragilisticexpialidocious Song - Winamp",
                                 u"Band", u"Supercalifragilisticexpialidocious Song ",
                                 u"Supercalifragilisticexpialidocious", u"Song "},
                      LayoutCase{u"1. A - B - C - Winamp", u"A", u"B - C ", u"B - C ", u""},
                      LayoutCase{u"9. Solo - Winamp", u"", u"Solo", u"Solo", u""},
                      LayoutCase{u"Artist - Title - Winamp", u"", u"- Title", u"- Title", u""}));

// --- SplitTitle alone -------------------------------------------------------------------------

struct SplitCase {
  const char* what;
  std::u16string text;
  std::u16string artist;
  std::u16string title;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
  *out << c.what;
}

class SplitTitleCases : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTitleCases, GivesArtistAndTitle) {
  const SplitCase& c = GetParam();
  const ArtistAndTitle split = SplitTitle(c.text);
  EXPECT_EQ(Narrow(c.artist), Narrow(split.artist)) << c.what;
  EXPECT_EQ(Narrow(c.title), Narrow(split.title)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, SplitTitleCases,
    ::testing::Values(
        SplitCase{"empty text", u"", u"", u""},
        SplitCase{"no blank at all stays whole", u"Untitled", u"", u"Untitled"},
        SplitCase{"only a trailing blank", u"Solo ", u"", u""},
        SplitCase{"suffix twice: cut at the first", u"4. A - B - Winamp - Winamp", u"A", u"B "},
        SplitCase{"suffix right after the first blank", u"1.  - Winamp", u"", u""},
        SplitCase{"suffix in other case is kept", u"2. A - B - winamp", u"A", u"B - winamp "},
        SplitCase{"separator right at the start", u"5.  - Title - Winamp", u"", u"Title "},
        SplitCase{"suffix cut before the split", u"6. A - Winamp - B", u"", u"A"},
        SplitCase{"a separator needs both blanks", u"7. A -B - Winamp", u"", u"A -B"},
        SplitCase{"characters beyond ASCII", u"8. Bj\u00F6rk - J\u00F3ga - Winamp", u"Bj\u00F6rk",
                  u"J\u00F3ga "},
        SplitCase{"a zero and blanks after a shrunk text go with the suffix",
                  u"9. A - B - Winamp\u0000   "s, u"A", u"B "}));

// --- WrapTitle alone --------------------------------------------------------------------------

struct WrapCase {
  const char* what;
  std::u16string title;
  std::u16string firstLine;
  std::u16string secondLine;
};

void PrintTo(const WrapCase& c, std::ostream* out) {
  *out << c.what;
}

class WrapTitleCases : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapTitleCases, BreaksIntoTwoLines) {
  const WrapCase& c = GetParam();
  const TitleLines lines = WrapTitle(c.title);
  EXPECT_EQ(Narrow(c.firstLine), Narrow(lines.firstLine)) << c.what;
  EXPECT_EQ(Narrow(c.secondLine), Narrow(lines.secondLine)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, WrapTitleCases,
    ::testing::Values(
        WrapCase{"empty", u"", u"", u""},
        WrapCase{"27 characters with blanks are never broken", u"Some Title Of 27 Characters",
                 u"Some Title Of 27 Characters", u""},
        WrapCase{"27 characters and the appended blank", Letters(27) + u" ", Letters(27), u""},
        WrapCase{"28 characters without a blank", Letters(28), Letters(28), u""},
        WrapCase{"only blank in 1..28 at position 1", u" " + Letters(30), u"", Letters(30)},
        WrapCase{"the last blank up to 28 wins", Letters(9) + u" " + Letters(17) + u" tail",
                 Letters(9) + u" " + Letters(17), u"tail"},
        WrapCase{"no blank up to 28: break at the first one after", Letters(30) + u" tail and more",
                 Letters(30), u"tail and more"},
        WrapCase{"a second line longer than a line stays whole", u"A " + Letters(40), u"A",
                 Letters(40)},
        WrapCase{"first blank after 28 at position 255 breaks", Letters(254) + u" end",
                 Letters(254), u"end"},
        WrapCase{"first blank after 28 beyond position 255 does not", Letters(255) + u" end",
                 Letters(255) + u" end", u""}));

// --- ReadPlayerTitle --------------------------------------------------------------------------

TEST(ReadPlayerTitle, RoundTripsTheWindowTextThroughTheCodePage) {
  DisplayScenario s;
  const std::u16string text = u"3. Bj\u00F6rk - J\u00F3ga \u00BD - Winamp";
  s.player.showsText(text);
  EXPECT_EQ(Narrow(text), Narrow(ReadPlayerTitle(s.component.player())));
  EXPECT_EQ(2, s.host->windowCalls);  // the handle is asked for anew for each query
}

TEST(ReadPlayerTitle, RoundTripsADoubleByteText) {
  fake::DoubleByteTestCodePage codePage;
  DisplayScenario s(ScenarioOptions{.codePage = &codePage});
  const std::u16string text = u"1. \u30A2\u30A4 - \u30AB - Winamp";
  s.player.showsText(text);
  ASSERT_GT(s.player.state().text.size(), text.size());  // the length counts bytes
  EXPECT_EQ(Narrow(text), Narrow(ReadPlayerTitle(s.component.player())));
}

TEST(ReadPlayerTitle, EmptyWhenTheWindowHasNoText) {
  DisplayScenario s;
  s.player.showsText(u"");
  EXPECT_EQ(u"", ReadPlayerTitle(s.component.player()));
}

TEST(ReadPlayerTitle, EmptyWhenTheWindowIsGone) {
  DisplayScenario s;
  s.player.showsText(u"1. A - B - Winamp");
  s.player.closesWindow();
  EXPECT_EQ(u"", ReadPlayerTitle(s.component.player()));
}

TEST(ReadPlayerTitle, EmptyWithoutAHost) {
  DisplayScenario s(ScenarioOptions{.hostInitialised = false});
  s.player.showsText(u"1. A - B - Winamp");
  EXPECT_EQ(u"", ReadPlayerTitle(s.component.player()));
}

TEST(ReadPlayerTitle, EmptyWhenTheHostFailsTheLengthQuery) {
  DisplayScenario s;
  s.player.showsText(u"1. A - B - Winamp");
  s.host->failCalls({1});
  EXPECT_EQ(u"", ReadPlayerTitle(s.component.player()));
}

TEST(ReadPlayerTitle, BlanksWhenTheHostFailsOnlyTheTextQuery) {
  DisplayScenario s;
  s.player.showsText(u"1. A - B - Winamp");  // 17 characters: n = 18
  s.host->failCalls({2});
  EXPECT_EQ(std::u16string(17, u' '), ReadPlayerTitle(s.component.player()));
}

TEST(ReadPlayerTitle, ReadsOnlyAsFarAsTheLengthWhenTheTextGrows) {
  DisplayScenario s;
  s.player.showsText(u"1. A - B - Winamp").changesTextAfterLengthQuery(u"1. A - Bigger - Winamp");
  EXPECT_EQ(u"1. A - Bigger - W", ReadPlayerTitle(s.component.player()));
}

TEST(ReadPlayerTitle, KeepsAZeroAndBlanksWhenTheTextShrinks) {
  DisplayScenario s;
  s.player.showsText(u"1. A - Bigger - Winamp").changesTextAfterLengthQuery(u"1. A - B - Winamp");
  const std::u16string read = ReadPlayerTitle(s.component.player());
  EXPECT_EQ(std::u16string(u"1. A - B - Winamp") + u'\0' + u"    ", read);
  // The suffix cut removes that tail again.
  EXPECT_EQ(u"B ", SplitTitle(read).title);
}

struct LengthAnswerCase {
  std::int32_t reported;
  std::u16string expected;
};

void PrintTo(const LengthAnswerCase& c, std::ostream* out) {
  *out << "length " << c.reported;
}

class ReadPlayerTitleWildLength : public ::testing::TestWithParam<LengthAnswerCase> {};

TEST_P(ReadPlayerTitleWildLength, NeverReadsPastItsBuffer) {
  DisplayScenario s;
  s.player.showsText(u"1. A - B - Winamp").reportsTextLength(GetParam().reported);
  EXPECT_EQ(Narrow(GetParam().expected), Narrow(ReadPlayerTitle(s.component.player())));
  EXPECT_LE(s.windows.largestTextBuffer, kMaxWindowTextRead + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ReadPlayerTitleWildLength,
    ::testing::Values(LengthAnswerCase{-1, u""}, LengthAnswerCase{-5, u""},
                      LengthAnswerCase{INT_MIN, u""}, LengthAnswerCase{0, u""},
                      LengthAnswerCase{4, u"1. A"},
                      LengthAnswerCase{20, std::u16string(u"1. A - B - Winamp") + u'\0' + u"  "}));

TEST(ReadPlayerTitle, CapsAnAbsurdLengthAnswer) {
  DisplayScenario s;
  s.player.showsText(u"1. A - B - Winamp").reportsTextLength(INT_MAX);
  const std::u16string read = ReadPlayerTitle(s.component.player());
  EXPECT_EQ(kMaxWindowTextRead + 1, s.windows.largestTextBuffer);
  ASSERT_EQ(static_cast<std::size_t>(kMaxWindowTextRead), read.size());
  EXPECT_EQ(u"B ", SplitTitle(read).title);
}

TEST(ReadPlayerTitle, ReadsAHugeTextOnlyUpToTheCap) {
  DisplayScenario s;
  s.player.showsText(u"1. A - " + Letters(100000) + u" - Winamp");
  const std::u16string read = ReadPlayerTitle(s.component.player());
  EXPECT_EQ(static_cast<std::size_t>(kMaxWindowTextRead), read.size());
  EXPECT_EQ(u"1. A - xxx", read.substr(0, 10));
}

}  // namespace
}  // namespace marqel
