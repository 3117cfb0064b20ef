#pragma once
// What the hosts ask of a player stand-in: it plays on the host's loop, keeps its main window in
// the window table as the player would, takes keys from the terminal and says what it is doing.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/shared_types.h"
#include "platform/player_window.h"

namespace marqel::players {

// What a stand-in is doing, as the hosts show it. Texts in UTF-8.
struct PlayerStatus {
  std::int32_t state = 0;  // the playback state number (PlaybackState); anything else: stopped
  std::string track;       // "2/5", or what stands in for it
  std::string artist;
  std::string title;
  std::int32_t positionMs = 0;
  std::int32_t lengthSeconds = 0;
};

// "playing", "paused" or "stopped", as the hosts show a playback state number.
inline const char* StateName(std::int32_t state) {
  switch (state) {
    case PlaybackState::kPlaying:
      return "playing";
    case PlaybackState::kPaused:
      return "paused";
    default:
      return "stopped";
  }
}

class PlayerStandIn {
 public:
  virtual ~PlayerStandIn() = default;

  // What the hosts call it ("simulated player") and the keys it answers, for their help lines.
  virtual std::string_view name() const = 0;
  virtual std::string_view keysHelp() const = 0;

  // Starts playing, on the loop.
  virtual void start() = 0;
  // A key pressed in the host's terminal.
  virtual void handleKey(char key) = 0;
  // The player's main window as the host object gives it to the plug-in; nullopt while the
  // player has none to give. Asked before every window query, so a stand-in may bring its
  // window's answers up to this moment.
  virtual std::optional<platform::WindowHandle> windowToGive() = 0;
  virtual PlayerStatus status() const = 0;

  // Called after every change a stand-in makes of its own accord (a track that plays on), if it
  // tells; a host that must follow one that does not looks at status() now and then.
  std::function<void()> onChange;
};

}  // namespace marqel::players
