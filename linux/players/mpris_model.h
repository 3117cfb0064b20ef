#pragma once
// What a media player tells over MPRIS, turned into what the player window answers: its text
// "<n>. <artist> - <title> - Winamp", its state, length and position, and which of the players on
// the bus the window follows. Pure: no bus, no loop.
//
// The window text is laid out so that the plug-in's title parser gets the artist and the title
// back whole, whatever they hold:
// - the number is the track number, else the track's place in the player's track list, else 1;
// - several artists are joined with ", ";
// - a missing or empty artist leaves line 1 blank (the text is "<n>.  - <title> - Winamp");
// - a missing or empty title falls back to the file name of the track's URL, without its
//   extension; without one the title lines stay blank;
// - a " - " inside the artist, or a " - Winamp" inside the title, would cut the text in the wrong
//   place: its blank becomes a no-break space, which the display shows as a blank;
// - a title that starts with "Winamp" gets a leading no-break space for the same reason;
// - control characters become blanks, characters beyond the 16-bit range one U+FFFD (the code
//   page then shows '?'), blanks around artist and title are dropped, and each is cut at 255
//   characters (the display shows at most 27 of the artist and 54 of the title).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marqel::players::mpris {

// Every MPRIS player owns a bus name with this prefix.
inline constexpr std::string_view kBusNamePrefix = "org.mpris.MediaPlayer2.";

enum class Status { Stopped, Playing, Paused };

// "Playing" and "Paused" as they are; anything else (Stopped, or a word no player should send)
// is stopped.
Status StatusFromText(std::string_view playbackStatus);
// The state query's answer: 1 playing, 3 paused, 0 stopped.
std::int32_t StateNumber(Status status);

// The metadata the window text is made of (texts in UTF-8, as the bus carries them).
struct Track {
  std::optional<std::int64_t> trackNumber;  // xesam:trackNumber
  std::vector<std::string> artists;         // xesam:artist
  std::string title;                        // xesam:title
  std::string url;                          // xesam:url
  std::string trackId;                      // mpris:trackid
  std::optional<std::int64_t> lengthUs;     // mpris:length
};

// `listPosition` is the track's place (from 1) in the player's track list, when known.
std::u16string WindowText(const Track& track, std::optional<std::int64_t> listPosition);
// mpris:length in whole seconds (rounded, at least 1 for any positive length); 0 when there is
// none.
std::int32_t LengthSeconds(std::optional<std::int64_t> lengthUs);
// A position in microseconds as milliseconds, held to 0 .. INT32_MAX.
std::int32_t PositionMs(std::int64_t positionUs);

// "vlc,mpv" as the list of names to follow, first choice first; "" for any player. Raises
// std::invalid_argument for an empty name or one a bus name cannot hold.
std::vector<std::string> ParsePlayerNames(std::string_view list);
// Whether `busName` is the player `name`: org.mpris.MediaPlayer2.NAME, or one of its instances
// org.mpris.MediaPlayer2.NAME.instance...
bool NameMatches(std::string_view busName, std::string_view name);

struct Candidate {
  std::string_view busName;
  Status status = Status::Stopped;  // a player that does not answer counts as stopped
  // Loop time (ms) when the player last began or ended playing; -1 when it never played.
  std::int64_t lastPlayedMs = -1;
};

// The player the window follows: with `names`, the first name that any player on the bus
// matches; among its players (or among all of them without names) the one playing, else the one
// that played most recently, else the first found. nullopt when none is there.
std::optional<std::size_t> ChoosePlayer(const std::vector<Candidate>& players,
                                        const std::vector<std::string>& names);

}  // namespace marqel::players::mpris
