#pragma once
#include <string_view>

#include "display/display_memory.h"
#include "display/player_queries.h"
#include "display/title_parsing.h"
#include "lcd/lcd_link.h"
#include "platform/text.h"

namespace marqel {

// Line 4 while the player is paused; sent as it stands, never upper-cased.
inline constexpr std::u16string_view kPauseBanner = u"         [ Pause ]         ";

// Storage the refresh cycle keeps from tick to tick for the texts of a tick: the window text, its
// artist and title, the title's two lines and a line upper-cased on its way out. Each tick fills
// them afresh; once they have held texts as long as the ones it reads, a tick allocates nothing.
struct RefreshBuffers {
  WindowTextBuffers windowText;
  ArtistAndTitle text;
  TitleLines lines;
  std::u16string upperCased;
};

// What the refresh cycle works with: the player it polls, the link it draws through, the
// upper-casing of lines 1 to 3, its memory of what it last drew, and its buffers.
struct NowPlaying {
  Player player;
  LcdLink& link;
  const platform::TextCase& textCase;
  DisplayMemory& memory;
  RefreshBuffers& buffers;
};

// One tick of the refresh timer: poll the player and redraw what changed. Resume next
// throughout: it never raises and never stops early.
void RefreshTick(const NowPlaying& display);

}  // namespace marqel
