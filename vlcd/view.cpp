#include "vlcd/view.h"

namespace marqel::vlcd {

namespace {

std::string repeat(std::string_view piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

// Status text is ASCII, so its width is its length.
std::string fit(std::string text) {
  text.resize(static_cast<std::size_t>(kViewWidth), ' ');
  return text;
}

}  // namespace

std::vector<std::string> glassLinesWithoutTiming(const Display& display, bool unicode) {
  const std::string_view side = unicode ? "│" : "|";
  const std::string_view across = unicode ? "─" : "-";
  std::vector<std::string> lines;
  lines.push_back((unicode ? "┌" : "+") + repeat(across, Display::kColumns) +
                  (unicode ? "┐" : "+"));
  if (unicode) {
    for (const std::string& row : display.glassUnicode()) {
      lines.push_back(std::string(side) + row + std::string(side));
    }
  } else {
    for (const std::string& row : display.glassText()) {
      lines.push_back(std::string(side) + row + std::string(side));
    }
  }
  lines.push_back((unicode ? "└" : "+") + repeat(across, Display::kColumns) +
                  (unicode ? "┘" : "+"));

  const auto contrast = display.contrast();
  lines.push_back(fit(" contrast " + (contrast ? std::to_string(*contrast) : std::string("-")) +
                      "  stray " + std::to_string(display.strayBytes())));
  return lines;
}

std::vector<std::string> glassLines(const Display& display, bool unicode) {
  std::vector<std::string> lines = glassLinesWithoutTiming(display, unicode);
  lines.push_back(fit(" timing faults 1:" + std::to_string(display.faultCount(1)) +
                      " 2:" + std::to_string(display.faultCount(2))));
  return lines;
}

std::string drawAt(std::span<const std::string> lines, int row, int column) {
  std::string out;
  for (const std::string& line : lines) {
    out += "\x1b[" + std::to_string(row++) + ";" + std::to_string(column) + "H";
    out += line;
  }
  return out;
}

}  // namespace marqel::vlcd
