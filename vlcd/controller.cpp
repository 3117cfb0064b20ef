#include "vlcd/controller.h"

#include <string>
#include <utility>

namespace marqel::vlcd {

namespace {

constexpr std::uint8_t kSpace = 0x20;
constexpr int kShiftModulo = 80;  // a multiple of both 40 (two lines) and 80 (one line)

std::uint8_t u8(int value) {
  return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

Controller::Controller(int number) : number_(number) {
  powerOn();
}

void Controller::powerOn() {
  // The internal reset runs a clear, an 8-bit one-line function set, display off and entry mode
  // increment. CGRAM is not cleared: it holds whatever the RAM came up with (modelled as zeros, and
  // glyphWritten() tells the renderers not to trust it). Faults are a record of the line, so kept.
  width_ = Width::kEightBit;
  pendingHigh_ = false;
  highNibble_ = 0;
  twoLines_ = false;
  font_ = Font::k5x8;
  displayOn_ = cursorOn_ = blinkOn_ = false;
  increment_ = true;
  shiftOnWrite_ = false;
  address_ = 0;
  cgramSelected_ = false;
  shift_ = 0;
  ddram_.fill(kSpace);
  cgram_.fill(0);
  glyphsWritten_ = 0;
  busyUntil_ = Nanos::min();
  busyWith_ = {};
  startupRun_ = 0;
  lastStartupWrite_ = Nanos::min();
}

int Controller::displayShift() const {
  return shift_ % (twoLines_ ? kLineLength : kShiftModulo);
}

std::array<std::uint8_t, 8> Controller::glyph(std::uint8_t code) const {
  std::array<std::uint8_t, 8> rows{};
  const int base = (code & 0x07) * 8;
  for (int row = 0; row < 8; ++row)
    rows[static_cast<std::size_t>(row)] = cgram_[static_cast<std::size_t>(base + row)];
  return rows;
}

bool Controller::glyphWritten(std::uint8_t code) const {
  return (glyphsWritten_ >> (code & 0x07) & 1) != 0;
}

std::uint8_t Controller::shownAddress(int row, int column) const {
  if (twoLines_) {
    const int base = row == 0 ? 0x00 : 0x40;
    return u8(base + (column + shift_) % kLineLength);
  }
  return u8((column + shift_) % kShiftModulo);
}

void Controller::strobe(bool rs, std::uint8_t bus, Nanos at, std::uint64_t byteIndex) {
  const WriteRole role = width_ == Width::kEightBit
                             ? WriteRole::kByte
                             : (pendingHigh_ ? WriteRole::kLowNibble : WriteRole::kHighNibble);
  checkTiming(rs, bus, role, at, byteIndex);

  // A write that comes while the chip is busy is still applied: the real chip's behaviour then is
  // undefined (it may drop or garble the write), and the model exists to report the fault and keep
  // showing what the sender meant, so later faults are not buried under a cascade of follow-ons.
  switch (role) {
    case WriteRole::kByte:
      execute(rs, bus, at);
      break;
    case WriteRole::kHighNibble:
      pendingHigh_ = true;
      highNibble_ = u8(bus >> 4);
      break;
    case WriteRole::kLowNibble:
      // The assembled byte goes to the instruction or data register on the second strobe, so the
      // RS of that strobe decides (the sender always keeps RS the same for both halves anyway).
      pendingHigh_ = false;
      execute(rs, u8(highNibble_ << 4 | bus >> 4), at);
      break;
  }
}

void Controller::checkTiming(bool rs, std::uint8_t bus, WriteRole role, Nanos at,
                             std::uint64_t byteIndex) {
  if (at < busyUntil_) {
    addFault(FaultKind::kBusy, busyUntil_ - at, std::string(busyWith_), rs, bus, role, at,
             byteIndex);
  }

  // Initialisation by instruction: the second 0011 write must come more than 4.1 ms after the
  // first and the third more than 100 us after the second, whatever mode the chip was in, because
  // the first may complete a half byte into any instruction. A run of such writes marks the
  // start-up; anything else ends it.
  if (!rs && (bus >> 4) == 0x3) {
    ++startupRun_;
    const Nanos gap = startupRun_ > 1 ? at - lastStartupWrite_ : Nanos::max();
    if (startupRun_ == 2 && gap < kFirstStartupWait) {
      addFault(FaultKind::kStartupWait, kFirstStartupWait - gap,
               "second 0x3 start-up write " + formatMillis(gap) + " after the first", rs, bus, role,
               at, byteIndex);
    } else if (startupRun_ == 3 && gap < kSecondStartupWait) {
      addFault(FaultKind::kStartupWait, kSecondStartupWait - gap,
               "third 0x3 start-up write " + formatMillis(gap) + " after the second", rs, bus, role,
               at, byteIndex);
    }
    lastStartupWrite_ = at;
  } else {
    startupRun_ = 0;
  }
}

void Controller::addFault(FaultKind kind, Nanos early, std::string cause, bool rs, std::uint8_t bus,
                          WriteRole role, Nanos at, std::uint64_t byteIndex) {
  Fault fault;
  fault.kind = kind;
  fault.controller = number_;
  fault.byteIndex = byteIndex;
  fault.at = at;
  fault.early = early;
  fault.rs = rs;
  fault.bus = bus;
  fault.role = role;
  fault.cause = std::move(cause);
  faults_.push_back(std::move(fault));
}

void Controller::finish(Nanos at, Nanos duration, std::string_view what) {
  busyUntil_ = at + duration;
  busyWith_ = what;
}

void Controller::execute(bool rs, std::uint8_t value, Nanos at) {
  if (rs) {
    writeData(value);
    finish(at, kShortExecution, "data write");
  } else {
    instruction(value, at);
  }
}

void Controller::instruction(std::uint8_t value, Nanos at) {
  if (value & 0x80) {
    address_ = u8(value & 0x7F);
    cgramSelected_ = false;
    finish(at, kShortExecution, "set DDRAM address");
  } else if (value & 0x40) {
    address_ = u8(value & 0x3F);
    cgramSelected_ = true;
    finish(at, kShortExecution, "set CGRAM address");
  } else if (value & 0x20) {
    // N and F are taken every time: the datasheet's "only at the head of the program" is not
    // enforced by the chips, and the standard start-up depends on the 0x28 after 0x20 being taken.
    twoLines_ = (value & 0x08) != 0;
    font_ = (value & 0x04) != 0 ? Font::k5x10 : Font::k5x8;
    if (value & 0x10) {
      width_ = Width::kEightBit;
      pendingHigh_ = false;
    } else if (width_ == Width::kEightBit) {
      width_ = Width::kFourBit;
      pendingHigh_ = false;
    }
    finish(at, kShortExecution, "function set");
  } else if (value & 0x10) {
    const bool right = (value & 0x04) != 0;
    if (value & 0x08) {
      shiftDisplay(!right);
    } else {
      step(right);
    }
    finish(at, kShortExecution, "cursor or display shift");
  } else if (value & 0x08) {
    displayOn_ = (value & 0x04) != 0;
    cursorOn_ = (value & 0x02) != 0;
    blinkOn_ = (value & 0x01) != 0;
    finish(at, kShortExecution, "display on/off control");
  } else if (value & 0x04) {
    increment_ = (value & 0x02) != 0;
    shiftOnWrite_ = (value & 0x01) != 0;
    finish(at, kShortExecution, "entry mode set");
  } else if (value & 0x02) {
    address_ = 0;
    cgramSelected_ = false;
    shift_ = 0;
    finish(at, kLongExecution, "return home");
  } else if (value & 0x01) {
    ddram_.fill(kSpace);
    address_ = 0;
    cgramSelected_ = false;
    shift_ = 0;
    increment_ = true;  // S is left alone
    finish(at, kLongExecution, "clear display");
  }
  // 0x00 is no instruction: the chip does nothing and does not go busy.
}

void Controller::writeData(std::uint8_t value) {
  if (cgramSelected_) {
    cgram_[address_ & 0x3F] = value;
    glyphsWritten_ = u8(glyphsWritten_ | 1 << ((address_ & 0x3F) >> 3));
    step(increment_);
    return;  // CGRAM writes never shift the display
  }
  ddram_[address_ & 0x7F] = value;
  step(increment_);
  if (shiftOnWrite_) shiftDisplay(increment_);
}

void Controller::step(bool forward) {
  if (cgramSelected_) {
    address_ = u8((address_ + (forward ? 1 : -1)) & 0x3F);
    return;
  }
  if (twoLines_) {
    // Two lines of 40: 0x00-0x27 and 0x40-0x67, each running into the other.
    if (forward) {
      address_ = address_ == 0x27 ? 0x40 : address_ == 0x67 ? 0x00 : u8((address_ + 1) & 0x7F);
    } else {
      address_ = address_ == 0x40 ? 0x27 : address_ == 0x00 ? 0x67 : u8((address_ - 1) & 0x7F);
    }
    return;
  }
  if (forward) {
    address_ = address_ >= 0x4F ? 0x00 : u8(address_ + 1);
  } else {
    address_ = address_ == 0x00 ? 0x4F : u8(address_ - 1);
  }
}

void Controller::shiftDisplay(bool left) {
  // Shifting left brings later columns into view.
  shift_ = (shift_ + (left ? 1 : kShiftModulo - 1)) % kShiftModulo;
}

}  // namespace marqel::vlcd
