#pragma once
// A component on the fake platform with a scripted player and host, so a test reads as "the
// player does this, these ticks run, this went out" and can also look at what the virtual display
// shows after the same bytes.
//
//   DisplayScenario s;            // component loaded, host initialised, nothing sent yet
//   s.startUp();                  // Form1 loaded: the link start-up has run; marks the record
//   s.player.showsText(u"1. A - B - Winamp").plays().trackLength(200).positionSeconds(100);
//   s.tick();
//   EXPECT_EQ(wire::hex(wire::line(1, "A") + ...), wire::hex(s.tickBytes()));
//   EXPECT_EQ(Glass("A", "B", "", "##############"), s.glassText());
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fakes/fake_platform.h"
#include "plugin/component.h"
#include "tests/support/scripted_player.h"
#include "vlcd/display.h"
#include "vlcd/line_model.h"

namespace marqel::harness {

using GlassText = std::array<std::string, 4>;

// Four display lines, each filled with blanks to 27 characters (as the plain glass view shows them:
// a filled bar cell is '#').
GlassText Glass(std::string_view line1, std::string_view line2, std::string_view line3,
                std::string_view line4);

// The record as a script for the line model: bytes and waits as they are, drains and closes
// (closing lets queued bytes go out first) as drains unless `keepDrains` is false, and a 500 ms
// tick wait before each event index in `tickStarts`.
std::vector<vlcd::LineEvent> LineScript(const fake::LineRecorder& recorder, bool keepDrains,
                                        const std::vector<std::size_t>& tickStarts = {});
// The script played over a 9600-baud line into a fresh virtual display.
std::unique_ptr<vlcd::Display> PlayOverTheLine(const std::vector<vlcd::LineEvent>& script);

struct ScenarioOptions {
  // The ANSI code page the component (and the scripted window text) uses; the fake's
  // Windows-1252 page when null.
  const platform::CodePage* codePage = nullptr;
  // Whether the host has called Initialize (so HostLink is set).
  bool hostInitialised = true;
  // Wraps every port control the recording fake makes (for example in one that fails on demand);
  // the fake's controls as they are when empty.
  std::function<std::unique_ptr<platform::SerialPort>(std::unique_ptr<platform::SerialPort>)>
      wrapPort = {};
};

class DisplayScenario {
 public:
  explicit DisplayScenario(ScenarioOptions options = {});
  DisplayScenario(const DisplayScenario&) = delete;
  DisplayScenario& operator=(const DisplayScenario&) = delete;

  // Loads Form1, which runs the link start-up (port open, both controllers, contrast, timer on),
  // then marks the record so that later checks see only what follows.
  void startUp();
  // Delivers `count` refresh ticks through Timer1, as the message loop would; the first of them
  // starts a new mark, so tickBytes() covers all of them. Only a started link has a running
  // timer: before startUp(), or after a failed start-up, ticks do nothing.
  void tick(int count = 1);
  // Starts a new stretch for tickBytes(), describeTicks() and the open/close counts.
  void mark();

  std::vector<std::uint8_t> tickBytes() const;
  std::string describeTicks() const;
  // How many port opens and closes the record holds since the mark.
  int opensSinceMark() const;
  int closesSinceMark() const;
  bool portOpen();

  // Everything recorded so far, replayed into a fresh virtual display at 9600 baud: the waits and
  // drains of the record keep their time, and ticks lie 500 ms apart.
  std::unique_ptr<vlcd::Display> replay() const;
  GlassText glassText() const;

 private:
  // Hands the component the fake's port controls, wrapped when the options say so.
  class PortControls final : public platform::SerialPortFactory {
   public:
    PortControls(platform::SerialPortFactory& inner, const ScenarioOptions& options)
        : inner_(inner), options_(options) {}
    std::unique_ptr<platform::SerialPort> createSerialPort() override;

   private:
    platform::SerialPortFactory& inner_;
    const ScenarioOptions& options_;
  };

 public:
  fake::FakePlatform fp;

 private:
  // Declared here, after fp and before the component, for the order of construction.
  ScenarioOptions options_;
  PortControls ports_{fp.serialPorts, options_};

 public:
  std::shared_ptr<ScriptedHost> host;
  ScriptedWindows windows;
  ScriptedPlayer player;
  Component component;

 private:
  std::size_t mark_ = 0;
  std::vector<std::size_t> tickStarts_;  // record positions where a tick began
};

}  // namespace marqel::harness
