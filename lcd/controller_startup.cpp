#include "lcd/controller_startup.h"

#include <array>
#include <cstdint>

#include "lcd/lcd_link.h"
#include "lcd/lcd_protocol.h"

namespace marqel {
namespace {

enum class Target : std::uint8_t { Given, Controller1 };
enum class Kind : std::uint8_t { Command, Data };

struct Step {
  Target target;
  std::uint8_t value;
  Kind kind;
  std::int32_t waitMs;  // 0: no wait
};

// Initialisation by instruction for a 4-bit interface (the controller datasheet's flow), then the
// two glyphs. The first four steps go out as high nibbles only: the controller may still be on its
// 8-bit interface, where each nibble is one whole write.
constexpr std::array<Step, 4> kEightBitSteps{{
    {Target::Given, 0x30, Kind::Command, 10},  // function set, 8-bit: wait > 4.1 ms
    {Target::Given, 0x30, Kind::Command, 2},   // function set, 8-bit: wait > 100 us
    {Target::Given, 0x30, Kind::Command, 0},   // function set, 8-bit (third)
    {Target::Given, 0x20, Kind::Command, 0},   // function set, 4-bit interface
}};

constexpr std::array<Step, 24> kFourBitSteps{{
    {Target::Given, 0x2A, Kind::Command, 0},  // function set: 4-bit, two lines, 5x8 dots
    {Target::Given, 0x08, Kind::Command, 0},  // display off, cursor off, blink off
    {Target::Given, 0x01, Kind::Command, 5},  // clear display: needs 1.52 ms
    {Target::Given, 0x06, Kind::Command, 0},  // entry mode: increment, no shift
    {Target::Given, 0x0C, Kind::Command, 0},  // display on, cursor off, blink off
    // Code 1, a triangle pointing right, at CGRAM 0x08..0x0F. The glyphs always go to
    // controller 1, whichever controller is being started.
    {Target::Controller1, 0x48, Kind::Command, 0},
    {Target::Controller1, 0x08, Kind::Data, 0},
    {Target::Controller1, 0x0C, Kind::Data, 0},
    {Target::Controller1, 0x0E, Kind::Data, 0},
    {Target::Controller1, 0x0F, Kind::Data, 0},
    {Target::Controller1, 0x0E, Kind::Data, 0},
    {Target::Controller1, 0x0C, Kind::Data, 0},
    {Target::Controller1, 0x08, Kind::Data, 0},
    {Target::Controller1, 0x00, Kind::Data, 0},
    // Code 3, two vertical bars, at CGRAM 0x18..0x1F.
    {Target::Controller1, 0x58, Kind::Command, 0},
    {Target::Controller1, 0x00, Kind::Data, 0},
    {Target::Controller1, 0x1B, Kind::Data, 0},
    {Target::Controller1, 0x1B, Kind::Data, 0},
    {Target::Controller1, 0x1B, Kind::Data, 0},
    {Target::Controller1, 0x1B, Kind::Data, 0},
    {Target::Controller1, 0x1B, Kind::Data, 0},
    {Target::Controller1, 0x00, Kind::Data, 0},
    {Target::Controller1, 0x00, Kind::Data, 0},
    // Back to display memory, first line, first column.
    {Target::Controller1, 0x80, Kind::Command, 0},
}};

template <std::size_t N>
void SendSteps(LcdLink& link, const std::array<Step, N>& steps, std::uint8_t controller) {
  for (const Step& step : steps) {
    const std::uint8_t to = step.target == Target::Given ? controller : std::uint8_t{1};
    SendLcdByte(link, step.value, step.kind == Kind::Command, to);
    if (step.waitMs > 0) {
      link.waitOnLine(step.waitMs);
    }
  }
}

}  // namespace

void InitLcdController(LcdLink& link, std::uint8_t controller) {
  link.SendBothNibbles = false;
  SendSteps(link, kEightBitSteps, controller);
  link.SendBothNibbles = true;
  SendSteps(link, kFourBitSteps, controller);
}

}  // namespace marqel
