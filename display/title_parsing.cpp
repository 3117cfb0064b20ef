#include "display/title_parsing.h"

#include <algorithm>

#include "common/runtime_error.h"
#include "display/player_queries.h"

namespace marqel {
namespace {

constexpr char16_t kBlank = u' ';
constexpr std::u16string_view kPlayerSuffix = u" - Winamp";
constexpr std::u16string_view kArtistSeparator = u" - ";
constexpr auto npos = std::u16string_view::npos;

[[noreturn]] void RaiseInvalidCall() {
  throw RuntimeError(err::kInvalidProcedureCall, "Invalid procedure call or argument");
}

// n: the reported length, capped, plus one for the terminating zero. A negative report gives an n
// of 0 or less, which no buffer can have.
std::int32_t TextBufferSize(std::int32_t reportedLength) {
  return std::min(reportedLength, kMaxWindowTextRead) + 1;
}

std::u16string BlankBuffer(std::int32_t n) {
  if (n < 0) {
    RaiseInvalidCall();
  }
  return std::u16string(static_cast<std::size_t>(n), kBlank);
}

// The text query: the buffer travels to the window system in the ANSI code page and comes back
// whole, the text, its zero and any blanks the text did not overwrite. The size handed over is
// never more than the buffer really holds, whatever n says.
void QueryWindowText(const Player& player, std::int32_t n, std::u16string& buffer) {
  const platform::WindowHandle window = player.host.HostPlayerWindow();
  const auto& codePage = player.codePage;
  std::string ansi = codePage.toAnsi(buffer);
  const auto size = std::clamp<std::int64_t>(n, 0, static_cast<std::int64_t>(ansi.size()));
  player.windows.GetWindowTextA(window, ansi.data(), static_cast<std::int32_t>(size));
  buffer = codePage.fromAnsi(ansi);
}

void DropLastCharacter(std::u16string& text) {
  if (text.empty()) {
    RaiseInvalidCall();
  }
  text.pop_back();
}

// 1-based position of the last blank among positions 1 to 28; 0 when there is none, or when the
// title is shorter than 28 characters (such a title is never broken).
std::size_t LastBlankUpToSplitColumn(std::u16string_view title) {
  if (title.size() < kTitleSplitColumn) {
    return 0;
  }
  const std::size_t at = title.rfind(kBlank, kTitleSplitColumn - 1);
  return at == npos ? 0 : at + 1;
}

// 1-based position of the first blank at position 28 or later; 0 when there is none, when the
// title is shorter than 28 characters, or when it lies beyond what a break position can hold.
std::size_t FirstBlankFromSplitColumn(std::u16string_view title) {
  if (title.size() < kTitleSplitColumn) {
    return 0;
  }
  const std::size_t at = title.find(kBlank, kTitleSplitColumn - 1);
  if (at == npos || at + 1 > kMaxTitleBreak) {
    return 0;
  }
  return at + 1;
}

}  // namespace

std::u16string ReadPlayerTitle(const Player& player) {
  std::int32_t n = 0;
  std::u16string buffer;
  ResumeNext([&] {
    n = TextBufferSize(player.windows.GetWindowTextLengthA(player.host.HostPlayerWindow()));
  });
  ResumeNext([&] { buffer = BlankBuffer(n); });
  ResumeNext([&] { QueryWindowText(player, n, buffer); });
  ResumeNext([&] { DropLastCharacter(buffer); });
  return buffer;
}

ArtistAndTitle SplitTitle(std::u16string_view text) {
  // Whatever precedes the first blank is the track number and its full stop.
  if (const std::size_t blank = text.find(kBlank); blank != npos) {
    text.remove_prefix(blank + 1);
  }
  if (const std::size_t suffix = text.find(kPlayerSuffix); suffix != npos) {
    text = text.substr(0, suffix);
  }
  const std::size_t separator = text.find(kArtistSeparator);
  if (separator == npos) {
    return {std::u16string(), std::u16string(text)};
  }
  ArtistAndTitle result{std::u16string(text.substr(0, separator)), std::u16string()};
  const std::u16string_view title = text.substr(separator + kArtistSeparator.size());
  // The appended blank gives a long title a place to break at its end.
  result.title.reserve(title.size() + 1);
  result.title.append(title).push_back(kBlank);
  return result;
}

TitleLines WrapTitle(std::u16string_view title) {
  std::size_t p = LastBlankUpToSplitColumn(title);
  if (p == 0) {
    p = FirstBlankFromSplitColumn(title);
  }
  if (p == 0) {
    return {std::u16string(title), std::u16string()};
  }
  // The blank at p belongs to neither line.
  return {std::u16string(title.substr(0, p - 1)), std::u16string(title.substr(p))};
}

}  // namespace marqel
