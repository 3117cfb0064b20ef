#pragma once
// Types shared by the component's subsystems.
#include <cstdint>

namespace marqel {

// Width of a display line and number of progress-bar cells.
inline constexpr int BAR_CELLS = 27;

// The two settings that persist: serial port number (1..4 for COM1..COM4) and LCD contrast
// (0..127). A hand-edited settings file can hold any byte value; they are kept as read.
struct LinkSettings {
  std::uint8_t port = 1;
  std::uint8_t contrast = 0;
};

// The player's state number: 1 playing, 3 paused, anything else stopped.
namespace PlaybackState {
inline constexpr std::int32_t kPlaying = 1;
inline constexpr std::int32_t kPaused = 3;
}  // namespace PlaybackState

}  // namespace marqel
