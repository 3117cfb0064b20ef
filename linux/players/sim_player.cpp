#include "linux/players/sim_player.h"

#include <algorithm>

#include "common/shared_types.h"
#include "common/utf.h"

namespace marqel::players {
namespace {

// Often enough for a smooth bar and a prompt change of track.
constexpr platform::EventLoop::Duration kClockStep{100};

// The number the player's window answers for its state.
std::int32_t StateNumber(SimPlayer::Mode mode) {
  switch (mode) {
    case SimPlayer::Mode::Playing:
      return PlaybackState::kPlaying;
    case SimPlayer::Mode::Paused:
      return PlaybackState::kPaused;
    case SimPlayer::Mode::Stopped:
      break;
  }
  return 0;
}

}  // namespace

std::vector<SimTrack> DefaultPlaylist() {
  return {
      {"Kestrel Lane", "Paper Lanterns", 24},
      {"The Halvorsen Quartet", "A Rather Long Title That Needs Two Lines", 42},
      {"Élodie Marchand", "Café au lait", 31},
      {"Saltmarsh", "Supercalifragilisticexpialidocious Overture in Four Movements", 37},
      {"Fenwick & Daughters", "Tide", 18},
  };
}

SimPlayer::SimPlayer(platform::EventLoop& loop, platform::WindowTable& windows,
                     const platform::CodePage& codePage, PlayerHost& host,
                     std::vector<SimTrack> playlist)
    : loop_(loop),
      windows_(windows),
      codePage_(codePage),
      host_(host),
      playlist_(std::move(playlist)),
      window_(windows_.create()) {
  if (!playlist_.empty()) load(0);
}

SimPlayer::~SimPlayer() {
  if (clock_ != 0) loop_.cancel(clock_);
  windows_.destroy(window_);
}

void SimPlayer::start() {
  if (mode_ != Mode::Playing) playOrPause();
  clock_ = loop_.callAfter(kClockStep, [this] { advanceClock(); });
}

void SimPlayer::handleKey(char key) {
  switch (key) {
    case ' ':
      playOrPause();
      break;
    case 's':
    case 'S':
      stop();
      break;
    case 'n':
    case 'N':
      nextTrack();
      break;
    case 'c':
    case 'C':
      host_.configure();
      break;
    case 'q':
    case 'Q':
      host_.quit();
      break;
    default:
      break;
  }
}

void SimPlayer::playOrPause() {
  if (playlist_.empty()) return;
  switch (mode_) {
    case Mode::Playing:
      positionMs_ = positionNow();
      mode_ = Mode::Paused;
      break;
    case Mode::Paused:
    case Mode::Stopped:
      playingSince_ = loop_.nowMs();
      mode_ = Mode::Playing;
      break;
  }
  publish();
}

void SimPlayer::stop() {
  mode_ = Mode::Stopped;
  positionMs_ = 0;
  publish();
}

void SimPlayer::nextTrack() {
  if (playlist_.empty()) return;
  load((track_ + 1) % playlist_.size());
  publish();
}

void SimPlayer::load(std::size_t track) {
  track_ = track;
  positionMs_ = 0;
  playingSince_ = loop_.nowMs();
  const SimTrack& current = playlist_[track_];
  const std::string text =
      std::to_string(track_ + 1) + ". " + current.artist + " - " + current.title + " - Winamp";
  platform::PlayerWindowState* state = windows_.find(window_);
  state->text = codePage_.toAnsi(Utf8ToUtf16(text));
  state->lengthSeconds = current.lengthSeconds;
}

std::int32_t SimPlayer::positionNow() const {
  if (mode_ != Mode::Playing) return positionMs_;
  const std::int64_t played = positionMs_ + (loop_.nowMs() - playingSince_);
  return static_cast<std::int32_t>(std::min<std::int64_t>(played, INT32_MAX));
}

void SimPlayer::advanceClock() {
  clock_ = loop_.callAfter(kClockStep, [this] { advanceClock(); });
  if (mode_ == Mode::Playing && !playlist_.empty() &&
      positionNow() >= playlist_[track_].lengthSeconds * 1000) {
    load((track_ + 1) % playlist_.size());
  }
  publish();
}

void SimPlayer::publish() {
  platform::PlayerWindowState* state = windows_.find(window_);
  state->state = StateNumber(mode_);
  state->positionMs = positionNow();
  if (onChange) onChange();
}

PlayerStatus SimPlayer::status() const {
  PlayerStatus status;
  status.state = StateNumber(mode_);
  status.track = std::to_string(track_ + 1) + "/" + std::to_string(playlist_.size());
  if (!playlist_.empty()) {
    const SimTrack& current = playlist_[track_];
    status.artist = current.artist;
    status.title = current.title;
    status.lengthSeconds = current.lengthSeconds;
  }
  status.positionMs = positionNow();
  return status;
}

}  // namespace marqel::players
