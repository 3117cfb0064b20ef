#pragma once
// The player as the display reaches it: its main window, which the host names, and the window
// system's queries on that window. Each query asks the host for the window anew, so a player
// restarted between two queries is still found; a missing or failing host raises in the query.
#include <cstdint>

#include "platform/player_window.h"
#include "platform/text.h"

namespace marqel {

// What the display needs of the host: the player's main window.
class PlayerWindowSource {
 public:
  virtual ~PlayerWindowSource() = default;
  // Raises a RuntimeError when there is no host or the host fails the call.
  virtual platform::WindowHandle HostPlayerWindow() = 0;
};

struct Player {
  PlayerWindowSource& host;
  platform::PlayerWindows& windows;
  // The window text travels through the system's ANSI code page.
  const platform::CodePage& codePage;
};

// 1 playing, 3 paused, anything else stopped.
std::int32_t QueryPlaybackState(const Player& player);
// Seconds; 0 or less when no track is loaded.
std::int32_t QueryTrackLengthSeconds(const Player& player);
// Milliseconds into the current track.
std::int32_t QueryTrackPositionMs(const Player& player);

}  // namespace marqel
