#pragma once
#include <cstdint>

namespace marqel {

class LcdLink;

// Brings one display controller from any state (just powered, in 8-bit mode, or halfway through a
// byte in 4-bit mode) into 4-bit mode, two lines, cleared, display on, cursor off, counting up;
// then loads the two glyphs into controller 1's character memory. About 17 ms of waits.
// No error handler: only a failing wait leaves the routine.
void InitLcdController(LcdLink& link, std::uint8_t controller);

}  // namespace marqel
