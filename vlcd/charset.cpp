#include "vlcd/charset.h"

#include <string_view>

namespace marqel::vlcd {

namespace {

std::string utf8(char32_t point) {
  std::string out;
  const auto unit = [&out](std::uint32_t value) { out += static_cast<char>(value & 0xFF); };
  const auto code = static_cast<std::uint32_t>(point);
  if (code < 0x80) {
    unit(code);
  } else if (code < 0x800) {
    unit(0xC0 | code >> 6);
    unit(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    unit(0xE0 | code >> 12);
    unit(0x80 | (code >> 6 & 0x3F));
    unit(0x80 | (code & 0x3F));
  } else {
    unit(0xF0 | code >> 18);
    unit(0x80 | (code >> 12 & 0x3F));
    unit(0x80 | (code >> 6 & 0x3F));
    unit(0x80 | (code & 0x3F));
  }
  return out;
}

constexpr std::string_view kReplacement = "\uFFFD";

// 0xE0-0xFF of the A00 ROM. 0xE7, 0xEA, 0xF0, 0xF1, 0xF9 are letters with descenders, 0xE9 is a
// superscript -1 (only its 1 fits a column), 0xF8 is x with a bar over it.
constexpr std::string_view kHighBlock[32] = {
    "α", "ä", "β", "ε", "μ",          "σ",          "ρ",          "g", "√", "¹", "j",
    "ˣ", "¢", "£", "ñ", "ö",          "p",          "q",          "θ", "∞", "Ω", "ü",
    "Σ", "π", "x̄", "y", kReplacement, kReplacement, kReplacement, "÷", " ", "█",
};

struct KnownGlyph {
  std::array<std::uint8_t, 8> rows;
  GlyphShape shape;
};

constexpr KnownGlyph kKnown[] = {
    {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, GlyphShape::kBlank},
    {{0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F}, GlyphShape::kFullBlock},
    {{0x08, 0x0C, 0x0E, 0x0F, 0x0E, 0x0C, 0x08, 0x00}, GlyphShape::kRightTriangle},
    {{0x02, 0x06, 0x0E, 0x1E, 0x0E, 0x06, 0x02, 0x00}, GlyphShape::kLeftTriangle},
    {{0x00, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x00, 0x00}, GlyphShape::kTwoBars},
    {{0x00, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x00, 0x00}, GlyphShape::kSquare},
};

std::string braille(const std::array<std::uint8_t, 8>& rows) {
  // Braille dots 1-3 and 7 run down the left column, 4-6 and 8 down the right. Each dot stands for
  // two pixel rows and the left or right three pixel columns (the middle one lights both).
  static constexpr std::uint32_t kLeft[4] = {0x01, 0x02, 0x04, 0x40};
  static constexpr std::uint32_t kRight[4] = {0x08, 0x10, 0x20, 0x80};
  std::uint32_t dots = 0;
  for (std::size_t pair = 0; pair < 4; ++pair) {
    const unsigned pixels = (rows[2 * pair] | rows[2 * pair + 1]) & 0x1Fu;
    if (pixels & 0x1Cu) dots |= kLeft[pair];
    if (pixels & 0x07u) dots |= kRight[pair];
  }
  return utf8(static_cast<char32_t>(0x2800 + dots));
}

}  // namespace

GlyphShape recognise(const std::array<std::uint8_t, 8>& rows) {
  for (const KnownGlyph& known : kKnown) {
    bool same = true;
    for (std::size_t row = 0; row < 8; ++row) same = same && (rows[row] & 0x1F) == known.rows[row];
    if (same) return known.shape;
  }
  return GlyphShape::kOther;
}

std::string glyphUnicode(const std::array<std::uint8_t, 8>& rows) {
  switch (recognise(rows)) {
    case GlyphShape::kBlank:
      return " ";
    case GlyphShape::kFullBlock:
      return "█";
    case GlyphShape::kRightTriangle:
      return "▶";
    case GlyphShape::kLeftTriangle:
      return "◀";
    case GlyphShape::kTwoBars:
      return "‖";
    case GlyphShape::kSquare:
      return "■";
    case GlyphShape::kOther:
      break;
  }
  return braille(rows);
}

std::string romUnicode(std::uint8_t code) {
  if (code < 0x10) return {};
  if (code < 0x20) return " ";
  if (code == 0x5C) return "¥";
  if (code < 0x7E) return std::string(1, static_cast<char>(code));
  if (code == 0x7E) return "→";
  if (code == 0x7F) return "←";
  if (code <= 0xA0) return " ";
  if (code < 0xDF) return utf8(static_cast<char32_t>(0xFF61 + (code - 0xA1)));  // half-width kana
  if (code == 0xDF) return "°";
  return std::string(kHighBlock[code - 0xE0]);
}

std::string cellUnicode(std::uint8_t code, const Controller& owner) {
  if (code >= 0x10) return romUnicode(code);
  if (!owner.glyphWritten(code)) return std::string(kReplacement);
  return glyphUnicode(owner.glyph(code));
}

char plainChar(std::uint8_t code, const Controller& owner) {
  if (code < 0x10) return owner.glyphWritten(code) ? static_cast<char>('0' + (code & 7)) : '?';
  if (code < 0x20) return ' ';
  if (code < 0x7E) return static_cast<char>(code);
  if (code == 0xFF) return '#';
  if ((code >= 0x80 && code <= 0xA0) || code == 0xFE) return ' ';
  return '?';
}

}  // namespace marqel::vlcd
