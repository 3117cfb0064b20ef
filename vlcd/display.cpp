#include "vlcd/display.h"

#include <algorithm>

#include "vlcd/charset.h"

namespace marqel::vlcd {

Display::Display(LineRate rate) : rate_(rate) {}

void Display::reset() {
  *this = Display(rate_);
}

const Controller& Display::controller(int number) const {
  return controllers_[number == 2 ? 1 : 0];
}

Controller& Display::which(int number) {
  return controllers_[number == 2 ? 1 : 0];
}

void Display::feed(std::uint8_t byte, Nanos arrival) {
  const std::uint64_t index = bytes_++;
  last_ = arrival;
  untimedFrom_ = arrival;
  untimedCount_ = 0;

  if (byte & 0x80) {
    contrast_ = byte & 0x7F;
    return;
  }
  // Bit 5 is always 0 in the format. The board's handling of a byte with it set is unknown, so such
  // a byte is counted as stray and goes nowhere: a sender fault then shows up twice, on the glass
  // and in the count. (Bits 7-6 = 10 or 11 never reach here: bit 7 makes them contrast bytes.)
  if (byte & 0x20) {
    ++stray_;
    return;
  }
  const int number = (byte & 0x40) != 0 ? 2 : 1;
  const bool rs = (byte & 0x10) != 0;
  which(number).strobe(rs, static_cast<std::uint8_t>((byte & 0x0F) << 4), arrival, index);
}

void Display::feed(std::span<const TimedByte> bytes) {
  for (const TimedByte& byte : bytes) feed(byte.value, byte.at);
}

void Display::feed(std::uint8_t byte) {
  const Nanos from = untimedFrom_;
  const std::int64_t count = untimedCount_ + 1;
  feed(byte, from + rate_.duration(count));
  untimedFrom_ = from;
  untimedCount_ = count;
}

void Display::feed(std::span<const std::uint8_t> bytes) {
  for (std::uint8_t byte : bytes) feed(byte);
}

Display::Glass Display::glass() const {
  Glass glass{};
  for (int row = 0; row < kRows; ++row) {
    const Controller& owner = controllers_[static_cast<std::size_t>(row / 2)];
    const int ownRow = row % 2;
    if (!owner.displayOn() || !owner.rowDriven(ownRow)) continue;
    for (int column = 0; column < kColumns; ++column) {
      glass[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] =
          owner.shownCode(ownRow, column);
    }
  }
  return glass;
}

std::array<std::string, Display::kRows> Display::glassText() const {
  std::array<std::string, kRows> text;
  const Glass cells = glass();
  for (std::size_t row = 0; row < kRows; ++row) {
    const Controller& owner = controllers_[row / 2];
    for (const Cell& cell : cells[row]) text[row] += cell ? plainChar(*cell, owner) : ' ';
  }
  return text;
}

std::array<std::string, Display::kRows> Display::glassUnicode() const {
  std::array<std::string, kRows> text;
  const Glass cells = glass();
  for (std::size_t row = 0; row < kRows; ++row) {
    const Controller& owner = controllers_[row / 2];
    for (const Cell& cell : cells[row]) text[row] += cell ? cellUnicode(*cell, owner) : " ";
  }
  return text;
}

std::vector<Fault> Display::faults() const {
  std::vector<Fault> all = controllers_[0].faults();
  const auto& second = controllers_[1].faults();
  all.insert(all.end(), second.begin(), second.end());
  std::stable_sort(all.begin(), all.end(),
                   [](const Fault& a, const Fault& b) { return a.byteIndex < b.byteIndex; });
  return all;
}

}  // namespace marqel::vlcd
