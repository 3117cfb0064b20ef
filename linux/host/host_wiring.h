#pragma once
// What `run` and `demo` share: the window table and the session the plug-in sees, the player
// stand-in, the one PlayerHost (the plug-in loaded, created and initialised), SIGINT and SIGTERM
// as a quit, and the loop run until the plug-in has quit. Each command brings its own loop and
// message boxes, and keeps what is its own: the terminal, the keys, what it shows.
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "linux/host/host_object.h"
#include "linux/host/plugin_host.h"
#include "linux/platform/cp1252_code_page.h"
#include "linux/players/player_choice.h"
#include "linux/players/player_stand_in.h"
#include "linux/posix/signal_pipe.h"
#include "linux/system/event_loop.h"
#include "linux/system/session.h"
#include "linux/system/window_table.h"
#include "platform/message_box.h"

namespace marqel::host {

// Whether the plug-in's message boxes and dialog are windows for `player`: someone is there to
// see them and a display is reachable.
bool ShowsWindows(const players::PlayerChoice& player);
// The dialog as the session shows it: driven by an unattended player itself, otherwise a window
// when windows are shown, else a text form on the terminal.
system::DialogStyle DialogStyleFor(const players::PlayerChoice& player, bool windowsShown);

struct WiringOptions {
  bool windowsShown = false;            // ShowsWindows
  std::map<int, std::string> comPorts;  // COMn -> device; the others keep the usual device
  std::ostream& log;                    // failing statuses, and what a script cannot do
  bool quitTwice = false;               // the plug-in's Quit called a second time
};

class HostWiring {
 public:
  // Makes the session current and the player stand-in; the plug-in is not loaded yet. `loop` and
  // `boxes` must outlive this.
  HostWiring(platform::EventLoop& loop, platform::MessageBoxes& boxes, players::PlayerChoice player,
             const WiringOptions& options);
  HostWiring(const HostWiring&) = delete;
  HostWiring& operator=(const HostWiring&) = delete;

  system::Session& session() { return session_; }
  players::PlayerStandIn& player() { return *player_; }
  PluginHost& plugin() { return plugin_; }

  // Loads the module, creates the plug-in and initialises it with a host object that gives the
  // stand-in's window. Raises HostError.
  void start(const std::filesystem::path& module, HostObject::DescriptionSink onDescription);
  // Starts the player; the plug-in quits after `seconds` of loop time when they are given.
  void play(std::optional<double> seconds);
  // Runs the loop until the plug-in has quit (a key, the script's end, a signal, the time).
  void runUntilQuit();
  // Lets the plug-in go (PluginHost::stop).
  void stop();

 private:
  platform::EventLoop& loop_;
  platform::WindowTable windows_;
  system::Session session_;
  const platform::linux_::Cp1252CodePage codePage_;
  PluginHost plugin_;
  posix::SignalPipe signals_;
  platform::FdWatch signalWatch_;
  std::unique_ptr<players::PlayerStandIn> player_;
};

}  // namespace marqel::host
