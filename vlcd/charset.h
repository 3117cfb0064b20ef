#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "vlcd/controller.h"

namespace marqel::vlcd {

// Shapes the renderers know by their exact bitmap (rows masked to 5 bits).
enum class GlyphShape {
  kOther,
  kBlank,
  kFullBlock,
  kRightTriangle,  // 08 0C 0E 0F 0E 0C 08 00, the sender's glyph 1 (playing)
  kLeftTriangle,
  kTwoBars,  // 00 1B 1B 1B 1B 1B 00 00, the sender's glyph 3 (paused)
  kSquare,
};

GlyphShape recognise(const std::array<std::uint8_t, 8>& rows);

// One terminal column of UTF-8 for a CGRAM glyph: the look-alike of a known shape, otherwise the
// bitmap squeezed into a 2 x 4 Braille pattern.
std::string glyphUnicode(const std::array<std::uint8_t, 8>& rows);

// One terminal column of UTF-8 for a ROM character of the A00 (Japanese) character set. Codes
// without a pattern are a space; 0xFA-0xFC (CJK, two columns wide in a terminal) are U+FFFD.
// Codes 0x00-0x0F are CGRAM glyphs and give an empty string here: use cellUnicode().
std::string romUnicode(std::uint8_t code);

// What a cell shows, for a cell driven by `owner` (CGRAM is per controller).
// A CGRAM glyph never written since power-on is U+FFFD: the real glass shows random dots there.
std::string cellUnicode(std::uint8_t code, const Controller& owner);

// Plain ASCII stand-in for a cell: printable ASCII 0x20-0x7D as itself (0x5C stays '\' although
// the ROM draws a yen sign), CGRAM codes as the digit of their glyph slot ('0'-'7', codes 8-15
// mirror 0-7) or '?' if that glyph was never written, 0xFF (full block) as '#', codes without a
// pattern as ' ', and any other ROM character (arrows, katakana, Greek) as '?'.
char plainChar(std::uint8_t code, const Controller& owner);

}  // namespace marqel::vlcd
