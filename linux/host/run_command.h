#pragma once
// `marqel-host run`: the host itself. Loads the plug-in, lets a player stand-in drive it on the
// loop, and quits it on request, at the end of a script, or on SIGINT / SIGTERM.
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "linux/host/host_object.h"

namespace marqel::players {
class ScriptPlayer;
class SimPlayer;
}  // namespace marqel::players

namespace marqel::host {

struct RunOptions {
  std::optional<std::filesystem::path> plugin;  // else the registered module
  std::string player = "sim";                   // "sim" or "script:FILE"
  bool fast = false;                            // virtual time (scripts)
  std::map<int, std::string> comPorts;          // --com N=DEVICE
  bool quitTwice = false;
  std::optional<double> seconds;  // quit after this long (loop time)
};

// Parses "N=DEVICE" into the map; raises std::invalid_argument naming what is wrong.
void AddComPort(std::map<int, std::string>& ports, const std::string& spec);

// Whether message boxes and the dialog can use windows (a display server is reachable).
bool DisplayPresent();

// The player's window as the host object gives it to the plug-in; a scripted player has none to
// give while its script says so.
HostObject::WindowSource PlayerWindow(const players::SimPlayer& player);
HostObject::WindowSource PlayerWindow(const players::ScriptPlayer& player);

// The process's exit status: 0 after a clean quit, 2 for a malformed script or a bad option,
// 1 when the plug-in cannot be loaded or created.
int RunHost(const RunOptions& options);

}  // namespace marqel::host
