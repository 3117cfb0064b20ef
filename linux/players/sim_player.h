#pragma once
// A simulated player: a built-in playlist played in real time on the host's loop, with its main
// window in the window table ("<n>. <artist> - <title> - Winamp") answering the state, length and
// position queries. Keys (from the terminal) play, pause, stop and skip.
#include <cstdint>
#include <string>
#include <vector>

#include "linux/players/player_host.h"
#include "linux/players/player_stand_in.h"
#include "linux/system/event_loop.h"
#include "linux/system/window_table.h"
#include "platform/text.h"

namespace marqel::players {

struct SimTrack {
  std::string artist;  // UTF-8
  std::string title;   // UTF-8
  std::int32_t lengthSeconds = 0;
};

// A few tracks: short and long titles, one that needs two lines, one too long for two.
std::vector<SimTrack> DefaultPlaylist();

class SimPlayer final : public PlayerStandIn {
 public:
  enum class Mode { Stopped, Playing, Paused };

  SimPlayer(platform::EventLoop& loop, platform::WindowTable& windows,
            const platform::CodePage& codePage, PlayerHost& host,
            std::vector<SimTrack> playlist = DefaultPlaylist());
  ~SimPlayer() override;
  SimPlayer(const SimPlayer&) = delete;
  SimPlayer& operator=(const SimPlayer&) = delete;

  std::string_view name() const override { return "simulated player"; }
  std::string_view keysHelp() const override {
    return "space play/pause  s stop  n next  c configure  q quit";
  }

  // Starts playing the first track.
  void start() override;
  // Space: play / pause / resume; s: stop; n: next track; c: configure; q: quit. Any other key
  // does nothing.
  void handleKey(char key) override;

  void playOrPause();
  void stop();
  void nextTrack();

  // Its window is always there to give.
  std::optional<platform::WindowHandle> windowToGive() override { return window_; }
  // The track as "<n>/<count>". Every change it shows (state, track, and the position as it
  // runs) is told through onChange.
  PlayerStatus status() const override;

 private:
  void load(std::size_t track);
  void advanceClock();
  void publish();
  std::int32_t positionNow() const;

  platform::EventLoop& loop_;
  platform::WindowTable& windows_;
  const platform::CodePage& codePage_;
  PlayerHost& host_;
  std::vector<SimTrack> playlist_;
  platform::WindowHandle window_;
  std::size_t track_ = 0;
  Mode mode_ = Mode::Stopped;
  std::int32_t positionMs_ = 0;  // at playingSince_ while playing
  std::int64_t playingSince_ = 0;
  int clock_ = 0;
};

}  // namespace marqel::players
