#pragma once
#include <span>
#include <string>
#include <vector>

#include "vlcd/display.h"

namespace marqel::vlcd {

// Terminal columns taken by every line of glassLines(): the 27 cells plus a frame on each side.
inline constexpr int kViewWidth = Display::kColumns + 2;

// The framed glass as a host can place it beside its own output: a top border, the 4 rows, a
// bottom border and two status lines (contrast and stray bytes; timing faults per controller).
// No escape codes; every line is exactly kViewWidth terminal columns wide. With `unicode` false the
// cells use glassText()'s stand-ins and the frame is plain ASCII.
std::vector<std::string> glassLines(const Display& display, bool unicode = true);
// glassLines() without the timing faults, for a line that carries no timing (a pseudo-terminal
// written by a process on the same machine), where they would mean nothing.
std::vector<std::string> glassLinesWithoutTiming(const Display& display, bool unicode = true);

// Escape sequences that write `lines` with the first one at screen row `row`, column `column`
// (both 1-based, as the terminal counts them). Nothing else on the screen is touched.
std::string drawAt(std::span<const std::string> lines, int row, int column);

}  // namespace marqel::vlcd
