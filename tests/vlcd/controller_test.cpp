// The instruction set, address counter and CGRAM of one controller, driven as an 8-bit bus with
// writes far enough apart that timing never interferes.
#include "vlcd/controller.h"

#include <gtest/gtest.h>

namespace marqel::vlcd {
namespace {

using std::chrono::milliseconds;

struct Bus {
  Controller chip;
  Nanos now{0};
  void write(bool rs, std::uint8_t value) { chip.strobe(rs, value, now += milliseconds(2)); }
  void command(std::uint8_t value) { write(false, value); }
  void text(std::string_view characters) {
    for (char c : characters) write(true, static_cast<std::uint8_t>(c));
  }
  // 8-bit, two lines, display on, cleared, counting up.
  static Bus twoLines() {
    Bus bus;
    for (int value : {0x38, 0x0C, 0x06, 0x01}) bus.command(static_cast<std::uint8_t>(value));
    return bus;
  }
};

TEST(ControllerInterface, SwitchesWidthAndPairsNibblesHighFirst) {
  Bus bus;
  bus.write(false, 0x30);  // a nibble write in 8-bit mode: function set, D3-D0 low
  EXPECT_EQ(bus.chip.width(), Controller::Width::kEightBit);
  bus.write(false, 0x20);
  EXPECT_EQ(bus.chip.width(), Controller::Width::kFourBit);
  EXPECT_EQ(bus.chip.lines(), 1);

  bus.write(false, 0x20);
  EXPECT_TRUE(bus.chip.awaitingLowNibble());
  bus.write(false, 0x8F);  // only D7-D4 count: low nibble 0x8
  EXPECT_FALSE(bus.chip.awaitingLowNibble());
  EXPECT_EQ(bus.chip.lines(), 2);

  bus.write(true, 0x40);
  bus.write(true, 0x10);
  EXPECT_EQ(bus.chip.ddram()[0], 0x41);

  bus.write(false, 0x30);  // function set 8-bit as a complete byte
  bus.write(false, 0x00);
  EXPECT_EQ(bus.chip.width(), Controller::Width::kEightBit);
}

TEST(ControllerInstructions, ClearAndReturnHome) {
  Bus bus = Bus::twoLines();
  bus.text("AB");
  bus.command(0x05);  // decrement, shift on write
  bus.command(0x18);  // shift the display left
  bus.command(0x02);
  EXPECT_EQ(bus.chip.ddram()[0], 'A');  // return home keeps DDRAM
  EXPECT_EQ(bus.chip.addressCounter(), 0);
  EXPECT_EQ(bus.chip.displayShift(), 0);
  EXPECT_FALSE(bus.chip.incrementing());

  bus.command(0x18);
  bus.command(0x87);
  bus.command(0x01);
  EXPECT_EQ(bus.chip.ddram()[0], ' ');
  EXPECT_EQ(bus.chip.ddram()[0x41], ' ');
  EXPECT_EQ(bus.chip.addressCounter(), 0);
  EXPECT_EQ(bus.chip.displayShift(), 0);
  EXPECT_TRUE(bus.chip.incrementing());  // clear sets I/D, leaves S
  EXPECT_TRUE(bus.chip.shiftsOnWrite());
}

TEST(ControllerInstructions, FlagInstructions) {
  struct Case {
    std::uint8_t command;
    bool display, cursor, blink, increment, shift;
    int lines;
    Controller::Font font;
  };
  using F = Controller::Font;
  // From the state after Bus::twoLines(): on, no cursor, counting up, two lines, 5x8.
  const Case cases[] = {
      {0x08, false, false, false, true, false, 2, F::k5x8},
      {0x0F, true, true, true, true, false, 2, F::k5x8},
      {0x0A, false, true, false, true, false, 2, F::k5x8},
      {0x04, true, false, false, false, false, 2, F::k5x8},
      {0x07, true, false, false, true, true, 2, F::k5x8},
      {0x3A, true, false, false, true, false, 2, F::k5x8},  // bit 1 of function set is ignored
      {0x34, true, false, false, true, false, 1, F::k5x10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "command 0x" << std::hex << int{c.command});
    Bus bus = Bus::twoLines();
    bus.command(c.command);
    EXPECT_EQ(bus.chip.displayOn(), c.display);
    EXPECT_EQ(bus.chip.cursorOn(), c.cursor);
    EXPECT_EQ(bus.chip.blinkOn(), c.blink);
    EXPECT_EQ(bus.chip.incrementing(), c.increment);
    EXPECT_EQ(bus.chip.shiftsOnWrite(), c.shift);
    EXPECT_EQ(bus.chip.lines(), c.lines);
    EXPECT_EQ(bus.chip.font(), c.font);
  }
}

TEST(ControllerAddressing, CounterWrapsLikeTheChip) {
  struct Case {
    int lines;
    bool cgram;
    std::uint8_t from;
    bool increment;
    std::uint8_t next;
  };
  const Case cases[] = {
      {2, false, 0x10, true, 0x11},  {2, false, 0x27, true, 0x40},  {2, false, 0x67, true, 0x00},
      {2, false, 0x40, false, 0x27}, {2, false, 0x00, false, 0x67}, {1, false, 0x27, true, 0x28},
      {1, false, 0x4F, true, 0x00},  {1, false, 0x00, false, 0x4F}, {2, true, 0x3F, true, 0x00},
      {2, true, 0x00, false, 0x3F},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.lines << " lines, cgram " << c.cgram << ", from 0x"
                                      << std::hex << int{c.from});
    Bus bus = Bus::twoLines();
    if (c.lines == 1) bus.command(0x30);
    bus.command(c.increment ? 0x06 : 0x04);
    bus.command(static_cast<std::uint8_t>(c.cgram ? 0x40 | c.from : 0x80 | c.from));
    bus.write(true, 0x15);
    EXPECT_EQ(c.cgram ? bus.chip.cgram()[c.from] : bus.chip.ddram()[c.from], 0x15);
    EXPECT_EQ(bus.chip.addressCounter(), c.next);
    EXPECT_EQ(bus.chip.addressingCgram(), c.cgram);
  }
}

TEST(ControllerShift, CursorAndDisplayShift) {
  Bus bus = Bus::twoLines();
  bus.command(0xA7);
  bus.command(0x14);  // cursor right across the end of line 1
  EXPECT_EQ(bus.chip.addressCounter(), 0x40);
  bus.command(0x10);
  EXPECT_EQ(bus.chip.addressCounter(), 0x27);

  bus.command(0x1C);  // display right: the last column comes into the first position
  EXPECT_EQ(bus.chip.shownAddress(0, 0), 0x27);
  EXPECT_EQ(bus.chip.shownAddress(1, 0), 0x67);
  EXPECT_EQ(bus.chip.addressCounter(), 0x27);  // a display shift leaves the cursor's address
  bus.command(0x18);
  bus.command(0x18);
  EXPECT_EQ(bus.chip.shownAddress(0, 26), 0x1B);

  bus.command(0x30);  // one line of 80
  bus.command(0x02);
  bus.command(0x1C);
  EXPECT_EQ(bus.chip.shownAddress(0, 0), 0x4F);
}

TEST(ControllerShift, EntryModeShiftsOnDdramWritesOnly) {
  Bus bus = Bus::twoLines();
  bus.command(0x07);
  bus.text("ab");
  EXPECT_EQ(bus.chip.displayShift(), 2);
  bus.command(0x40);
  bus.write(true, 0x1F);
  EXPECT_EQ(bus.chip.displayShift(), 2);
  bus.command(0x80);
  bus.command(0x05);  // decrementing shifts the other way
  bus.text("c");
  EXPECT_EQ(bus.chip.displayShift(), 1);
}

}  // namespace
}  // namespace marqel::vlcd
