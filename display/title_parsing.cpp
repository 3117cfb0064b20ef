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

void FillWithBlanks(std::u16string& buffer, std::int32_t n) {
  if (n < 0) {
    RaiseInvalidCall();
  }
  buffer.assign(static_cast<std::size_t>(n), kBlank);
}

// The text query: the buffer travels to the window system in the ANSI code page and comes back
// whole, the text, its zero and any blanks the text did not overwrite. The size handed over is
// never more than the buffer really holds, whatever n says.
void QueryWindowText(const Player& player, std::int32_t n, WindowTextBuffers& buffers) {
  const platform::WindowHandle window = player.host.HostPlayerWindow();
  const auto& codePage = player.codePage;
  std::string& ansi = buffers.ansi;
  codePage.toAnsiInto(buffers.text, ansi);
  const auto size = std::clamp<std::int64_t>(n, 0, static_cast<std::int64_t>(ansi.size()));
  player.windows.GetWindowTextA(window, ansi.data(), static_cast<std::int32_t>(size));
  codePage.fromAnsiInto(ansi, buffers.text);
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

std::u16string_view ReadPlayerTitle(const Player& player, WindowTextBuffers& buffers) {
  std::int32_t n = 0;
  // Empty, as a read that fails at its first step leaves it; the storage stays for the next read.
  buffers.text.clear();
  ResumeNext([&] {
    n = TextBufferSize(player.windows.GetWindowTextLengthA(player.host.HostPlayerWindow()));
  });
  ResumeNext([&] { FillWithBlanks(buffers.text, n); });
  ResumeNext([&] { QueryWindowText(player, n, buffers); });
  ResumeNext([&] { DropLastCharacter(buffers.text); });
  return buffers.text;
}

std::u16string ReadPlayerTitle(const Player& player) {
  WindowTextBuffers buffers;
  ReadPlayerTitle(player, buffers);
  return std::move(buffers.text);
}

void SplitTitle(std::u16string_view text, ArtistAndTitle& out) {
  // Whatever precedes the first blank is the track number and its full stop.
  if (const std::size_t blank = text.find(kBlank); blank != npos) {
    text.remove_prefix(blank + 1);
  }
  if (const std::size_t suffix = text.find(kPlayerSuffix); suffix != npos) {
    text = text.substr(0, suffix);
  }
  const std::size_t separator = text.find(kArtistSeparator);
  if (separator == npos) {
    out.artist.clear();
    out.title.assign(text);
    return;
  }
  out.artist.assign(text.substr(0, separator));
  // The appended blank gives a long title a place to break at its end.
  out.title.assign(text.substr(separator + kArtistSeparator.size())).push_back(kBlank);
}

ArtistAndTitle SplitTitle(std::u16string_view text) {
  ArtistAndTitle result;
  SplitTitle(text, result);
  return result;
}

void WrapTitle(std::u16string_view title, TitleLines& out) {
  std::size_t p = LastBlankUpToSplitColumn(title);
  if (p == 0) {
    p = FirstBlankFromSplitColumn(title);
  }
  if (p == 0) {
    out.firstLine.assign(title);
    out.secondLine.clear();
    return;
  }
  // The blank at p belongs to neither line.
  out.firstLine.assign(title.substr(0, p - 1));
  out.secondLine.assign(title.substr(p));
}

TitleLines WrapTitle(std::u16string_view title) {
  TitleLines result;
  WrapTitle(title, result);
  return result;
}

}  // namespace marqel
