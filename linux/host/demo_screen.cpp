#include "linux/host/demo_screen.h"

#include <langinfo.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <vector>

#include "common/shared_types.h"
#include "linux/posix/terminal.h"
#include "vlcd/view.h"

namespace marqel::host {
namespace {

constexpr int kLeftWidth = 44;
constexpr int kBarCells = 24;

bool Utf8Terminal() {
  std::setlocale(LC_CTYPE, "");
  const char* codeset = ::nl_langinfo(CODESET);
  return codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
}

// Terminal columns of UTF-8 text (every character one column).
int Width(const std::string& text) {
  int width = 0;
  for (const char c : text) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return width;
}

// Cut to `columns` (never inside a character), then filled with blanks up to it.
std::string Fit(const std::string& text, int columns) {
  std::string out;
  int width = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) != 0x80) {
      if (width == columns) break;
      ++width;
    }
    out += text[i];
  }
  out.append(static_cast<std::size_t>(std::max(0, columns - width)), ' ');
  return out;
}

std::string Clock(std::int64_t ms) {
  const std::int64_t seconds = std::max<std::int64_t>(ms, 0) / 1000;
  const std::int64_t s = seconds % 60;
  return std::to_string(seconds / 60) + ":" + (s < 10 ? "0" : "") + std::to_string(s);
}

// The text cut into pieces of at most `columns` columns, at blanks where it can.
std::vector<std::string> Wrap(const std::string& text, int columns) {
  std::vector<std::string> lines;
  std::string rest = text;
  while (Width(rest) > columns) {
    std::string head = Fit(rest, columns);
    auto cut = head.rfind(' ');
    if (cut == std::string::npos || cut == 0) cut = head.size();
    lines.push_back(rest.substr(0, cut));
    rest = rest.substr(std::min(rest.size(), cut + (cut < rest.size() && rest[cut] == ' ')));
  }
  if (!rest.empty()) lines.push_back(rest);
  return lines;
}

}  // namespace

DemoScreen::DemoScreen(int out) : out_(out), unicode_(Utf8Terminal()) {
  enter();
}

DemoScreen::~DemoScreen() {
  if (!suspended_) leave();
}

void DemoScreen::write(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(out_, text.data() + done, text.size() - done);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return;
    }
    done += static_cast<std::size_t>(n);
  }
}

// The alternate screen, cleared, without a cursor.
void DemoScreen::enter() {
  write("\x1b[?1049h\x1b[2J\x1b[?25l");
}
void DemoScreen::leave() {
  write("\x1b[?25h\x1b[?1049l");
}

void DemoScreen::suspend() {
  if (suspended_) return;
  suspended_ = true;
  leave();
}

void DemoScreen::resume() {
  if (!suspended_) return;
  suspended_ = false;
  enter();
}

void DemoScreen::draw(const vlcd::Display& display) {
  if (suspended_) return;
  const int columns = posix::TerminalColumns(out_);

  std::vector<std::string> left;
  const std::string icon = player_.state == PlaybackState::kPlaying  ? (unicode_ ? "▶" : ">")
                           : player_.state == PlaybackState::kPaused ? (unicode_ ? "⏸" : "=")
                                                                     : (unicode_ ? "■" : "#");
  left.push_back(" Player");
  left.push_back("");
  left.push_back("  " + icon + " " + players::StateName(player_.state) + "   track " +
                 player_.track);
  left.push_back("  Artist: " + player_.artist);
  left.push_back("  Title:  " + player_.title);
  left.push_back("  Time:   " + Clock(player_.positionMs) + " / " +
                 Clock(static_cast<std::int64_t>(player_.lengthSeconds) * 1000));
  const int filled =
      player_.lengthSeconds > 0
          ? std::clamp(static_cast<int>(static_cast<std::int64_t>(player_.positionMs) * kBarCells /
                                        (static_cast<std::int64_t>(player_.lengthSeconds) * 1000)),
                       0, kBarCells)
          : 0;
  std::string bar = "  [";
  for (int i = 0; i < kBarCells; ++i)
    bar += i < filled ? (unicode_ ? "█" : "#") : (unicode_ ? "·" : ".");
  left.push_back(bar + "]");

  std::vector<std::string> right;
  right.push_back("LCD " + portLabel_);
  right.push_back("");
  // A pseudo-terminal carries no timing, so the model's timing faults would mean nothing here.
  const std::vector<std::string> glass = vlcd::glassLinesWithoutTiming(display, unicode_);
  right.insert(right.end(), glass.begin(), glass.end());

  std::vector<std::string> lines;
  lines.push_back(" Marqel demo: a simulated player drives the plug-in; its serial port is a");
  lines.push_back(" pseudo-terminal read by a virtual LCD.");
  lines.push_back("");
  const std::size_t rows = std::max(left.size(), right.size());
  for (std::size_t i = 0; i < rows; ++i) {
    const std::string l = i < left.size() ? left[i] : "";
    const std::string r = i < right.size() ? right[i] : "";
    // Cut short of the column, so the glass keeps a gap from a long title.
    lines.push_back(Fit(Fit(l, kLeftWidth - 2), kLeftWidth) + r);
  }
  lines.push_back("");
  lines.push_back(" Plug-in: " + description_);
  const auto message = Wrap(message_.empty() ? "-" : message_, std::max(20, columns - 11));
  for (std::size_t i = 0; i < message.size() && i < 3; ++i) {
    lines.push_back(std::string(i == 0 ? " Message: " : "          ") + message[i]);
  }
  lines.push_back("");
  lines.push_back(" Keys: " + keys_);

  std::string frame;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    frame += "\x1b[" + std::to_string(i + 1) + ";1H" + Fit(lines[i], columns - 1) + "\x1b[K";
  }
  frame += "\x1b[J";
  write(frame);
}

}  // namespace marqel::host
