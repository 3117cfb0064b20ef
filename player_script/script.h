#pragma once
// Player scripts: what a scripted player does, one command a line.
//
//   # comment                  blank lines and lines starting with # (after any blanks) are
//                              ignored
//   title TEXT                 the window text from now on (everything after "title ", UTF-8);
//                              "title" alone makes it empty
//   state N                    answer to the playback-state query (1 playing, 3 paused)
//   length N                   answer to the track-length query, in seconds
//   position N                 answer to the track-position query, in milliseconds
//   window none | window ok    the host cannot / can again give the player window
//   tick [N]                   let N refresh ticks run (default 1) with the answers as they stand
//   configure                  open the plug-in's dialog; the dialog lines that follow act on it
//                              while ticks go on:
//   dialog com N               click the option button COMn (1 to 4)
//   dialog contrast N          move the contrast bar to N (0 to 127)
//   dialog setsave             click "Set & Save"
//   dialog exit                click "Exit" (closes the dialog)
//   dialog close               close the window by its own close command
//   quit                       quit the plug-in (the end of the file means quit too)
//
// Blanks or tabs part a command from its arguments. Numbers are signed 32-bit decimals, with one
// sign at most. A line ends in LF, CR LF or a CR alone.
#include <cstdint>
#include <filesystem>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace marqel::players {

struct ScriptCommand {
  enum class Kind {
    Title,
    State,
    Length,
    Position,
    WindowNone,
    WindowOk,
    Tick,
    Configure,
    DialogCom,
    DialogContrast,
    DialogSetSave,
    DialogExit,
    DialogClose,
    Quit,
  };
  Kind kind = Kind::Quit;
  std::int32_t number = 0;  // State, Length, Position, Tick, DialogCom, DialogContrast
  std::string text;         // Title (UTF-8)
  int line = 0;

  bool operator==(const ScriptCommand&) const = default;
};

struct Script {
  std::string name;  // the file, as messages name it
  std::vector<ScriptCommand> commands;
};

// "FILE:LINE: what is wrong".
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Script ParseScript(std::istream& in, const std::string& name);
// Raises ScriptError also when the file cannot be read.
Script LoadScript(const std::filesystem::path& file);

}  // namespace marqel::players
