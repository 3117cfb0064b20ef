#include "display/refresh_cycle.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "common/runtime_error.h"
#include "settings/form2.h"
#include "tests/fakes/fake_platform.h"
#include "tests/support/display_scenario.h"
#include "tests/support/wire.h"

namespace marqel {
namespace {

using harness::DisplayScenario;
using harness::Glass;
namespace wire = harness::wire;

constexpr std::u16string_view kTrack = u"12. Some Artist - Some Title - Winamp";
constexpr std::string_view kBanner = "         [ Pause ]         ";

std::string Cells(int filled) {
  return std::string(static_cast<std::size_t>(filled), '#');
}

// The player's track and the lines it gives, upper-cased.
wire::Bytes TrackLines() {
  return wire::line(1, "SOME ARTIST") + wire::line(2, "SOME TITLE ") + wire::line(3, "");
}

class RefreshCycle : public ::testing::Test {
 protected:
  void SetUp() override { s.startUp(); }

  // Playing kTrack at 100 s of 200 s (14 cells), drawn and settled.
  void playingSettled() {
    s.player.showsText(kTrack).plays().trackLength(200).positionSeconds(100);
    s.tick();
    ASSERT_EQ(wire::hex(TrackLines() + wire::bar(14)), wire::hex(s.tickBytes()));
  }

  void expectNothingSent() {
    EXPECT_EQ("", wire::hex(s.tickBytes())) << s.describeTicks();
    EXPECT_EQ(0, s.opensSinceMark());
    EXPECT_EQ(0, s.closesSinceMark());
  }

  void expectNoTimingFaults() {
    const auto display = s.replay();
    EXPECT_EQ(0u, display->faultCount());
  }

  DisplayScenario s;
};

// --- the player's life: stopped, play, pause, resume, stop, play again -----------------------

TEST_F(RefreshCycle, StartWhileStoppedDrawsNothingAndKeepsThePortOpen) {
  s.player.showsText(kTrack).stops();
  s.tick(3);
  expectNothingSent();
  EXPECT_TRUE(s.portOpen());
  EXPECT_EQ(Glass("", "", "", ""), s.glassText());
}

TEST_F(RefreshCycle, PlayDrawsUpperCaseTextAndTheBar) {
  playingSettled();
  EXPECT_EQ(Glass("SOME ARTIST", "SOME TITLE", "", Cells(14)), s.glassText());
  const DisplayMemory& memory = s.component.displayMemory;
  EXPECT_EQ(u"Some Artist", memory.lastArtist);
  EXPECT_EQ(u"Some Title ", memory.lastTitle);
  EXPECT_EQ(1, memory.lastState);
  EXPECT_EQ(14, memory.lastBar);
  expectNoTimingFaults();
}

TEST_F(RefreshCycle, IdleTickCostsFiveHostCallsAndFiveQueriesAndSendsNothing) {
  playingSettled();
  const int hostCalls = s.host->windowCalls;
  const int queries = s.windows.queries;
  s.tick();
  expectNothingSent();
  EXPECT_EQ(5, s.host->windowCalls - hostCalls);
  EXPECT_EQ(5, s.windows.queries - queries);
}

TEST_F(RefreshCycle, BarFollowsThePosition) {
  playingSettled();
  s.player.positionSeconds(150);  // 20.25 cells
  s.tick();
  EXPECT_EQ(wire::hex(wire::bar(20)), wire::hex(s.tickBytes()));
  EXPECT_EQ(Glass("SOME ARTIST", "SOME TITLE", "", Cells(20)), s.glassText());
}

TEST_F(RefreshCycle, PauseShowsTheBannerInMixedCaseAndResumeBringsTheBarBack) {
  playingSettled();
  s.player.pauses().positionSeconds(120);
  s.tick();
  EXPECT_EQ(wire::hex(wire::line(4, kBanner)), wire::hex(s.tickBytes()));
  EXPECT_EQ(Glass("SOME ARTIST", "SOME TITLE", "", kBanner), s.glassText());
  EXPECT_EQ(kNoBar, s.component.displayMemory.lastBar);

  s.tick(2);  // paused: neither the banner nor a bar again
  expectNothingSent();

  s.player.plays();
  s.tick();
  EXPECT_EQ(wire::hex(wire::bar(16)), wire::hex(s.tickBytes()));  // 27 / 200 * 120 = 16.2
  EXPECT_EQ(Glass("SOME ARTIST", "SOME TITLE", "", Cells(16)), s.glassText());
  expectNoTimingFaults();
}

TEST_F(RefreshCycle, StopClearsBothControllersThenClosesThePort) {
  playingSettled();
  s.player.stops();
  s.tick();
  // Controller 1 first, then 2, and only then the port is let go.
  EXPECT_EQ(wire::hex(wire::clearBoth()) + " close", s.describeTicks());
  EXPECT_FALSE(s.portOpen());
  EXPECT_EQ(Glass("", "", "", ""), s.glassText());
  EXPECT_EQ(kNoBar, s.component.displayMemory.lastBar);
  EXPECT_EQ(u"Some Artist", s.component.displayMemory.lastArtist);  // text memory kept

  s.player.showsText(u"13. Other - Song - Winamp");
  s.tick(3);  // stopped: nothing, not even the port
  expectNothingSent();
}

TEST_F(RefreshCycle, PlayingAgainReopensAndRedrawsTheSameText) {
  playingSettled();
  s.player.stops();
  s.tick();
  s.player.plays().positionSeconds(0);
  s.tick();
  EXPECT_EQ(1, s.opensSinceMark());
  // The empty bar differs from the no-bar marker, so line 4 is drawn too.
  EXPECT_EQ(wire::hex(TrackLines() + wire::bar(0)), wire::hex(s.tickBytes()));
  EXPECT_EQ(0, s.component.displayMemory.lastBar);
  EXPECT_TRUE(s.portOpen());
  EXPECT_EQ(Glass("SOME ARTIST", "SOME TITLE", "", ""), s.glassText());
  expectNoTimingFaults();
}

// --- text changes -----------------------------------------------------------------------------

TEST_F(RefreshCycle, TitleChangeWhilePausedRedrawsTheTextAndKeepsTheBanner) {
  playingSettled();
  s.player.pauses();
  s.tick();
  s.player.showsText(u"13. Other Band - A Rather Long Title That Needs Two Lines - Winamp");
  s.tick();
  EXPECT_EQ(wire::hex(wire::line(1, "OTHER BAND") + wire::line(2, "A RATHER LONG TITLE THAT") +
                      wire::line(3, "NEEDS TWO LINES ")),
            wire::hex(s.tickBytes()));
  EXPECT_EQ(Glass("OTHER BAND", "A RATHER LONG TITLE THAT", "NEEDS TWO LINES", kBanner),
            s.glassText());
}

TEST_F(RefreshCycle, CaseOnlyChangeRedrawsAllThreeLines) {
  playingSettled();
  s.player.showsText(u"12. SOME artist - Some Title - Winamp");
  s.tick();
  EXPECT_EQ(wire::hex(TrackLines()), wire::hex(s.tickBytes()));
  EXPECT_EQ(u"SOME artist", s.component.displayMemory.lastArtist);
}

TEST_F(RefreshCycle, UpperCasesLettersBeyondAscii) {
  s.player.showsText(u"1. Bj\u00F6rk - J\u00F3ga - Winamp").plays();
  s.tick();
  EXPECT_EQ(wire::hex(wire::line(1, "BJ\xD6RK") + wire::line(2, "J\xD3GA ") + wire::line(3, "")),
            wire::hex(s.tickBytes()));
  EXPECT_EQ(u"Bj\u00F6rk", s.component.displayMemory.lastArtist);
}

TEST_F(RefreshCycle, EmptyTextAtPlayStartDrawsNoText) {
  s.player.showsText(u"").plays();  // no track length either
  s.tick();
  expectNothingSent();
  EXPECT_EQ(1, s.component.displayMemory.lastState);
}

TEST_F(RefreshCycle, EmptyTextAtPauseStartDrawsOnlyTheBanner) {
  s.player.showsText(u"").pauses();
  s.tick();
  EXPECT_EQ(wire::hex(wire::line(4, kBanner)), wire::hex(s.tickBytes()));
}

TEST_F(RefreshCycle, LongLinesAreCutAtTheLineWidth) {
  s.player
      .showsText(u"1. An Artist Whose Name Runs Past The Line - Short " + std::u16string(40, u'z') +
                 u" - Winamp")
      .plays();
  s.tick();
  EXPECT_EQ(Glass("AN ARTIST WHOSE NAME RUNS P", "SHORT", std::string(27, 'Z'), ""), s.glassText());
}

TEST(RefreshCycleText, ACharacterNoByteCanHoldEndsOnlyItsOwnLine) {
  fake::DoubleByteTestCodePage codePage;
  DisplayScenario dbcs(harness::ScenarioOptions{.codePage = &codePage});
  dbcs.startUp();
  dbcs.player.showsText(u"1. AB\u30A2C - Title - Winamp").plays();
  dbcs.tick();
  // Line 1 stops at the kana; lines 2 and 3 still go out.
  EXPECT_EQ(wire::hex(wire::command(1, 0x80) + wire::data(1, 'A') + wire::data(1, 'B') +
                      wire::line(2, "TITLE ") + wire::line(3, "")),
            wire::hex(dbcs.tickBytes()));
  EXPECT_EQ(u"AB\u30A2C", dbcs.component.displayMemory.lastArtist);
}

// --- the bar ----------------------------------------------------------------------------------

struct BarCase {
  const char* what;
  std::int32_t lengthSeconds;
  std::int32_t positionMs;
  std::uint8_t lastBarBefore;
  std::optional<int> drawnCells;  // nullopt: line 4 untouched
  std::uint8_t lastBarAfter;
};

void PrintTo(const BarCase& c, std::ostream* out) {
  *out << c.what;
}

class BarCases : public ::testing::TestWithParam<BarCase> {};

// One playing tick with the text already drawn, so only the bar can go out.
TEST_P(BarCases, DrawsTheBarOnlyWhenItsValueChanges) {
  const BarCase& c = GetParam();
  DisplayScenario s;
  s.startUp();
  s.player.showsText(u"").plays().trackLength(c.lengthSeconds).positionMs(c.positionMs);
  s.component.displayMemory.lastState = 1;
  s.component.displayMemory.lastBar = c.lastBarBefore;
  s.tick();
  const wire::Bytes expected = c.drawnCells ? wire::bar(*c.drawnCells) : wire::Bytes{};
  EXPECT_EQ(wire::hex(expected), wire::hex(s.tickBytes())) << c.what;
  EXPECT_EQ(c.lastBarAfter, s.component.displayMemory.lastBar) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Positions, BarCases,
    ::testing::Values(BarCase{"54 s at 1 s: 0.5 rounds to 0", 54, 1000, 9, 0, 0},
                      BarCase{"54 s at 3 s: 1.5 rounds to 2", 54, 3000, 9, 2, 2},
                      BarCase{"54 s at 5 s: 2.5 rounds to 2", 54, 5000, 9, 2, 2},
                      BarCase{"200 s at 100 s", 200, 100000, 0, 14, 14},
                      BarCase{"same value: nothing", 200, 100000, 14, std::nullopt, 14},
                      BarCase{"past the length: all cells, 28 kept", 240, 250000, 0, 27, 28},
                      BarCase{"1500 ms counts as 2 s", 27, 1500, 0, 2, 2},
                      BarCase{"2500 ms counts as 2 s", 27, 2500, 0, 2, 2},
                      BarCase{"500 ms counts as 0 s", 27, 500, 9, 0, 0},
                      BarCase{"-1 ms counts as 0 s: empty bar drawn", 54, -1, 9, 0, 0},
                      BarCase{"-1 ms with an empty bar shown: nothing", 54, -1, 0, std::nullopt, 0},
                      BarCase{"-500 ms counts as 0 s", 54, -500, 9, 0, 0},
                      BarCase{"-501 ms counts as -1 s: untouched", 54, -501, 9, std::nullopt, 9},
                      BarCase{"-1499 ms counts as -1 s: untouched", 54, -1499, 9, std::nullopt, 9},
                      BarCase{"-1500 ms counts as -2 s: no byte, empty bar", 54, -1500, 9, 0, 0},
                      BarCase{"length 0: never written", 0, 100000, 9, std::nullopt, 9},
                      BarCase{"negative length: never written", -5, 100000, 9, std::nullopt, 9},
                      BarCase{"exactly 255 after a pause equals the marker", 27, 255000, 255,
                              std::nullopt, 255},
                      BarCase{"exactly 255 otherwise: full bar", 27, 255000, 14, 27, 255},
                      BarCase{"254.5 rounds to 254", 54, 509000, 0, 27, 254},
                      BarCase{"255.5 is no byte: empty bar", 54, 511000, 9, 0, 0},
                      BarCase{"largest position", 1, INT_MAX, 9, 0, 0},
                      BarCase{"smallest position", 1, INT_MIN, 9, 0, 0},
                      BarCase{"largest length", INT_MAX, 100000, 9, 0, 0}));

// --- states and failures ----------------------------------------------------------------------

TEST_F(RefreshCycle, AStateThatIsNoByteCountsAsStoppedOnEveryTick) {
  playingSettled();
  s.player.inState(258);
  s.tick();
  EXPECT_EQ(wire::hex(wire::clearBoth()) + " close", s.describeTicks());
  EXPECT_EQ(1, s.component.displayMemory.lastState);  // not remembered
  s.tick(2);  // the clears repeat, but the port is closed now
  expectNothingSent();
  // Back to 1, which is what was remembered: no change of state, so the text is not drawn again;
  // only the bar, which the stop marked as gone, reopens the port.
  s.player.plays();
  s.tick();
  EXPECT_EQ(1, s.opensSinceMark());
  EXPECT_EQ(wire::hex(wire::bar(14)), wire::hex(s.tickBytes()));
}

TEST_F(RefreshCycle, NegativeStateCountsAsStopped) {
  playingSettled();
  s.player.inState(-1);
  s.tick();
  EXPECT_EQ(wire::hex(wire::clearBoth()) + " close", s.describeTicks());
  EXPECT_EQ(1, s.component.displayMemory.lastState);
}

TEST_F(RefreshCycle, AFailingHostReadsAsStoppedWithNoText) {
  playingSettled();
  s.host->failAlways();
  s.tick();
  EXPECT_EQ(wire::hex(wire::clearBoth()) + " close", s.describeTicks());
  EXPECT_EQ(0, s.component.displayMemory.lastState);
  s.tick(2);
  expectNothingSent();
  s.host->recover();
  s.tick();
  EXPECT_EQ(wire::hex(TrackLines() + wire::bar(14)), wire::hex(s.tickBytes()));
}

TEST_F(RefreshCycle, NoHostYetMeansNothingHappens) {
  DisplayScenario early(harness::ScenarioOptions{.hostInitialised = false});
  early.startUp();
  early.player.showsText(kTrack).plays().trackLength(200).positionSeconds(100);
  early.tick(2);
  EXPECT_EQ("", early.describeTicks());
}

struct FailingCallCase {
  const char* what;
  int call;  // 1 text length, 2 text, 3 state, 4 track length, 5 position
  std::string expected;
};

void PrintTo(const FailingCallCase& c, std::ostream* out) {
  *out << c.what;
}

class FailingHostCall : public ::testing::TestWithParam<FailingCallCase> {};

// A host failing one call of an idle playing tick skips just that statement.
TEST_P(FailingHostCall, SkipsOnlyThatStatement) {
  const FailingCallCase& c = GetParam();
  DisplayScenario s;
  s.startUp();
  s.player.showsText(kTrack).plays().trackLength(200).positionSeconds(100);
  s.tick();
  s.host->failCalls({c.call});
  s.tick();
  EXPECT_EQ(c.expected, s.describeTicks()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Calls, FailingHostCall,
    ::testing::Values(
        FailingCallCase{"length query: empty text, three empty lines", 1,
                        wire::hex(wire::line(1, "") + wire::line(2, "") + wire::line(3, ""))},
        FailingCallCase{"text query: the text reads as blanks", 2,
                        wire::hex(wire::line(1, "") + wire::line(2, "") + wire::line(3, ""))},
        FailingCallCase{"state query: stopped", 3, wire::hex(wire::clearBoth()) + " close"},
        FailingCallCase{"length query: no bar", 4, ""},
        FailingCallCase{"position query: 0 s, empty bar", 5, wire::hex(wire::bar(0))}));

TEST_F(RefreshCycle, APortHeldElsewhereLosesTheOutputButNotTheMemory) {
  playingSettled();
  s.player.stops();
  s.tick();
  s.fp.ports.heldByOthers.insert(1);
  s.player.plays().showsText(u"13. Other - Song - Winamp");
  s.tick();
  EXPECT_EQ("", wire::hex(s.tickBytes()));
  EXPECT_EQ(u"Other", s.component.displayMemory.lastArtist);
  s.tick();  // unchanged text: no new attempt
  expectNothingSent();

  s.fp.ports.heldByOthers.clear();
  s.player.positionSeconds(150);
  s.tick();  // the bar changes: the port is tried again before drawing
  EXPECT_EQ(1, s.opensSinceMark());
  EXPECT_EQ(wire::hex(wire::bar(20)), wire::hex(s.tickBytes()));
}

// A port control whose open state cannot be read while `unreadable` is set.
class UnreadablePort final : public platform::SerialPort {
 public:
  UnreadablePort(std::unique_ptr<platform::SerialPort> inner, const bool& unreadable)
      : inner_(std::move(inner)), unreadable_(unreadable) {}
  void setCommPort(std::int16_t port) override { inner_->setCommPort(port); }
  bool portOpen() const override {
    if (unreadable_) throw RuntimeError(err::kPortDeviceGone, "device gone");
    return inner_->portOpen();
  }
  void open() override { inner_->open(); }
  void close() override { inner_->close(); }
  void output(std::uint8_t byte) override { inner_->output(byte); }
  void flush() override { inner_->flush(); }
  void drain() override { inner_->drain(); }

 private:
  std::unique_ptr<platform::SerialPort> inner_;
  const bool& unreadable_;
};

// Not knowing whether the port is open, the tick tries the close when stopping and the open
// before drawing; an open that finds the port already open fails, and the drawing goes on.
TEST(RefreshCyclePort, AnUnreadableOpenStateStillTriesTheCloseAndTheOpen) {
  bool unreadable = false;
  DisplayScenario s(harness::ScenarioOptions{.wrapPort = [&](auto port) {
    return std::make_unique<UnreadablePort>(std::move(port), unreadable);
  }});
  s.startUp();
  s.player.showsText(kTrack).plays().trackLength(200).positionSeconds(100);
  s.tick();
  unreadable = true;

  s.player.positionSeconds(150);
  s.tick();  // open tried on an open port: it fails, the bar still goes out
  EXPECT_EQ(wire::hex(wire::bar(20)), wire::hex(s.tickBytes()));

  s.player.stops();
  s.tick();
  EXPECT_EQ(wire::hex(wire::clearBoth()) + " close", s.describeTicks());

  s.player.plays();
  s.tick();
  EXPECT_EQ(1, s.opensSinceMark());
  EXPECT_EQ(wire::hex(TrackLines() + wire::bar(20)), wire::hex(s.tickBytes()));
}

// --- after "Set & Save" -----------------------------------------------------------------------

TEST_F(RefreshCycle, AfterSetAndSaveThePlayingTextIsRedrawn) {
  playingSettled();
  s.component.form2().SetSave_Click();
  s.tick();
  EXPECT_EQ(wire::hex(TrackLines()), wire::hex(s.tickBytes()));  // bar unchanged: not redrawn
  EXPECT_EQ(Glass("SOME ARTIST", "SOME TITLE", "", Cells(14)), s.glassText());
}

// "Set & Save" opens the port again while the player is stopped; the next tick clears the display
// and lets the port go, as a stop does.
TEST_F(RefreshCycle, AfterSetAndSaveWhileStoppedTheNextTickClearsAndCloses) {
  playingSettled();
  s.player.stops();
  s.tick();
  s.component.form2().SetSave_Click();
  ASSERT_TRUE(s.portOpen());

  s.tick();
  EXPECT_EQ(wire::hex(wire::clearBoth()) + " close", s.describeTicks());
  EXPECT_FALSE(s.portOpen());
  EXPECT_EQ(Glass("", "", "", ""), s.glassText());

  s.tick(2);
  expectNothingSent();
}

}  // namespace
}  // namespace marqel
