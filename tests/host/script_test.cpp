// Player scripts: what each line means, and the message for each malformed one.
#include "player_script/script.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "linux/host/run_command.h"
#include "linux/players/player_choice.h"

namespace marqel::players {
namespace {

using Kind = ScriptCommand::Kind;

Script Parse(const std::string& text) {
  std::istringstream in(text);
  return ParseScript(in, "play.txt");
}

struct GoodLine {
  std::string text;
  ScriptCommand expected;
};

TEST(Script, EachCommandReadsAsDocumented) {
  const std::vector<GoodLine> cases = {
      {"title 12. Some Artist - Some Title - Winamp",
       {Kind::Title, 0, "12. Some Artist - Some Title - Winamp", 1}},
      {"title", {Kind::Title, 0, "", 1}},
      {"title ", {Kind::Title, 0, "", 1}},
      {"title   two leading blanks stay ", {Kind::Title, 0, "  two leading blanks stay ", 1}},
      {"title Café – naïve", {Kind::Title, 0, "Café – naïve", 1}},
      {"title with CR LF\r", {Kind::Title, 0, "with CR LF", 1}},
      {"state 1", {Kind::State, 1, "", 1}},
      {"state\t1", {Kind::State, 1, "", 1}},
      {"title\tafter a tab", {Kind::Title, 0, "after a tab", 1}},
      {"state -2147483648", {Kind::State, -2147483647 - 1, "", 1}},
      {"length 2147483647", {Kind::Length, 2147483647, "", 1}},
      {"position +1500", {Kind::Position, 1500, "", 1}},
      {"position -1", {Kind::Position, -1, "", 1}},
      {"window none", {Kind::WindowNone, 0, "", 1}},
      {"window ok", {Kind::WindowOk, 0, "", 1}},
      {"tick", {Kind::Tick, 1, "", 1}},
      {"tick 0", {Kind::Tick, 0, "", 1}},
      {"tick 1000", {Kind::Tick, 1000, "", 1}},
      {"quit", {Kind::Quit, 0, "", 1}},
  };
  for (const auto& c : cases) {
    const Script script = Parse(c.text + "\n");
    ASSERT_EQ(script.commands.size(), 1u) << c.text;
    EXPECT_EQ(script.commands[0], c.expected) << c.text;
  }
}

TEST(Script, CommentsAndBlankLinesAreSkippedButCounted) {
  const Script script = Parse("# a comment\n\n   \nstate 3\n#state 1\n  # indented\n\t#state 2\n");
  ASSERT_EQ(script.commands.size(), 1u);
  EXPECT_EQ(script.commands[0], (ScriptCommand{Kind::State, 3, "", 4}));
}

TEST(Script, DialogLinesFollowAConfigure) {
  const Script script = Parse(
      "configure\ndialog com 3\ndialog contrast 127\ntick 2\ndialog setsave\ndialog exit\n"
      "configure\ndialog close\n");
  std::vector<Kind> kinds;
  for (const auto& command : script.commands) kinds.push_back(command.kind);
  EXPECT_EQ(kinds, (std::vector<Kind>{Kind::Configure, Kind::DialogCom, Kind::DialogContrast,
                                      Kind::Tick, Kind::DialogSetSave, Kind::DialogExit,
                                      Kind::Configure, Kind::DialogClose}));
  EXPECT_EQ(script.commands[1].number, 3);
  EXPECT_EQ(script.commands[2].number, 127);
}

struct BadScript {
  std::string text;
  std::string message;
};

TEST(Script, MalformedLinesNameFileLineAndWhatIsWrong) {
  const std::vector<BadScript> cases = {
      {"state\n", "play.txt:1: expected `state N`"},
      {"state 1 2\n", "play.txt:1: expected `state N`"},
      {"state 1  # playing\n", "play.txt:1: expected `state N`"},  // a comment takes a line
      {"\nstate one\n", "play.txt:2: `one` is not a signed 32-bit decimal number"},
      {"length 2147483648\n", "play.txt:1: `2147483648` is not a signed 32-bit decimal number"},
      {"position 1.5\n", "play.txt:1: `1.5` is not a signed 32-bit decimal number"},
      {"position ++1\n", "play.txt:1: `++1` is not a signed 32-bit decimal number"},
      {"tick -1\n", "play.txt:1: a tick count cannot be negative"},
      {"window maybe\n", "play.txt:1: expected `window none` or `window ok`"},
      {"play\n", "play.txt:1: unknown command `play`"},
      {" state 1\n", "play.txt:1: a command must start the line"},
      {"Title x\n", "play.txt:1: unknown command `Title`"},
      {"quit now\n", "play.txt:1: `quit` takes nothing after it"},
      {"dialog exit\n", "play.txt:1: no dialog is open here"},
      {"configure\nconfigure\n", "play.txt:2: the dialog is already open"},
      {"configure\ndialog com 5\n", "play.txt:2: the dialog has the buttons COM1 to COM4"},
      {"configure\ndialog contrast 128\n", "play.txt:2: the contrast bar runs from 0 to 127"},
      {"configure\ndialog press\n", "play.txt:2: unknown dialog action `press`"},
      {"configure\ndialog exit\ndialog setsave\n", "play.txt:3: no dialog is open here"},
      {"title \xC3\x28\n", "play.txt:1: the title is not valid UTF-8"},
      {"position +-1\n", "play.txt:1: `+-1` is not a signed 32-bit decimal number"},
      {"title CR alone\rstate x\r", "play.txt:2: `x` is not a signed 32-bit decimal number"},
      // What the file holds is echoed short and printable: no NUL cuts the message, no escape
      // sequence reaches the terminal.
      {std::string("st\0ate 1\n", 10), "play.txt:1: unknown command `st?ate` (expected"},
      {"configure\ndialog \x1B[2J\n", "play.txt:2: unknown dialog action `?[2J` (expected"},
      {"tick " + std::string(1'000'000, '9') + "\n",
       "play.txt:1: `9999999999999999...` is not a signed 32-bit decimal number"},
  };
  for (const auto& c : cases) {
    try {
      Parse(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ScriptError& error) {
      const std::string message = error.what();
      EXPECT_EQ(message.rfind(c.message, 0), 0u) << "for " << c.text << "got: " << message;
      EXPECT_LT(message.size(), 200u);
      EXPECT_TRUE(std::all_of(message.begin(), message.end(), [](char ch) {
        return ch >= 0x20 && ch < 0x7F;
      })) << message;
    }
  }
}

TEST(Script, AMissingFileIsAScriptError) {
  EXPECT_THROW(LoadScript("/nonexistent/player.txt"), ScriptError);
}

TEST(PlayerOption, NamesAStandInOrSaysWhatIsWrong) {
  const auto file = std::filesystem::temp_directory_path() /
                    ("marqel-player-choice-" + std::to_string(::getpid()) + ".txt");
  std::ofstream(file) << "state 1\ntick 2\n";
  const PlayerChoice sim = ChoosePlayer("sim");
  EXPECT_EQ(sim.kind, PlayerChoice::Kind::Simulated);
  EXPECT_FALSE(sim.unattended() || sim.playsInVirtualTime());
  const PlayerChoice scripted = ChoosePlayer("script:" + file.string());
  EXPECT_EQ(scripted.kind, PlayerChoice::Kind::Scripted);
  EXPECT_TRUE(scripted.unattended() && scripted.playsInVirtualTime());
  EXPECT_EQ(scripted.script.commands.size(), 2u);
  std::filesystem::remove(file);

  EXPECT_THROW(ChoosePlayer("script:" + file.string()), ScriptError);
  for (const char* bad : {"", "Sim", "simulated", "script"}) {
    EXPECT_THROW(ChoosePlayer(bad), std::invalid_argument) << bad;
  }
}

TEST(ComPortOption, ReadsNumberEqualsDevice) {
  std::map<int, std::string> ports;
  host::AddComPort(ports, "1=/dev/pts/3");
  host::AddComPort(ports, "4=/dev/ttyUSB0");
  host::AddComPort(ports, "1=/dev/pts/9");
  EXPECT_EQ(ports, (std::map<int, std::string>{{1, "/dev/pts/9"}, {4, "/dev/ttyUSB0"}}));
  for (const char* bad : {"1", "=/dev/x", "1=", "x=/dev/x", "0=/dev/x", "1x=/dev/x"}) {
    EXPECT_THROW(host::AddComPort(ports, bad), std::invalid_argument) << bad;
  }
}

}  // namespace
}  // namespace marqel::players
