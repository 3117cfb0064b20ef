// Character set, glyph look-alikes, the framed view and the recording format.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "link_bytes.h"
#include "tests/support/wire.h"
#include "vlcd/charset.h"
#include "vlcd/recording.h"
#include "vlcd/view.h"

namespace marqel::vlcd {
namespace {

// Terminal columns of UTF-8 text without wide or combining characters.
std::size_t columns(const std::string& text) {
  std::size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

TEST(Charset, RomCharactersOfTheA00Table) {
  struct Case {
    std::uint8_t code;
    const char* unicode;
    char plain;
  };
  const Case cases[] = {
      {0x41, "A", 'A'}, {0x5C, "¥", '\\'}, {0x7D, "}", '}'}, {0x7E, "→", '?'},
      {0x7F, "←", '?'}, {0x10, " ", ' '},  {0xA0, " ", ' '}, {0xA1, "｡", '?'},
      {0xB1, "ｱ", '?'}, {0xDE, "ﾞ", '?'},  {0xDF, "°", '?'}, {0xE0, "α", '?'},
      {0xF4, "Ω", '?'}, {0xFD, "÷", '?'},  {0xFE, " ", ' '}, {0xFF, "█", '#'},
  };
  const Controller chip;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "code 0x" << std::hex << int{c.code});
    EXPECT_EQ(cellUnicode(c.code, chip), c.unicode);
    EXPECT_EQ(plainChar(c.code, chip), c.plain);
    EXPECT_EQ(columns(cellUnicode(c.code, chip)), 1u);
  }
}

TEST(Charset, GlyphsByShapeOrAsBraille) {
  struct Case {
    std::array<std::uint8_t, 8> rows;
    const char* unicode;
  };
  const Case cases[] = {
      {{0x08, 0x0C, 0x0E, 0x0F, 0x0E, 0x0C, 0x08, 0x00}, "▶"},
      {{0x00, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x00, 0x00}, "‖"},
      {{0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0}, " "},  // bits 7-5 are not drawn
      {{0x10, 0, 0, 0, 0, 0, 0, 0}, "⠁"},                       // top left pixel
      {{0, 0, 0, 0, 0, 0, 0, 0x01}, "⢀"},                       // bottom right pixel
      {{0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}, "⣿"},  // the middle column lights both
  };
  for (const Case& c : cases) EXPECT_EQ(glyphUnicode(c.rows), c.unicode);
}

TEST(View, FramesTheGlassAtAFixedWidth) {
  Display display;
  display.feed(runLine(linktest::linkStartup(linktest::WaitsFrom::kLineIdle)));
  display.feed(harness::wire::line(1, "\x01 Song"));
  display.feed(std::vector<std::uint8_t>{0x2F});  // stray

  const std::vector<std::string> lines = glassLines(display);
  ASSERT_EQ(lines.size(), 8u);
  for (const std::string& line : lines) EXPECT_EQ(columns(line), 29u) << line;
  EXPECT_EQ(lines[0].rfind("┌─", 0), 0u);
  EXPECT_EQ(lines[1], "│▶ Song" + std::string(21, ' ') + "│");
  EXPECT_NE(lines[6].find("contrast 0  stray 1"), std::string::npos);
  EXPECT_NE(lines[7].find("timing faults 1:0 2:0"), std::string::npos);
  const std::vector<std::string> untimed = glassLinesWithoutTiming(display);
  EXPECT_EQ(untimed, std::vector<std::string>(lines.begin(), lines.end() - 1));

  const std::vector<std::string> ascii = glassLines(display, false);
  EXPECT_EQ(ascii[0], "+" + std::string(27, '-') + "+");
  EXPECT_EQ(ascii[1], "|1 Song" + std::string(21, ' ') + "|");

  const std::vector<std::string> two = {"ab", "cd"};
  EXPECT_EQ(drawAt(two, 3, 40), "\x1b[3;40Hab\x1b[4;40Hcd");
}

TEST(Recording, RoundTripsAndRejectsMalformedLines) {
  const std::vector<TimedByte> bytes = {{Nanos{0}, 0x03},
                                        {std::chrono::microseconds(10417), 0x0A},
                                        {std::chrono::seconds(3600), 0xFF}};
  std::stringstream text;
  text << kRecordingHeader << "\n  # comment\n";
  for (const TimedByte& byte : bytes) text << recordingLine(byte);
  EXPECT_EQ(recordingLine(bytes[1]), "10417 0A\n");
  const std::vector<TimedByte> back = parseRecording(text);
  ASSERT_EQ(back.size(), bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    EXPECT_EQ(back[i].at, bytes[i].at);
    EXPECT_EQ(back[i].value, bytes[i].value);
  }

  for (const char* bad : {"12", "12 G0", "-5 01", "12 123", "12 0A x", "x 01", "12\t"}) {
    std::istringstream in(std::string("0 01\n") + bad + "\n");
    try {
      parseRecording(in);
      ADD_FAILURE() << "accepted: " << bad;
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find("line 2"), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace marqel::vlcd
