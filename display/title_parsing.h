#pragma once
// The player's window text, and what the LCD makes of it: the artist for line 1 and the title laid
// out over lines 2 and 3. Nothing here changes letter case.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace marqel {

struct Player;

// Longest window text read, in ANSI bytes. Everything the display needs lies near the start (the
// track number up to the first blank, the artist up to the first " - ", the title's break within
// its first 255 characters) and the player's suffix sits right after the title; a real title is a
// few hundred characters. A window that claims more is read only this far, so a wild length answer
// never turns into a wild allocation.
inline constexpr std::int32_t kMaxWindowTextRead = 32767;

// Split column for the title: one past the line width.
inline constexpr std::size_t kTitleSplitColumn = 28;
// Highest break position the layout can hold (it is kept in a byte).
inline constexpr std::size_t kMaxTitleBreak = 255;

struct ArtistAndTitle {
  std::u16string artist;
  std::u16string title;  // ends in one blank whenever an artist was split off
};

struct TitleLines {
  std::u16string firstLine;   // may be longer than a line; only the first 27 are shown
  std::u16string secondLine;  // may be empty or longer than a line
};

// The buffer ReadPlayerTitle reads the window text into, in both encodings. A caller that reads
// again and again keeps one, so that its storage is reused.
struct WindowTextBuffers {
  std::u16string text;
  std::string ansi;
};

// The player's main-window text, passed once through the ANSI code page and back. Resume next per
// step: a step that fails (no host, a failing host, a length no buffer can have) is skipped and
// leaves its result as it was; see the routine for what each failure leaves. The text is read
// into `buffers`; the view returned lasts until they are used again.
std::u16string_view ReadPlayerTitle(const Player& player, WindowTextBuffers& buffers);
std::u16string ReadPlayerTitle(const Player& player);

// "12. Artist - Title - Winamp" -> ("Artist", "Title "). Drops whatever precedes the first blank
// and the player's suffix, then splits at the first " - ". Never fails. The first form fills
// `out`, reusing its storage; `text` must not view it.
void SplitTitle(std::u16string_view text, ArtistAndTitle& out);
ArtistAndTitle SplitTitle(std::u16string_view text);

// Breaks a title into two display lines at the last blank up to column 28, or else at the first
// blank after it (within the first 255 characters). Never fails. The first form fills `out`,
// reusing its storage; `title` must not view it.
void WrapTitle(std::u16string_view title, TitleLines& out);
TitleLines WrapTitle(std::u16string_view title);

}  // namespace marqel
