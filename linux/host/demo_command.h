#pragma once
// `marqel-host demo`: the simulated player drives the plug-in, whose serial ports are a
// pseudo-terminal read by the virtual LCD; the glass is drawn live in this terminal beside the
// player's state. Needs no hardware, no settings file and no display server.
#include <filesystem>
#include <optional>

namespace marqel::host {

struct DemoOptions {
  std::optional<std::filesystem::path> plugin;  // else the module built beside the program
  std::optional<double> seconds;                // quit after this long
  std::optional<std::filesystem::path> script;  // a scripted player instead of the simulated one
};

int RunDemo(const DemoOptions& options);

// The module a demo loads without --plugin: the one built beside this program, else the
// registered one.
std::filesystem::path DemoModule();

}  // namespace marqel::host
