// What MPRIS metadata becomes: the window text the plug-in reads, and what the display then shows;
// the answers' units; which player the window follows.
#include "linux/players/mpris_model.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <stdexcept>

#include "common/utf.h"
#include "tests/support/display_scenario.h"

namespace marqel::players::mpris {
namespace {

using harness::Glass;

struct TextCase {
  const char* what;
  Track track;
  std::optional<std::int64_t> listPosition;
  std::u16string text;
  std::array<std::string, 3> lines;  // lines 1 to 3 of the display
};

void PrintTo(const TextCase& c, std::ostream* out) {
  *out << c.what;
}

Track Tagged(std::vector<std::string> artists, std::string title) {
  Track track;
  track.artists = std::move(artists);
  track.title = std::move(title);
  return track;
}

Track Numbered(std::int64_t number, Track track) {
  track.trackNumber = number;
  return track;
}

Track FromUrl(std::vector<std::string> artists, std::string url) {
  Track track = Tagged(std::move(artists), "");
  track.url = std::move(url);
  return track;
}

const std::string kLongTitle = "A Title That Runs On Well Past The Two Lines Of The Display At All";

const TextCase kTextCases[] = {
    {"track number",
     Numbered(12, Tagged({"Some Artist"}, "Some Title")),
     4,
     u"12. Some Artist - Some Title - Winamp",
     {"SOME ARTIST", "SOME TITLE", ""}},
    {"place in the track list", Tagged({"A"}, "B"), 4, u"4. A - B - Winamp", {"A", "B", ""}},
    {"no number at all", Tagged({"A"}, "B"), std::nullopt, u"1. A - B - Winamp", {"A", "B", ""}},
    {"artists joined",
     Tagged({"Simon", "", "Garfunkel"}, "Cecilia"),
     std::nullopt,
     u"1. Simon, Garfunkel - Cecilia - Winamp",
     {"SIMON, GARFUNKEL", "CECILIA", ""}},
    {"no artist, a separator in the title",
     Tagged({}, "Radio - Song"),
     std::nullopt,
     u"1.  - Radio - Song - Winamp",
     {"", "RADIO - SONG", ""}},
    {"a separator in the artist",
     Tagged({"AC - DC", "X -"}, "T"),
     std::nullopt,
     u"1. AC\u00A0- DC, X\u00A0- - T - Winamp",
     {"AC - DC, X -", "T", ""}},
    {"the player's name in the title",
     Tagged({"A"}, "Best - Winamp Skins"),
     std::nullopt,
     u"1. A - Best\u00A0- Winamp Skins - Winamp",
     {"A", "BEST - WINAMP SKINS", ""}},
    {"a title that starts with the player's name",
     Tagged({}, "Winamp Blues"),
     std::nullopt,
     u"1.  - \u00A0Winamp Blues - Winamp",
     {"", " WINAMP BLUES", ""}},
    {"no title: the file name",
     FromUrl({"A"}, "file:///music/Some%20File.flac?x=1"),
     std::nullopt,
     u"1. A - Some File - Winamp",
     {"A", "SOME FILE", ""}},
    {"no title, no file name",
     FromUrl({"A"}, ""),
     std::nullopt,
     u"1. A -  - Winamp",
     {"A", "", ""}},
    {"nothing at all", Track{}, std::nullopt, u"1.  -  - Winamp", {"", "", ""}},
    {"blanks, controls",
     Tagged({"  Padded "}, "Line\none\t"),
     std::nullopt,
     u"1. Padded - Line one - Winamp",
     {"PADDED", "LINE ONE", ""}},
    {"long texts",
     Tagged({"An Artist Whose Name Runs Past The Line"}, kLongTitle),
     std::nullopt,
     u"1. An Artist Whose Name Runs Past The Line - " + Utf8ToUtf16(kLongTitle) + u" - Winamp",
     {"AN ARTIST WHOSE NAME RUNS P", "A TITLE THAT RUNS ON WELL", "PAST THE TWO LINES OF THE D"}},
    {"beyond the code page",
     Tagged({"Пётр Чайковский"}, "夜に駆ける \U0001F3B5 Café"),
     std::nullopt,
     u"1. Пётр Чайковский - 夜に駆ける \uFFFD Café - Winamp",
     {"???? ??????????", "????? ? CAF?", ""}},
};

class WindowTextCases : public ::testing::TestWithParam<TextCase> {};

TEST_P(WindowTextCases, ReadsBackWholeOnTheDisplay) {
  const TextCase& c = GetParam();
  const std::u16string text = WindowText(c.track, c.listPosition);
  EXPECT_EQ(Utf16ToUtf8(c.text), Utf16ToUtf8(text));

  harness::DisplayScenario s;
  s.startUp();
  s.player.showsText(text).plays();
  s.tick();
  EXPECT_EQ(Glass(c.lines[0], c.lines[1], c.lines[2], ""), s.glassText());
}

INSTANTIATE_TEST_SUITE_P(Metadata, WindowTextCases, ::testing::ValuesIn(kTextCases),
                         [](const ::testing::TestParamInfo<TextCase>& param) {
                           std::string name;
                           for (const char ch : std::string(param.param.what)) {
                             if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
                           }
                           return name;
                         });

TEST(MprisAnswers, StateLengthAndPositionInTheQueriesUnits) {
  EXPECT_EQ(1, StateNumber(StatusFromText("Playing")));
  EXPECT_EQ(3, StateNumber(StatusFromText("Paused")));
  EXPECT_EQ(0, StateNumber(StatusFromText("Stopped")));
  EXPECT_EQ(0, StateNumber(StatusFromText("playing")));

  EXPECT_EQ(0, LengthSeconds(std::nullopt));
  EXPECT_EQ(0, LengthSeconds(0));
  EXPECT_EQ(1, LengthSeconds(1));
  EXPECT_EQ(200, LengthSeconds(200'400'000));
  EXPECT_EQ(201, LengthSeconds(200'500'000));
  EXPECT_EQ(INT32_MAX, LengthSeconds(INT64_MAX));

  EXPECT_EQ(54'321, PositionMs(54'321'999));
  EXPECT_EQ(0, PositionMs(-5'000));
  EXPECT_EQ(INT32_MAX, PositionMs(INT64_MAX));
}

TEST(MprisNames, PriorityListsAndInstances) {
  EXPECT_EQ((std::vector<std::string>{}), ParsePlayerNames(""));
  EXPECT_EQ((std::vector<std::string>{"vlc", "mpv", "chromium.instance42"}),
            ParsePlayerNames("vlc,mpv,chromium.instance42"));
  for (const char* bad : {",", "vlc,", "vlc,,mpv", "org mpris", "2vlc", "vlc.", "a/b"}) {
    EXPECT_THROW(ParsePlayerNames(bad), std::invalid_argument) << bad;
  }

  EXPECT_TRUE(NameMatches("org.mpris.MediaPlayer2.vlc", "vlc"));
  EXPECT_TRUE(NameMatches("org.mpris.MediaPlayer2.vlc.instance7212", "vlc"));
  EXPECT_TRUE(NameMatches("org.mpris.MediaPlayer2.firefox.instance_1_23", "firefox"));
  EXPECT_FALSE(NameMatches("org.mpris.MediaPlayer2.vlcx", "vlc"));
  EXPECT_FALSE(NameMatches("org.mpris.MediaPlayer2.vlc.other", "vlc"));
  EXPECT_FALSE(NameMatches("org.example.vlc", "vlc"));
}

TEST(MprisChoice, PriorityThenPlayingThenMostRecentlyPlayedThenFirstFound) {
  using S = Status;
  struct Row {
    const char* what;
    std::vector<Candidate> players;
    std::vector<std::string> names;
    std::optional<std::size_t> chosen;
  };
  const std::string vlc = "org.mpris.MediaPlayer2.vlc";
  const std::string mpv = "org.mpris.MediaPlayer2.mpv";
  const std::string mpv2 = "org.mpris.MediaPlayer2.mpv.instance2";
  const Row rows[] = {
      {"none there", {}, {}, std::nullopt},
      {"the playing one", {{vlc, S::Paused, 50}, {mpv, S::Playing, 10}}, {}, 1},
      {"the one that played last", {{vlc, S::Paused, 50}, {mpv, S::Stopped, 60}}, {}, 1},
      {"the first found", {{vlc, S::Stopped, -1}, {mpv, S::Stopped, -1}}, {}, 0},
      {"the first name present wins over playing",
       {{vlc, S::Playing, 90}, {mpv, S::Paused, 10}},
       {"mpv", "vlc"},
       1},
      {"a later name when the first is absent", {{vlc, S::Stopped, -1}}, {"mpv", "vlc"}, 0},
      {"among instances of one name, the playing one",
       {{mpv, S::Paused, 80}, {mpv2, S::Playing, 20}, {vlc, S::Playing, 99}},
       {"mpv"},
       1},
      {"no name present", {{vlc, S::Playing, 1}}, {"mpv"}, std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.chosen, ChoosePlayer(row.players, row.names)) << row.what;
  }
}

}  // namespace
}  // namespace marqel::players::mpris
