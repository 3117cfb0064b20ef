#pragma once
// A player that does what a script says (players/script.h), line by line, on the host's loop.
// Lines run at once one after the other; `tick` lets refresh ticks run, `configure` opens the
// dialog and the script goes on inside it; once a line closes the dialog, the script goes on
// after the dialog's modal loop has returned.
#include <cstdint>
#include <iosfwd>

#include "linux/players/player_host.h"
#include "linux/players/player_stand_in.h"
#include "linux/system/event_loop.h"
#include "linux/system/window_table.h"
#include "platform/text.h"
#include "player_script/script.h"

namespace marqel::system {
class Session;
}

namespace marqel::players {

class ScriptPlayer final : public PlayerStandIn {
 public:
  // Makes the player's window (empty text, stopped). `diagnostics` gets a line for each command
  // that cannot act (a dialog line while no dialog is open).
  ScriptPlayer(Script script, system::Session& session, const platform::CodePage& codePage,
               PlayerHost& host, std::ostream& diagnostics);
  ~ScriptPlayer() override;
  ScriptPlayer(const ScriptPlayer&) = delete;
  ScriptPlayer& operator=(const ScriptPlayer&) = delete;

  std::string_view name() const override { return "scripted player"; }
  std::string_view keysHelp() const override { return "q quit (a script is playing)"; }

  // Runs the first lines on the next dispatch of the loop.
  void start() override;
  // q quits; the script plays the rest.
  void handleKey(char key) override;
  // None while the script says `window none`, until `window ok`.
  std::optional<platform::WindowHandle> windowToGive() override;
  // The window's state and text as the script left them (the whole text as the title, the track
  // "script"). A script changes them without telling: onChange is never called.
  PlayerStatus status() const override;

 private:
  void step();
  bool run(const ScriptCommand& command);  // false: wait before the next line
  void waitForTicks(std::int32_t count);
  void onTick();
  void armDeadline();
  void stopWaiting();
  void act(const ScriptCommand& command);
  platform::PlayerWindowState& state();

  Script script_;
  system::Session& session_;
  platform::EventLoop& loop_;
  platform::WindowTable& windows_;
  const platform::CodePage& codePage_;
  PlayerHost& host_;
  std::ostream& diagnostics_;
  platform::WindowHandle window_;
  bool windowAvailable_ = true;
  std::size_t next_ = 0;
  bool finished_ = false;
  std::int32_t ticksLeft_ = 0;
  int tickHook_ = 0;
  int deadline_ = 0;
};

}  // namespace marqel::players
