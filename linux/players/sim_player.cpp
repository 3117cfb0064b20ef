#include "linux/players/sim_player.h"

#include <algorithm>

#include "common/shared_types.h"
#include "common/utf.h"

namespace marqel::players {
namespace {

constexpr std::int64_t kMillisecondsPerSecond = 1000;

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
  if (trackEnd_ != 0) loop_.cancel(trackEnd_);
  windows_.destroy(window_);
}

void SimPlayer::start() {
  if (mode_ != Mode::Playing) playOrPause();
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
  catchUp();
  const std::int64_t now = loop_.nowMs();
  head_.positionMs = positionNow();
  head_.since = now;
  mode_ = mode_ == Mode::Playing ? Mode::Paused : Mode::Playing;
  publish();
}

void SimPlayer::stop() {
  mode_ = Mode::Stopped;
  head_.positionMs = 0;
  head_.since = loop_.nowMs();
  publish();
}

void SimPlayer::nextTrack() {
  if (playlist_.empty()) return;
  catchUp();
  load((head_.track + 1) % playlist_.size());
  publish();
}

void SimPlayer::load(std::size_t track) {
  head_ = Playhead{track, 0, loop_.nowMs()};
  const SimTrack& current = playlist_[track];
  const std::string text =
      std::to_string(track + 1) + ". " + current.artist + " - " + current.title + " - Winamp";
  platform::PlayerWindowState* state = windows_.find(window_);
  state->text = codePage_.toAnsi(Utf8ToUtf16(text));
  state->lengthSeconds = current.lengthSeconds;
}

SimPlayer::Playhead SimPlayer::playheadAt(std::int64_t nowMs) const {
  Playhead head = head_;
  if (mode_ != Mode::Playing || playlist_.empty()) return head;
  for (;;) {
    const std::int64_t lengthMs = playlist_[head.track].lengthSeconds * kMillisecondsPerSecond;
    // A track without a length has no end to reach: it plays until a key moves the player on.
    if (lengthMs <= 0 || head.positionMs + (nowMs - head.since) < lengthMs) return head;
    head.since += std::max<std::int64_t>(lengthMs - head.positionMs, 0);
    head.positionMs = 0;
    head.track = (head.track + 1) % playlist_.size();
  }
}

void SimPlayer::catchUp() {
  const Playhead head = playheadAt(loop_.nowMs());
  if (head.track != head_.track) load(head.track);
  head_ = head;
}

std::int32_t SimPlayer::positionNow() const {
  const std::int64_t now = loop_.nowMs();
  const Playhead head = playheadAt(now);
  const std::int64_t played =
      mode_ == Mode::Playing ? head.positionMs + (now - head.since) : head.positionMs;
  return static_cast<std::int32_t>(std::min<std::int64_t>(played, INT32_MAX));
}

void SimPlayer::scheduleTrackEnd() {
  if (trackEnd_ != 0) loop_.cancel(trackEnd_);
  trackEnd_ = 0;
  if (mode_ != Mode::Playing || playlist_.empty()) return;
  const std::int64_t lengthMs = playlist_[head_.track].lengthSeconds * kMillisecondsPerSecond;
  if (lengthMs <= 0) return;
  const std::int64_t left = std::max<std::int64_t>(lengthMs - positionNow(), 0);
  trackEnd_ = loop_.callAfter(platform::EventLoop::Duration(left), [this] { onTrackEnd(); });
}

void SimPlayer::onTrackEnd() {
  trackEnd_ = 0;
  catchUp();
  publish();
}

std::optional<platform::WindowHandle> SimPlayer::windowToGive() {
  catchUp();
  updateWindow();
  return window_;
}

void SimPlayer::updateWindow() {
  platform::PlayerWindowState* state = windows_.find(window_);
  state->state = StateNumber(mode_);
  state->positionMs = positionNow();
}

void SimPlayer::publish() {
  updateWindow();
  scheduleTrackEnd();
  if (onChange) onChange();
}

PlayerStatus SimPlayer::status() const {
  PlayerStatus status;
  status.state = StateNumber(mode_);
  const std::size_t track = playheadAt(loop_.nowMs()).track;
  status.track = std::to_string(track + 1) + "/" + std::to_string(playlist_.size());
  if (!playlist_.empty()) {
    const SimTrack& current = playlist_[track];
    status.artist = current.artist;
    status.title = current.title;
    status.lengthSeconds = current.lengthSeconds;
  }
  status.positionMs = positionNow();
  return status;
}

}  // namespace marqel::players
