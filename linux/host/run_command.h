#pragma once
// `marqel-host run`: the host itself. Loads the plug-in, lets a player stand-in drive it on the
// loop, and quits it on request, at the end of a script, or on SIGINT / SIGTERM.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace marqel::host {

struct RunOptions {
  std::optional<std::filesystem::path> plugin;  // else the registered module
  std::string player = "sim";                   // as players::ChoosePlayer reads it
  bool fast = false;                            // virtual time (scripts)
  std::map<int, std::string> comPorts;          // --com N=DEVICE
  bool quitTwice = false;
  std::optional<double> seconds;  // quit after this long (loop time)
};

// Parses "N=DEVICE" into the map; raises std::invalid_argument naming what is wrong.
void AddComPort(std::map<int, std::string>& ports, const std::string& spec);

// The longest `--seconds` the loop's clock can count to, with room to spare (about 31 years).
inline constexpr std::int64_t kMaxSeconds = 1'000'000'000;
// `--seconds`, checked: above 0 and at most kMaxSeconds (so neither NaN nor infinity); raises
// std::invalid_argument naming what is wrong.
double CheckedSeconds(double seconds);

// The process's exit status: 0 after a clean quit, 2 for a malformed script or a bad option,
// 1 when the plug-in cannot be loaded or created.
int RunHost(const RunOptions& options);

}  // namespace marqel::host
