// The byte format to the interface board and the four display routines.
#include "lcd/lcd_protocol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/runtime_error.h"
#include "plugin/component.h"
#include "tests/fakes/fake_platform.h"
#include "tests/support/wire.h"

namespace marqel {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Bytes = std::vector<std::uint8_t>;
namespace wire = harness::wire;

// A component whose link has started on an open port, with the start-up's bytes set aside.
class LcdRoutines : public ::testing::Test {
 protected:
  void SetUp() override {
    component.loadForm1();
    ASSERT_TRUE(component.MSComm1().portOpen());
    ASSERT_TRUE(component.lcdLink().SendBothNibbles);
    start = fp.recorder.mark();
  }
  Bytes sent() const { return fp.recorder.bytesSince(start); }
  std::string log() const { return fp.recorder.describe(start); }

  fake::FakePlatform fp;
  Component component{fp.platform()};
  std::size_t start = 0;
};

struct ByteCase {
  std::uint8_t value;
  bool isCommand;
  std::uint8_t controller;
  bool bothNibbles;
  Bytes expected;
};

TEST_F(LcdRoutines, ControllerBytesFollowTheBoardFormat) {
  const std::vector<ByteCase> cases = {
      {0x41, false, 2, true, {0x54, 0x51}},  // the letter A
      {0x41, false, 1, true, {0x14, 0x11}},
      {0x20, false, 2, true, {0x52, 0x50}},
      {0xFF, false, 2, true, {0x5F, 0x5F}},
      {0x80, true, 1, true, {0x08, 0x00}},
      {0xC0, true, 1, true, {0x0C, 0x00}},
      {0x80, true, 2, true, {0x48, 0x40}},
      {0xC0, true, 2, true, {0x4C, 0x40}},
      {0x01, true, 2, true, {0x40, 0x41}},
      {0x30, true, 1, false, {0x03}},
      {0x30, true, 2, false, {0x43}},
      {0x41, false, 2, false, {0x54}},
      // Controller 3 is out of range but still forms a byte: it lands in the contrast range.
      {0x41, false, 3, true, {0x94, 0x91}},
      // Controller 0 and 5 give numbers that are no byte: nothing goes out, nothing is raised.
      {0x41, false, 0, true, {}},
      {0x41, false, 5, true, {}},
  };
  for (const ByteCase& c : cases) {
    const auto before = fp.recorder.mark();
    component.lcdLink().SendBothNibbles = c.bothNibbles;
    SendLcdByte(component.lcdLink(), c.value, c.isCommand, c.controller);
    EXPECT_EQ(fp.recorder.bytesSince(before), c.expected)
        << "value " << int(c.value) << " controller " << int(c.controller);
  }
}

TEST_F(LcdRoutines, CommandIsAByteWithRegisterSelectLow) {
  SendLcdCommand(component.lcdLink(), 2, 0xC0);
  EXPECT_THAT(sent(), ElementsAre(0x4C, 0x40));
}

TEST_F(LcdRoutines, ContrastByteCarriesTheValueAndWaitsTwoMilliseconds) {
  SetLcdContrast(component.lcdLink(), 0);
  SetLcdContrast(component.lcdLink(), 64);
  SetLcdContrast(component.lcdLink(), 127);
  EXPECT_EQ(log(), "80 drain wait(2) C0 drain wait(2) FF drain wait(2)");
}

TEST_F(LcdRoutines, ContrastAboveRangeSendsNothingButStillWaits) {
  SetLcdContrast(component.lcdLink(), 200);
  EXPECT_EQ(log(), "drain wait(2)");
}

// The dialog's sender: the byte alone, and its failures reach the caller.
TEST(ContrastByte, GoesOutAloneAndRaisesWhatSetLcdContrastSkips) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  try {
    SendContrastByte(component.lcdLink(), 200);
    FAIL() << "a contrast above 127 is no byte";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), err::kOverflow);
  }
  EXPECT_FALSE(component.form1Loaded()) << "judged before the port is reached";

  component.loadForm1();
  const auto before = fp.recorder.mark();
  SendContrastByte(component.lcdLink(), 30);
  EXPECT_EQ(fp.recorder.describe(before), "9E");
  component.MSComm1().close();
  EXPECT_THROW(SendContrastByte(component.lcdLink(), 30), RuntimeError);
}

TEST_F(LcdRoutines, ContrastIgnoresTheNibbleFlag) {
  component.lcdLink().SendBothNibbles = false;
  SetLcdContrast(component.lcdLink(), 5);
  EXPECT_THAT(sent(), ElementsAre(0x85));
}

TEST_F(LcdRoutines, EmptyTextFillsTheLineWithBlanks) {
  SendLcdText(component.lcdLink(), u"", 1);
  EXPECT_EQ(sent(), wire::text(1, ""));

  const auto before = fp.recorder.mark();
  SendLcdText(component.lcdLink(), u"", 2);
  EXPECT_EQ(fp.recorder.bytesSince(before), wire::text(2, ""));
}

TEST_F(LcdRoutines, TextIsCutOrFilledToExactlyTwentySevenCharacters) {
  struct Case {
    std::u16string text;
    std::string onTheLine;
  };
  const std::vector<Case> cases = {
      {u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0"},  // 30: last 3 never go
      {u"ABCDEFGHIJKLMNOPQRSTUVWXYZ!", "ABCDEFGHIJKLMNOPQRSTUVWXYZ!"},     // exactly 27
      {u"Hi", "Hi                         "},
      // No case change, and control characters go out unchanged.
      {u"a\tb\x01", std::string("a\tb\x01") + std::string(23, ' ')},
  };
  for (const Case& c : cases) {
    const auto before = fp.recorder.mark();
    SendLcdText(component.lcdLink(), c.text, 2);
    EXPECT_EQ(fp.recorder.bytesSince(before), wire::text(2, c.onTheLine)) << c.onTheLine;
  }
}

TEST_F(LcdRoutines, TextUsesTheCodePageAndMarksWhatItCannotHold) {
  SendLcdText(component.lcdLink(), u"\u00e9\u20ac\u0101",
              1);  // é and the euro sign fit; ā does not
  EXPECT_EQ(sent(), wire::text(1, "\xE9\x80?"));
}

TEST(LcdRoutinesDoubleByte, OverflowStopsTheLineAtThatCharacter) {
  fake::FakePlatform fp;
  fake::DoubleByteTestCodePage doubleByte;
  Component component(fp.platform({.codePage = &doubleByte}));
  component.loadForm1();
  const auto before = fp.recorder.mark();
  try {
    SendLcdText(component.lcdLink(), u"AB\u3042CD", 1);
    FAIL() << "a double-byte character must raise";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), err::kOverflow);
  }
  EXPECT_EQ(fp.recorder.bytesSince(before), wire::data(1, 'A') + wire::data(1, 'B'));
}

TEST(LcdRoutinesClosedPort, EveryRoutineReturnsAndNothingGoesOut) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  component.loadForm1();
  component.MSComm1().close();
  const auto before = fp.recorder.mark();
  SendLcdByte(component.lcdLink(), 0x41, false, 1);
  SendLcdCommand(component.lcdLink(), 1, 0x80);
  SendLcdText(component.lcdLink(), u"Nothing to see", 2);
  SetLcdContrast(component.lcdLink(), 10);
  EXPECT_EQ(fp.recorder.describe(before), "wait(2)");
}

TEST_F(LcdRoutines, SecondHalfIsStillTriedAfterTheFirstFails) {
  fp.ports.failNextSends = 1;
  SendLcdByte(component.lcdLink(), 0x41, false, 1);
  EXPECT_THAT(sent(), ElementsAre(0x11)) << "the low half after the lost high half";
}

TEST(LcdRoutinesVanishingDevice, NothingGoesOutUntilThePortIsOpenedAgain) {
  fake::FakePlatform fp;
  Component component(fp.platform());
  component.loadForm1();
  fp.ports.deviceGone = true;
  const auto before = fp.recorder.mark();
  SendLcdText(component.lcdLink(), u"gone", 1);  // must not raise
  EXPECT_TRUE(fp.recorder.bytesSince(before).empty());
  // The next open tries again and the line works.
  component.MSComm1().close();
  component.MSComm1().open();
  SendLcdByte(component.lcdLink(), 0x41, false, 1);
  EXPECT_THAT(fp.recorder.bytesSince(before), ElementsAreArray(Bytes{0x14, 0x11}));
}

}  // namespace
}  // namespace marqel
