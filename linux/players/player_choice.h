#pragma once
// Where `--player NAME` becomes a player stand-in: the name is read (a script loaded and checked)
// before anything starts, and the stand-in made once the host's session is there. Another
// stand-in is one more name in ChoosePlayer (and kPlayerNames), one more Kind and one more branch
// in MakePlayer.
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "linux/players/player_host.h"
#include "linux/players/player_stand_in.h"
#include "platform/text.h"
#include "player_script/script.h"

namespace marqel::system {
class Session;
}

namespace marqel::players {

// The names, as the host's help shows them.
inline constexpr const char* kPlayerNames =
    "sim (a built-in playlist, keys in the terminal), script:FILE, or mpris[:NAMES]: follow a "
    "media player on the D-Bus session bus. NAMES is a priority list such as vlc,mpv; a name "
    "matches org.mpris.MediaPlayer2.NAME and its .instance... variants. Without names: the player "
    "that is playing, else the one that played last";

struct PlayerChoice {
  enum class Kind { Simulated, Scripted, Mpris };
  Kind kind = Kind::Simulated;
  Script script;                        // Kind::Scripted
  std::vector<std::string> mprisNames;  // Kind::Mpris: first choice first; empty: any player

  // Plays with no one at the terminal: the plug-in's message boxes go to standard error, and
  // the player drives the dialog itself.
  bool unattended() const { return kind == Kind::Scripted; }
  // Can play in virtual time (--fast): nothing in it follows the clock on the wall.
  bool playsInVirtualTime() const { return kind == Kind::Scripted; }
  // Someone at the terminal drives it with keys.
  bool takesKeys() const { return kind == Kind::Simulated; }
};

// "sim", "script:FILE" or "mpris[:NAMES]". Raises std::invalid_argument for a name it does not
// know, ScriptError for a script that cannot be read or is malformed.
PlayerChoice ChoosePlayer(const std::string& name);
// The player that plays `file`. Raises ScriptError.
PlayerChoice ScriptChoice(const std::filesystem::path& file);

// What a stand-in plays with: the session (its loop and window table, and the dialog a script
// drives), the code page of the window texts, the host it asks to configure and quit, and where
// it says what it cannot do.
struct StandInContext {
  system::Session& session;
  const platform::CodePage& codePage;
  PlayerHost& host;
  std::ostream& diagnostics;
  // Where a stand-in that runs by itself says what it follows (the MPRIS player).
  std::ostream& report;
};

std::unique_ptr<PlayerStandIn> MakePlayer(PlayerChoice choice, const StandInContext& context);

}  // namespace marqel::players
