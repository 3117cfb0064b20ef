// marqel-host: a host for the Marqel plug-in on Linux, with player stand-ins and a demo.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>

#include "linux/host/com_client.h"
#include "linux/host/demo_command.h"
#include "linux/host/run_command.h"
#include "linux/players/player_choice.h"
#include "marqel_version.h"

namespace {

using namespace marqel::host;

// register / unregister: the module's own entry points do the work.
int SelfRegister(const std::filesystem::path& module, bool remove) {
  try {
    InprocServer server(std::filesystem::absolute(module));
    const auto status = remove ? server.unregisterServer() : server.registerServer();
    if (marqel::com::Failed(status)) {
      std::cerr << "marqel-host: " << (remove ? "DllUnregisterServer" : "DllRegisterServer")
                << " failed with status " << StatusText(status) << '\n';
      return 1;
    }
    std::cout << "marqel-host: " << (remove ? "unregistered " : "registered ")
              << std::filesystem::absolute(module).string() << '\n';
    return 0;
  } catch (const HostError& error) {
    std::cerr << "marqel-host: " << error.what() << '\n';
    return 1;
  }
}

// What the program takes from its surroundings, and what its exit status says; shown below the
// options of every --help.
constexpr const char* kEnvironmentFilesAndStatus =
    "Environment:\n"
    "  MARQEL_COMn=DEVICE     the device of the plug-in's port COMn, e.g.\n"
    "                         MARQEL_COM1=/dev/ttyUSB0 (--com N=DEVICE overrides it; without\n"
    "                         either, COMn is /dev/ttyS<n-1>)\n"
    "  XDG_CONFIG_HOME        where the registry file lies (default: $HOME/.config)\n"
    "  DISPLAY, WAYLAND_DISPLAY\n"
    "                         with a reachable display, message boxes and the dialog are\n"
    "                         windows; otherwise lines on standard error and a text form\n"
    "\n"
    "Files:\n"
    "  $XDG_CONFIG_HOME/marqel/registry.ini\n"
    "                         the classes registered for this user (register, unregister);\n"
    "                         run without --plugin loads the module registered there, else the\n"
    "                         one installed with this program\n"
    "  gen_marqel.ini         the plug-in's settings (port and contrast), beside the module\n"
    "\n"
    "Exit status:\n"
    "  0 after a clean quit (on q, at the end of a script, on SIGINT or SIGTERM); 1 when the\n"
    "  plug-in cannot be loaded, created or (un)registered; 2 for a usage error: an unknown\n"
    "  option, a bad value, a missing subcommand, a player script that cannot be read.";

// A usage error exits with 2, whatever the parser's own code for it; --help and --version
// with 0.
int ParseFailed(const CLI::App& app, const CLI::ParseError& error) {
  const int code = app.exit(error);
  return code == 0 ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "marqel-host: runs the Marqel plug-in as its host would, with a simulated or scripted "
      "player; the plug-in's serial ports can be mapped to any device (a pseudo-terminal read by "
      "marqel-lcd, for one)."};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("marqel-host ") + MARQEL_VERSION_TEXT);
  app.footer(kEnvironmentFilesAndStatus);

  RunOptions run;
  std::vector<std::string> comSpecs;
  std::string plugin;
  auto* runCommand = app.add_subcommand("run", "Load the plug-in and let a player drive it");
  runCommand->add_option("--plugin", plugin,
                         "The plug-in module to load (default: the one registered for its class, "
                         "else the one installed with this program)");
  runCommand->add_option("--player", run.player, marqel::players::kPlayerNames)
      ->capture_default_str();
  runCommand->add_flag("--fast", run.fast,
                       "Virtual time for scripts: no waiting between ticks, same bytes");
  runCommand->add_option("--com", comSpecs, "Map COM port N to a device, e.g. --com 1=/dev/pts/3")
      ->type_name("N=DEVICE");
  runCommand->add_flag("--quit-twice", run.quitTwice, "Call the plug-in's Quit twice on exit");
  double runSeconds = 0;
  auto* runFor = runCommand->add_option("--seconds", runSeconds, "Quit after this many seconds");

  DemoOptions demo;
  std::string demoPlugin;
  std::string demoScript;
  double demoSeconds = 0;
  auto* demoCommand = app.add_subcommand(
      "demo", "The simulated player, the plug-in and a virtual LCD, live in this terminal");
  demoCommand->add_option("--plugin", demoPlugin,
                          "The plug-in module (default: the one built beside this program)");
  auto* demoFor = demoCommand->add_option("--seconds", demoSeconds, "Quit after this many seconds");
  demoCommand->add_option("--script", demoScript, "A player script instead of the simulated player")
      ->check(CLI::ExistingFile);

  std::string registerPlugin;
  auto* registerCommand =
      app.add_subcommand("register", "Register the plug-in's class (calls its DllRegisterServer)");
  registerCommand->add_option("--plugin", registerPlugin, "The plug-in module")->required();
  std::string unregisterPlugin;
  auto* unregisterCommand = app.add_subcommand(
      "unregister", "Remove the plug-in's class (calls its DllUnregisterServer)");
  unregisterCommand->add_option("--plugin", unregisterPlugin, "The plug-in module")->required();

  for (auto* command : {runCommand, demoCommand, registerCommand, unregisterCommand}) {
    command->footer(kEnvironmentFilesAndStatus);
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return ParseFailed(app, error);
  }

  if (*runCommand) {
    try {
      for (const auto& spec : comSpecs) AddComPort(run.comPorts, spec);
      if (*runFor) run.seconds = CheckedSeconds(runSeconds);
    } catch (const std::invalid_argument& error) {
      std::cerr << "marqel-host: " << error.what() << '\n';
      return 2;
    }
    if (!plugin.empty()) run.plugin = plugin;
    return RunHost(run);
  }
  if (*demoCommand) {
    if (!demoPlugin.empty()) demo.plugin = demoPlugin;
    if (!demoScript.empty()) demo.script = demoScript;
    try {
      if (*demoFor) demo.seconds = CheckedSeconds(demoSeconds);
    } catch (const std::invalid_argument& error) {
      std::cerr << "marqel-host: " << error.what() << '\n';
      return 2;
    }
    return RunDemo(demo);
  }
  if (*registerCommand) return SelfRegister(registerPlugin, false);
  return SelfRegister(unregisterPlugin, true);
}
