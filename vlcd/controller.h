#pragma once
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "vlcd/fault.h"

namespace marqel::vlcd {

// One HD44780-compatible controller as seen from its pins: RS, D7-D0 and one strobe of E per write.
// Only what the write-only link can reach is modelled (no reads, no busy flag polling).
class Controller {
 public:
  enum class Width { kEightBit, kFourBit };
  enum class Font { k5x8, k5x10 };

  static constexpr Nanos kLongExecution{1'520'000};  // clear display, return home
  static constexpr Nanos kShortExecution{37'000};    // any other instruction, data write
  static constexpr Nanos kFirstStartupWait{4'100'000};
  static constexpr Nanos kSecondStartupWait{100'000};
  static constexpr int kDdramSize = 128;  // indexed by the raw 7-bit address
  static constexpr int kCgramSize = 64;
  static constexpr int kLineLength = 40;  // DDRAM per line with two lines; 80 with one

  explicit Controller(int number = 1);

  // The state the chip's internal reset leaves: 8-bit, one line, display off, cleared, counting up.
  void powerOn();

  // One strobe of E. `bus` is D7-D0 as driven; with the 4-bit interface only D7-D4 are read.
  // `byteIndex` only labels faults.
  void strobe(bool rs, std::uint8_t bus, Nanos at, std::uint64_t byteIndex = 0);

  int number() const { return number_; }
  Width width() const { return width_; }
  bool awaitingLowNibble() const { return pendingHigh_; }
  int lines() const { return twoLines_ ? 2 : 1; }
  Font font() const { return font_; }
  bool displayOn() const { return displayOn_; }
  bool cursorOn() const { return cursorOn_; }
  bool blinkOn() const { return blinkOn_; }
  bool incrementing() const { return increment_; }
  bool shiftsOnWrite() const { return shiftOnWrite_; }
  std::uint8_t addressCounter() const { return address_; }
  bool addressingCgram() const { return cgramSelected_; }
  // The DDRAM column shown in the first position of each line (0-39; 0-79 with one line).
  int displayShift() const;

  const std::array<std::uint8_t, kDdramSize>& ddram() const { return ddram_; }
  const std::array<std::uint8_t, kCgramSize>& cgram() const { return cgram_; }
  // The eight rows of the glyph that character code `code` (0-15; 8-15 mirror 0-7) draws.
  std::array<std::uint8_t, 8> glyph(std::uint8_t code) const;
  // Whether any row of that glyph was written since power-on; the rest hold whatever the RAM held.
  bool glyphWritten(std::uint8_t code) const;

  // Whether the controller drives visible row `row` (0 or 1): the second row only with two lines.
  bool rowDriven(int row) const { return row == 0 || twoLines_; }
  // The DDRAM address shown at visible position (row, column), display shift applied.
  std::uint8_t shownAddress(int row, int column) const;
  std::uint8_t shownCode(int row, int column) const { return ddram_[shownAddress(row, column)]; }

  const std::vector<Fault>& faults() const { return faults_; }

 private:
  void checkTiming(bool rs, std::uint8_t bus, WriteRole role, Nanos at, std::uint64_t byteIndex);
  void addFault(FaultKind kind, Nanos early, std::string cause, bool rs, std::uint8_t bus,
                WriteRole role, Nanos at, std::uint64_t byteIndex);
  void execute(bool rs, std::uint8_t value, Nanos at);
  void instruction(std::uint8_t value, Nanos at);
  void writeData(std::uint8_t value);
  void step(bool forward);
  void shiftDisplay(bool left);
  void finish(Nanos at, Nanos duration, std::string_view what);

  int number_;
  Width width_ = Width::kEightBit;
  bool pendingHigh_ = false;
  std::uint8_t highNibble_ = 0;
  bool twoLines_ = false;
  Font font_ = Font::k5x8;
  bool displayOn_ = false;
  bool cursorOn_ = false;
  bool blinkOn_ = false;
  bool increment_ = true;
  bool shiftOnWrite_ = false;
  std::uint8_t address_ = 0;
  bool cgramSelected_ = false;
  int shift_ = 0;  // kept modulo 80, which serves both line layouts
  std::array<std::uint8_t, kDdramSize> ddram_{};
  std::array<std::uint8_t, kCgramSize> cgram_{};
  std::uint8_t glyphsWritten_ = 0;  // bit n: glyph n

  Nanos busyUntil_ = Nanos::min();
  std::string_view busyWith_;
  int startupRun_ = 0;  // consecutive RS=0 writes with 0011 on D7-D4
  Nanos lastStartupWrite_ = Nanos::min();
  std::vector<Fault> faults_;
};

}  // namespace marqel::vlcd
