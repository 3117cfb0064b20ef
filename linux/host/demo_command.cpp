#include "linux/host/demo_command.h"

#include <unistd.h>

#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <system_error>

#include "common/utf.h"
#include "linux/host/com_client.h"
#include "linux/host/demo_screen.h"
#include "linux/host/key_input.h"
#include "linux/host/plugin_host.h"
#include "linux/host/run_command.h"
#include "linux/platform/cp1252_code_page.h"
#include "linux/players/raw_terminal.h"
#include "linux/players/script_player.h"
#include "linux/players/sim_player.h"
#include "linux/posix/signal_pipe.h"
#include "linux/posix/terminal.h"
#include "linux/system/event_loop.h"
#include "linux/system/session.h"
#include "linux/system/window_table.h"
#include "player_script/script.h"
#include "vlcd/display.h"

namespace marqel::host {
namespace {

// How often the screen is redrawn at most while things change.
constexpr platform::EventLoop::Duration kFrame{100};

// The plug-in's message boxes, as a line of the demo's screen; dismissed at once.
class ScreenMessages final : public platform::MessageBoxes {
 public:
  explicit ScreenMessages(std::function<void(std::string)> show) : show_(std::move(show)) {}
  void show(std::u16string_view text, platform::MessageIcon icon) override {
    std::string line = icon == platform::MessageIcon::Information ? "(i) "
                       : icon == platform::MessageIcon::Warning   ? "(!) "
                                                                  : "";
    for (const char c : Utf16ToUtf8(text)) {
      if (c == '\r') continue;
      line += c == '\n' ? std::string(" / ") : std::string(1, c);
    }
    show_(line);
  }

 private:
  std::function<void(std::string)> show_;
};

std::filesystem::path ProgramDirectory() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path(".") : self.parent_path();
}

}  // namespace

std::filesystem::path DemoModule() {
  const auto here = ProgramDirectory();
  for (const auto& candidate : {here / "Marqel.so", here.parent_path() / "module" / "Marqel.so"}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  }
  return ModuleToLoad(std::nullopt);
}

int RunDemo(const DemoOptions& options) {
  std::optional<players::Script> script;
  if (options.script) {
    try {
      script = players::LoadScript(*options.script);
    } catch (const players::ScriptError& error) {
      std::cerr << "marqel-host: " << error.what() << '\n';
      return 2;
    }
  }
  std::filesystem::path module;
  try {
    module = options.plugin ? *options.plugin : DemoModule();
  } catch (const HostError& error) {
    std::cerr << "marqel-host: " << error.what() << '\n';
    return 1;
  }
  // The LCD's serial line: the component opens the slave as its port, the demo reads the master.
  posix::Pty line;
  try {
    line = posix::OpenPty();
  } catch (const std::system_error& error) {
    std::cerr << "marqel-host: cannot make the LCD's line: " << error.what() << '\n';
    return 1;
  }

  platform::EventLoop loop;
  platform::WindowTable windows;
  vlcd::Display display;
  DemoScreen screen(STDOUT_FILENO);
  bool dirty = true;
  int frame = 0;
  const auto redrawSoon = [&] {
    dirty = true;
    if (frame == 0) {
      frame = loop.callAfter(kFrame, [&] {
        frame = 0;
        if (dirty) {
          dirty = false;
          screen.draw(display);
        }
      });
    }
  };

  ScreenMessages messages([&](std::string text) {
    screen.setMessage(std::move(text));
    redrawSoon();
  });
  system::Session session(loop, windows, messages);
  // Whatever port the dialog picks, the glass stays on this line.
  for (int port = 1; port <= 4; ++port) session.comPorts[port] = line.path;
  session.dialogStyle =
      script ? system::DialogStyle::Script
             : (DisplayPresent() ? system::DialogStyle::Window : system::DialogStyle::Terminal);
  system::SetCurrentSession(&session);
  screen.setPortLabel("on COM1-COM4 = " + line.path);

  const int reader = loop.watchFd(line.master.get(), [&] {
    std::uint8_t bytes[512];
    for (;;) {
      const ssize_t got = ::read(line.master.get(), bytes, sizeof bytes);
      if (got <= 0) break;
      display.feed(std::span<const std::uint8_t>(bytes, static_cast<std::size_t>(got)));
    }
    redrawSoon();
  });

  std::ostringstream log;
  PluginHost host(log, false);
  posix::SignalPipe signals({SIGINT, SIGTERM}, posix::SignalPipe::Interrupted::Restart);
  platform::FdWatch signalWatch(loop, signals.fd(), [&] {
    while (signals.take()) host.quit();
  });
  players::RawTerminal terminal(STDIN_FILENO);
  const platform::linux_::Cp1252CodePage codePage;

  struct DemoHost final : players::PlayerHost {
    PluginHost& host;
    DemoScreen& screen;
    players::RawTerminal& terminal;
    std::function<void()> redraw;
    bool textForm = false;
    DemoHost(PluginHost& h, DemoScreen& s, players::RawTerminal& t)
        : host(h), screen(s), terminal(t) {}
    void configure() override {
      // A text form takes the terminal while it is open; ticks and the line go on meanwhile.
      if (textForm) {
        screen.suspend();
        terminal.suspend();
      }
      host.configure();
      if (textForm) {
        terminal.resume();
        screen.resume();
      }
      redraw();
    }
    void quit() override { host.quit(); }
  } demoHost(host, screen, terminal);
  demoHost.redraw = redrawSoon;
  demoHost.textForm = session.dialogStyle == system::DialogStyle::Terminal;

  std::unique_ptr<players::SimPlayer> simulated;
  std::unique_ptr<players::ScriptPlayer> scripted;
  HostObject::WindowSource windowSource;
  if (script) {
    scripted = std::make_unique<players::ScriptPlayer>(std::move(*script), session, codePage,
                                                       demoHost, log);
    windowSource = PlayerWindow(*scripted);
    screen.setKeys("q quit (a script is playing)");
  } else {
    simulated = std::make_unique<players::SimPlayer>(loop, windows, codePage, demoHost);
    windowSource = PlayerWindow(*simulated);
    screen.setKeys(players::SimPlayer::kKeysHelp);
  }

  const auto showPlayer = [&] {
    PlayerPanel panel;
    if (simulated) {
      const auto status = simulated->status();
      panel.mode = players::ModeName(status.mode);
      panel.track = std::to_string(status.track + 1) + "/" + std::to_string(status.trackCount);
      panel.artist = status.current.artist;
      panel.title = status.current.title;
      panel.positionMs = status.positionMs;
      panel.lengthSeconds = status.current.lengthSeconds;
    } else if (const auto* state = windows.find(scripted->window())) {
      panel.mode = state->state == 1 ? "playing" : state->state == 3 ? "paused" : "stopped";
      panel.track = "script";
      panel.title = Utf16ToUtf8(codePage.fromAnsi(state->text));
      panel.positionMs = state->positionMs;
      panel.lengthSeconds = state->lengthSeconds;
    }
    screen.setPlayer(panel);
    redrawSoon();
  };

  try {
    host.start(module, windowSource, [&](const std::u16string& text) {
      screen.setDescription(Utf16ToUtf8(text));
      redrawSoon();
    });
  } catch (const HostError& error) {
    screen.suspend();
    std::cerr << "marqel-host: " << error.what() << '\n';
    return 1;
  }

  std::optional<KeyInput> keys;
  keys.emplace(loop, STDIN_FILENO, [&](char key) {
    if (simulated) {
      simulated->handleKey(key);
    } else if (key == 'q' || key == 'Q') {
      host.quit();
    }
    showPlayer();
  });
  if (simulated) {
    simulated->onChange = showPlayer;
    simulated->start();
  } else {
    scripted->start();
  }
  // A script changes the player without telling anyone: look at it every frame.
  std::function<void()> follow = [&] {
    if (scripted) showPlayer();
    loop.callAfter(kFrame, follow);
  };
  if (scripted) loop.callAfter(kFrame, follow);
  showPlayer();
  if (options.seconds) {
    loop.callAfter(
        platform::EventLoop::Duration(static_cast<std::int64_t>(*options.seconds * 1000)),
        [&] { host.quit(); });
  }

  loop.runUntil([&] { return host.finished(); });
  keys.reset();
  // Let the last bytes (the display blanked by Quit) reach the glass before the screen goes.
  loop.callAfter(kFrame, [] {});
  bool settled = false;
  loop.callAfter(kFrame * 2, [&] { settled = true; });
  loop.runUntil([&] { return settled; });
  screen.draw(display);
  loop.unwatchFd(reader);
  host.stop();
  simulated.reset();
  scripted.reset();
  screen.suspend();
  std::cout << "marqel-host: demo ended; the plug-in has quit and the display is blank.\n";
  if (!log.str().empty()) std::cerr << log.str();
  return 0;
}

}  // namespace marqel::host
