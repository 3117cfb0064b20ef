#pragma once
#include <string_view>

#include "display/display_memory.h"
#include "display/player_queries.h"
#include "lcd/lcd_link.h"
#include "platform/text.h"

namespace marqel {

// Line 4 while the player is paused; sent as it stands, never upper-cased.
inline constexpr std::u16string_view kPauseBanner = u"         [ Pause ]         ";

// What the refresh cycle works with: the player it polls, the link it draws through, the
// upper-casing of lines 1 to 3, and its memory of what it last drew.
struct NowPlaying {
  Player player;
  LcdLink& link;
  const platform::TextCase& textCase;
  DisplayMemory& memory;
};

// One tick of the refresh timer: poll the player and redraw what changed. Resume next
// throughout: it never raises and never stops early.
void RefreshTick(const NowPlaying& display);

}  // namespace marqel
