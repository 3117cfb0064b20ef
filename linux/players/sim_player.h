#pragma once
// A simulated player: a built-in playlist played in real time on the host's loop, with its main
// window in the window table ("<n>. <artist> - <title> - Winamp") answering the state, length and
// position queries. Keys (from the terminal) play, pause, stop and skip.
//
// The position is worked out from the loop's clock whenever someone asks (the plug-in's window
// queries, a host drawing the status), so the player itself wakes only for what changes of its
// own accord: the end of a track.
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

  // Its window is always there to give, its answers brought up to this moment.
  std::optional<platform::WindowHandle> windowToGive() override;
  // The track as "<n>/<count>", the position as of now. Every change of state or track is told
  // through onChange; the position runs on without being told.
  PlayerStatus status() const override;

 private:
  // Where the player stands: a track, and its position at a moment of loop time.
  struct Playhead {
    std::size_t track = 0;
    std::int64_t positionMs = 0;  // at `since`
    std::int64_t since = 0;       // loop milliseconds
  };

  void load(std::size_t track);
  // The playhead at `nowMs`: every track end passed meanwhile moves it on to the next track,
  // which starts the moment the one before it ended.
  Playhead playheadAt(std::int64_t nowMs) const;
  // Takes the playhead up to now, loading the track it has reached.
  void catchUp();
  std::int32_t positionNow() const;
  // Wakes the player at the end of the playing track (and for nothing else).
  void scheduleTrackEnd();
  void onTrackEnd();
  // Brings the window's state and position up to now.
  void updateWindow();
  void publish();

  platform::EventLoop& loop_;
  platform::WindowTable& windows_;
  const platform::CodePage& codePage_;
  PlayerHost& host_;
  std::vector<SimTrack> playlist_;
  platform::WindowHandle window_;
  Mode mode_ = Mode::Stopped;
  Playhead head_;  // while playing, the position runs on from head_.since
  int trackEnd_ = 0;
};

}  // namespace marqel::players
