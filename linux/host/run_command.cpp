#include "linux/host/run_command.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "common/utf.h"
#include "linux/host/host_messages.h"
#include "linux/host/key_input.h"
#include "linux/host/plugin_host.h"
#include "linux/platform/cp1252_code_page.h"
#include "linux/players/raw_terminal.h"
#include "linux/players/script_player.h"
#include "linux/players/sim_player.h"
#include "linux/posix/signal_pipe.h"
#include "linux/system/event_loop.h"
#include "linux/system/session.h"
#include "linux/system/window_table.h"
#include "player_script/script.h"

namespace marqel::host {
namespace {

constexpr const char* kScriptPrefix = "script:";

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

HostObject::WindowSource PlayerWindow(const players::SimPlayer& player) {
  return [&player]() -> std::optional<std::int32_t> { return player.window(); };
}

HostObject::WindowSource PlayerWindow(const players::ScriptPlayer& player) {
  return [&player]() -> std::optional<std::int32_t> {
    if (!player.windowAvailable()) return std::nullopt;
    return player.window();
  };
}

int RunHost(const RunOptions& options) {
  std::optional<players::Script> script;
  if (options.player.rfind(kScriptPrefix, 0) == 0) {
    try {
      script = players::LoadScript(options.player.substr(std::string(kScriptPrefix).size()));
    } catch (const players::ScriptError& error) {
      std::cerr << "marqel-host: " << error.what() << '\n';
      return 2;
    }
  } else if (options.player != "sim") {
    std::cerr << "marqel-host: unknown player `" << options.player
              << "` (use sim or script:FILE)\n";
    return 2;
  }
  if (options.fast && !script) {
    std::cerr << "marqel-host: --fast needs a script player (the simulated one plays in real "
                 "time)\n";
    return 2;
  }

  platform::EventLoop loop(options.fast);
  platform::WindowTable windows;
  // A script runs unattended: its message boxes go to standard error, whatever the display.
  const bool windowsShown = !script && DisplayPresent();
  HostMessageBoxes boxes(loop, windowsShown);
  system::Session session(loop, windows, boxes.boxes());
  session.comPorts = options.comPorts;
  session.dialogStyle = script         ? system::DialogStyle::Script
                        : windowsShown ? system::DialogStyle::Window
                                       : system::DialogStyle::Terminal;
  system::SetCurrentSession(&session);

  const platform::linux_::Cp1252CodePage codePage;
  PluginHost host(std::cerr, options.quitTwice);
  posix::SignalPipe signals({SIGINT, SIGTERM}, posix::SignalPipe::Interrupted::Restart);
  platform::FdWatch signalWatch(loop, signals.fd(), [&] {
    while (signals.take()) host.quit();
  });

  std::unique_ptr<players::ScriptPlayer> scripted;
  std::unique_ptr<players::SimPlayer> simulated;
  std::unique_ptr<players::RawTerminal> terminal;
  std::unique_ptr<KeyInput> keys;

  // The sim's keys open the dialog; a text form needs the terminal back meanwhile.
  struct SimHost final : players::PlayerHost {
    PluginHost& host;
    players::RawTerminal* terminal = nullptr;
    explicit SimHost(PluginHost& h) : host(h) {}
    void configure() override {
      if (terminal != nullptr) terminal->suspend();
      host.configure();
      if (terminal != nullptr) terminal->resume();
    }
    void quit() override { host.quit(); }
  } simHost(host);

  HostObject::WindowSource windowSource;
  if (script) {
    scripted = std::make_unique<players::ScriptPlayer>(std::move(*script), session, codePage, host,
                                                       std::cerr);
    windowSource = PlayerWindow(*scripted);
  } else {
    simulated = std::make_unique<players::SimPlayer>(loop, windows, codePage, simHost);
    windowSource = PlayerWindow(*simulated);
  }

  try {
    host.start(ModuleToLoad(options.plugin), windowSource, [](const std::u16string& text) {
      std::cout << "marqel-host: plug-in: " << Utf16ToUtf8(text) << '\n' << std::flush;
    });
  } catch (const HostError& error) {
    std::cerr << "marqel-host: " << error.what() << '\n';
    return 1;
  }

  if (simulated) {
    terminal = std::make_unique<players::RawTerminal>(STDIN_FILENO);
    if (session.dialogStyle == system::DialogStyle::Terminal) simHost.terminal = terminal.get();
    std::cout << "marqel-host: simulated player; keys: " << players::SimPlayer::kKeysHelp << '\n';
    auto lastShown = std::make_shared<std::string>();
    simulated->onChange = [&, lastShown] {
      const auto status = simulated->status();
      std::string line = std::string(players::ModeName(status.mode)) + " " +
                         std::to_string(status.track + 1) + "/" +
                         std::to_string(status.trackCount) + ": " + status.current.artist + " - " +
                         status.current.title;
      if (line != *lastShown) {
        std::cout << "marqel-host: " << line << '\n' << std::flush;
        *lastShown = line;
      }
    };
    keys = std::make_unique<KeyInput>(loop, STDIN_FILENO,
                                      [&](char key) { simulated->handleKey(key); });
    simulated->start();
  } else {
    scripted->start();
  }
  if (options.seconds) {
    loop.callAfter(
        platform::EventLoop::Duration(static_cast<std::int64_t>(*options.seconds * 1000)),
        [&] { host.quit(); });
  }

  loop.runUntil([&] { return host.finished(); });
  keys.reset();
  terminal.reset();
  host.stop();
  return 0;
}

}  // namespace marqel::host
