#include "linux/host/run_command.h"

#include <unistd.h>

#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "common/utf.h"
#include "linux/host/host_messages.h"
#include "linux/host/host_wiring.h"
#include "linux/host/key_input.h"
#include "linux/players/raw_terminal.h"
#include "player_script/script.h"

namespace marqel::host {
namespace {

// "playing 2/5: Artist - Title", as the host reports a stand-in's changes.
std::string StatusLine(const players::PlayerStatus& status) {
  return std::string(players::StateName(status.state)) + " " + status.track + ": " + status.artist +
         " - " + status.title;
}

}  // namespace

void AddComPort(std::map<int, std::string>& ports, const std::string& spec) {
  const auto equals = spec.find('=');
  if (equals == std::string::npos || equals == 0 || equals + 1 == spec.size()) {
    throw std::invalid_argument("--com wants N=DEVICE, e.g. --com 1=/dev/pts/3, not `" + spec +
                                "`");
  }
  int port = 0;
  try {
    std::size_t used = 0;
    port = std::stoi(spec.substr(0, equals), &used);
    if (used != equals) throw std::invalid_argument("");
  } catch (const std::exception&) {
    throw std::invalid_argument("--com: `" + spec.substr(0, equals) + "` is no port number");
  }
  if (port < 1 || port > 255) {
    throw std::invalid_argument("--com: port numbers run from 1 to 255, not " +
                                std::to_string(port));
  }
  ports[port] = spec.substr(equals + 1);
}

double CheckedSeconds(double seconds) {
  // Written so that NaN fails too.
  if (!(seconds > 0 && seconds <= static_cast<double>(kMaxSeconds))) {
    std::ostringstream given;
    given << seconds;
    throw std::invalid_argument("--seconds wants a number above 0 and at most " +
                                std::to_string(kMaxSeconds) + ", not " + given.str());
  }
  return seconds;
}

int RunHost(const RunOptions& options) {
  players::PlayerChoice player;
  try {
    player = players::ChoosePlayer(options.player);
  } catch (const players::ScriptError& error) {
    std::cerr << "marqel-host: " << error.what() << '\n';
    return 2;
  } catch (const std::invalid_argument& error) {
    std::cerr << "marqel-host: " << error.what() << '\n';
    return 2;
  }
  if (options.fast && !player.playsInVirtualTime()) {
    std::cerr << "marqel-host: --fast needs a script player (the simulated and MPRIS players play "
                 "in real time)\n";
    return 2;
  }

  platform::EventLoop loop(options.fast);
  const bool attended = player.takesKeys();
  const bool windowsShown = ShowsWindows(player);
  HostMessageBoxes boxes(loop, windowsShown);
  HostWiring wiring(loop, boxes.boxes(), std::move(player),
                    {.windowsShown = windowsShown,
                     .comPorts = options.comPorts,
                     .log = std::cerr,
                     .quitTwice = options.quitTwice});

  // Someone at the terminal drives the player with keys; a text form needs the terminal back.
  std::optional<players::RawTerminal> terminal;
  const bool textForm = wiring.session().dialogStyle == system::DialogStyle::Terminal;
  wiring.plugin().beforeDialog = [&] {
    if (terminal && textForm) terminal->suspend();
  };
  wiring.plugin().afterDialog = [&] {
    if (terminal && textForm) terminal->resume();
  };

  try {
    wiring.start(ModuleToLoad(options.plugin), [](const std::u16string& text) {
      std::cout << "marqel-host: plug-in: " << Utf16ToUtf8(text) << '\n' << std::flush;
    });
  } catch (const HostError& error) {
    std::cerr << "marqel-host: " << error.what() << '\n';
    return 1;
  }

  std::optional<KeyInput> keys;
  if (attended) {
    players::PlayerStandIn& stand = wiring.player();
    terminal.emplace(STDIN_FILENO);
    std::cout << "marqel-host: " << stand.name() << "; keys: " << stand.keysHelp() << '\n';
    stand.onChange = [&stand, lastShown = std::string()]() mutable {
      std::string line = StatusLine(stand.status());
      if (line != lastShown) {
        std::cout << "marqel-host: " << line << '\n' << std::flush;
        lastShown = std::move(line);
      }
    };
    keys.emplace(loop, STDIN_FILENO, [&stand](char key) { stand.handleKey(key); });
  }
  wiring.play(options.seconds);
  wiring.runUntilQuit();
  keys.reset();
  terminal.reset();
  wiring.stop();
  return 0;
}

}  // namespace marqel::host
