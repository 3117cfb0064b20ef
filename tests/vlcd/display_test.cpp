// The interface board's decoding and routing, the link start-up, and what the glass shows.
#include "vlcd/display.h"

#include <gtest/gtest.h>

#include "link_bytes.h"
#include "tests/support/wire.h"

namespace marqel::vlcd {
namespace {

using harness::wire::line;
using linktest::linkStartup;
using linktest::WaitsFrom;

void feed(Display& display, const std::vector<std::uint8_t>& bytes) {
  display.feed(bytes);
}

Display startedDisplay() {
  Display display;
  display.feed(runLine(linkStartup(WaitsFrom::kLineIdle)));
  return display;
}

TEST(BoardDecoding, RoutesEachKindOfByte) {
  struct Case {
    std::uint8_t byte;
    std::optional<int> contrast;
    std::uint64_t stray;
    std::uint8_t ddram1, ddram2;  // DDRAM 0x00 of each controller (a data write lands there)
    Controller::Width width1, width2;
  };
  constexpr auto k8 = Controller::Width::kEightBit;
  constexpr auto k4 = Controller::Width::kFourBit;
  const Case cases[] = {
      {0x80, 0, 0, ' ', ' ', k8, k8},    {0xFF, 127, 0, ' ', ' ', k8, k8},
      {0xC5, 0x45, 0, ' ', ' ', k8, k8}, {0x20, {}, 1, ' ', ' ', k8, k8},
      {0x3F, {}, 1, ' ', ' ', k8, k8},   {0x7A, {}, 1, ' ', ' ', k8, k8},
      {0x1A, {}, 0, 0xA0, ' ', k8, k8},  {0x5A, {}, 0, ' ', 0xA0, k8, k8},
      {0x02, {}, 0, ' ', ' ', k4, k8},   {0x42, {}, 0, ' ', ' ', k8, k4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "byte 0x" << std::hex << int{c.byte});
    Display display;
    display.feed(c.byte);
    EXPECT_EQ(display.contrast(), c.contrast);
    EXPECT_EQ(display.strayBytes(), c.stray);
    EXPECT_EQ(display.controller(1).ddram()[0], c.ddram1);
    EXPECT_EQ(display.controller(2).ddram()[0], c.ddram2);
    EXPECT_EQ(display.controller(1).width(), c.width1);
    EXPECT_EQ(display.controller(2).width(), c.width2);
    EXPECT_EQ(display.byteCount(), 1u);
  }
}

void expectReady(const Controller& chip) {
  EXPECT_EQ(chip.width(), Controller::Width::kFourBit);
  EXPECT_FALSE(chip.awaitingLowNibble());
  EXPECT_EQ(chip.lines(), 2);
  EXPECT_EQ(chip.font(), Controller::Font::k5x8);
  EXPECT_TRUE(chip.displayOn());
  EXPECT_FALSE(chip.cursorOn());
  EXPECT_FALSE(chip.blinkOn());
  EXPECT_TRUE(chip.incrementing());
  EXPECT_FALSE(chip.shiftsOnWrite());
  EXPECT_EQ(chip.addressCounter(), 0);
  EXPECT_FALSE(chip.addressingCgram());
  EXPECT_EQ(chip.displayShift(), 0);
  for (std::uint8_t code : chip.ddram()) ASSERT_EQ(code, ' ');
}

const std::array<std::uint8_t, 8> kTriangle = {0x08, 0x0C, 0x0E, 0x0F, 0x0E, 0x0C, 0x08, 0x00};
const std::array<std::uint8_t, 8> kBars = {0x00, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x00, 0x00};

TEST(LinkStartup, LeavesBothControllersReadyAndTheGlyphsInControllerOne) {
  const Display display = startedDisplay();
  expectReady(display.controller(1));
  expectReady(display.controller(2));
  EXPECT_EQ(display.controller(1).glyph(1), kTriangle);
  EXPECT_EQ(display.controller(1).glyph(3), kBars);
  EXPECT_FALSE(display.controller(2).glyphWritten(1));
  EXPECT_EQ(display.contrast(), 0);
  EXPECT_EQ(display.byteCount(), 105u);
  EXPECT_EQ(display.faultCount(), 0u);
  for (const std::string& row : display.glassText()) EXPECT_EQ(row, std::string(27, ' '));
}

// A controller left in any state, including halfway through a byte in 4-bit mode, is back to a
// known state after its start-up: the three 0x3 writes resynchronise whatever the nibble phase.
TEST(LinkStartup, RecoversFromAnyHalfByte) {
  struct Lead {
    std::vector<std::uint8_t> bytes;
    const char* what;
  };
  std::vector<Lead> leads = {{{}, "nibble phase in step"}, {{0x03, 0x03}, "8-bit mode"}};
  for (std::uint8_t nibble = 0; nibble < 16; ++nibble) {
    leads.push_back({{nibble}, "pending instruction nibble"});
    leads.push_back({{static_cast<std::uint8_t>(0x10 | nibble)}, "pending data nibble"});
  }
  for (const Lead& lead : leads) {
    SCOPED_TRACE(::testing::Message()
                 << lead.what << " " << (lead.bytes.empty() ? 0 : int{lead.bytes[0]}));
    Display display = startedDisplay();
    feed(display, line(1, "garbage to clear"));
    feed(display, lead.bytes);
    const std::size_t faultsBefore = display.faultCount();
    const Nanos later = display.lastArrival() + std::chrono::milliseconds(20);
    for (const TimedByte& byte : runLine(linkStartup(WaitsFrom::kLineIdle))) {
      display.feed(byte.value, later + byte.at);
    }
    expectReady(display.controller(1));
    EXPECT_EQ(display.controller(1).glyph(1), kTriangle);
    EXPECT_EQ(display.controller(1).glyph(3), kBars);
    EXPECT_EQ(display.faultCount(), faultsBefore);  // the waits cover whatever the half byte did
  }
}

TEST(Glass, LinesLandOnTheirRows) {
  Display display = startedDisplay();
  feed(display, line(1, "\x01 Playing"));
  feed(display, line(2, "\xFF\xFF\xFF  1:23"));
  feed(display, line(3, "Third line"));
  feed(display, line(4, "Fourth line, 27 characters"));
  const std::array<std::string, 4> expected = {
      "1 Playing                  ", "###  1:23                  ", "Third line                 ",
      "Fourth line, 27 characters "};
  EXPECT_EQ(display.glassText(), expected);
  EXPECT_EQ(display.glass()[0][0], 0x01);
  EXPECT_EQ(display.glass()[1][0], 0xFF);
}

TEST(Glass, DisplayOffBlanksOnlyItsController) {
  Display display = startedDisplay();
  feed(display, line(1, "top"));
  feed(display, line(4, "bottom"));
  feed(display, {0x40, 0x48});  // controller 2: display off
  EXPECT_EQ(display.glass()[3][0], std::nullopt);
  EXPECT_EQ(display.glassText()[3], std::string(27, ' '));
  EXPECT_EQ(display.glassText()[0].substr(0, 3), "top");
  feed(display, {0x40, 0x4C});  // on again: DDRAM kept
  EXPECT_EQ(display.glassText()[3].substr(0, 6), "bottom");
}

TEST(Glass, GlyphCodesUseTheirOwnControllersCgram) {
  Display display = startedDisplay();
  feed(display, line(1, "\x01\x03\x09\x0B"));
  feed(display, line(3, "\x01\x03"));
  EXPECT_EQ(display.glassText()[0].substr(0, 4), "1313");
  EXPECT_EQ(display.glassText()[2].substr(0, 2), "??");  // controller 2 never got the glyphs
}

}  // namespace
}  // namespace marqel::vlcd
