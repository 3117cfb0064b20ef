#pragma once
// The player's user messages. Each query asks the host for the player's window anew, so a player
// restarted between two queries is still found; a missing or failing host raises in the query.
#include <cstdint>

namespace marqel {

class Component;

// 1 playing, 3 paused, anything else stopped.
std::int32_t QueryPlaybackState(Component& component);
// Seconds; 0 or less when no track is loaded.
std::int32_t QueryTrackLengthSeconds(Component& component);
// Milliseconds into the current track.
std::int32_t QueryTrackPositionMs(Component& component);

}  // namespace marqel
