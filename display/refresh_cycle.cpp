#include "display/refresh_cycle.h"

#include <cstdint>
#include <string>

#include "common/byte_conversion.h"
#include "common/runtime_error.h"
#include "common/shared_types.h"
#include "display/display_memory.h"
#include "display/number_conversion.h"
#include "display/player_queries.h"
#include "display/title_parsing.h"
#include "lcd/lcd_link.h"
#include "lcd/lcd_protocol.h"

namespace marqel {
namespace {

constexpr std::uint8_t kController1 = 1;
constexpr std::uint8_t kController2 = 2;
constexpr std::uint8_t kFilledCell = 0xFF;
constexpr std::uint8_t kEmptyCell = 0x20;
constexpr double kMillisecondsPerSecond = 1000.0;

// What one tick learns; everything starts at 0 or empty, which is also what a skipped query
// leaves. Its texts live in the cycle's buffers.
struct TickValues {
  const ArtistAndTitle& text;
  std::int32_t state = 0;
  std::int32_t lengthSeconds = 0;
  std::int32_t positionSeconds = 0;
  std::uint8_t bar = 0;
};

bool ShowsTrack(std::int32_t state) {
  return state == PlaybackState::kPlaying || state == PlaybackState::kPaused;
}

void WriteLine(const NowPlaying& display, std::uint8_t controller, std::uint8_t lineCommand,
               std::u16string_view text) {
  ResumeNext([&] { SendLcdCommand(display.link, controller, lineCommand); });
  ResumeNext([&] { SendLcdText(display.link, text, controller); });
}

void EnterPlayingOrPaused(const NowPlaying& display, std::int32_t state) {
  DisplayMemory& memory = display.memory;
  if (!ShowsTrack(memory.lastState)) {
    // Coming from stopped: whatever the text, it is drawn again on this tick.
    memory.lastArtist.clear();
    memory.lastTitle.clear();
  }
  OpenPortIfClosed(display.link);
  if (state == PlaybackState::kPaused) {
    WriteLine(display, kController2, kSecondLineOfController, kPauseBanner);
    memory.lastBar = kNoBar;
  }
}

void EnterStopped(const NowPlaying& display) {
  ResumeNext([&] { SendLcdCommand(display.link, kController1, kClearDisplay); });
  ResumeNext([&] { SendLcdCommand(display.link, kController2, kClearDisplay); });
  // Cleared first, then released: the clears must still reach the display.
  ClosePortIfOpen(display.link);
  display.memory.lastBar = kNoBar;
}

void FollowStateChange(const NowPlaying& display, std::int32_t state) {
  DisplayMemory& memory = display.memory;
  if (state == static_cast<std::int32_t>(memory.lastState)) {
    return;
  }
  if (ShowsTrack(state)) {
    EnterPlayingOrPaused(display, state);
  } else {
    EnterStopped(display);
  }
  // A state that is no byte is not remembered, so it counts as a change again next tick.
  ResumeNext([&] { memory.lastState = ToByte(state); });
}

// Lines 1 to 3 are written in upper case.
void WriteUpperCaseLine(const NowPlaying& display, std::uint8_t controller,
                        std::uint8_t lineCommand, std::u16string_view text) {
  std::u16string& upper = display.buffers.upperCased;
  display.textCase.upperCaseInto(text, upper);
  WriteLine(display, controller, lineCommand, upper);
}

void RedrawTextIfChanged(const NowPlaying& display, const TickValues& tick) {
  DisplayMemory& memory = display.memory;
  const bool changed = tick.text.artist != memory.lastArtist || tick.text.title != memory.lastTitle;
  if (!changed || !ShowsTrack(tick.state)) {
    return;
  }
  OpenPortIfClosed(display.link);
  TitleLines& lines = display.buffers.lines;
  WrapTitle(tick.text.title, lines);
  WriteUpperCaseLine(display, kController1, kFirstLineOfController, tick.text.artist);
  WriteUpperCaseLine(display, kController1, kSecondLineOfController, lines.firstLine);
  WriteUpperCaseLine(display, kController2, kFirstLineOfController, lines.secondLine);
  // Remembered as the player gave them, so a change of case alone still counts as a change.
  memory.lastArtist = tick.text.artist;
  memory.lastTitle = tick.text.title;
}

void DrawBar(const NowPlaying& display, std::uint8_t bar) {
  ResumeNext([&] { SendLcdCommand(display.link, kController2, kSecondLineOfController); });
  // Cell by cell as data bytes: the filled cell is no character of the code page.
  for (int cell = 1; cell <= BAR_CELLS; ++cell) {
    const std::uint8_t code = cell <= bar ? kFilledCell : kEmptyCell;
    ResumeNext([&] { SendLcdByte(display.link, code, false, kController2); });
  }
}

void UpdateProgressBar(const NowPlaying& display, TickValues& tick) {
  if (tick.state != PlaybackState::kPlaying) {
    return;
  }
  ResumeNext([&] { tick.lengthSeconds = QueryTrackLengthSeconds(display.player); });
  if (tick.lengthSeconds <= 0) {
    return;
  }
  ResumeNext([&] {
    tick.positionSeconds = RoundToInt32(static_cast<double>(QueryTrackPositionMs(display.player)) /
                                        kMillisecondsPerSecond);
  });
  // A position of -1 s (judged after rounding) leaves line 4 as it is.
  if (tick.positionSeconds == -1) {
    return;
  }
  ResumeNext([&] {
    tick.bar =
        RoundToByte(static_cast<double>(BAR_CELLS) / static_cast<double>(tick.lengthSeconds) *
                    static_cast<double>(tick.positionSeconds));
  });
  DisplayMemory& memory = display.memory;
  if (tick.bar == memory.lastBar) {
    return;
  }
  OpenPortIfClosed(display.link);
  DrawBar(display, tick.bar);
  memory.lastBar = tick.bar;
}

}  // namespace

void RefreshTick(const NowPlaying& display) {
  RefreshBuffers& buffers = display.buffers;
  // Neither raises: a failing query inside them leaves an empty text.
  SplitTitle(ReadPlayerTitle(display.player, buffers.windowText), buffers.text);
  TickValues tick{buffers.text};
  ResumeNext([&] { tick.state = QueryPlaybackState(display.player); });
  // Output order within a tick: the change of state, then the text, then the bar.
  FollowStateChange(display, tick.state);
  RedrawTextIfChanged(display, tick);
  UpdateProgressBar(display, tick);
}

}  // namespace marqel
