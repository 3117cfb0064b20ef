#include "linux/host/demo_command.h"

#include <unistd.h>

#include <iostream>
#include <map>
#include <optional>
#include <span>
#include <sstream>
#include <system_error>

#include "common/utf.h"
#include "linux/host/com_client.h"
#include "linux/host/demo_screen.h"
#include "linux/host/host_wiring.h"
#include "linux/host/key_input.h"
#include "linux/players/player_choice.h"
#include "linux/players/raw_terminal.h"
#include "linux/posix/terminal.h"
#include "linux/system/event_loop.h"
#include "player_script/script.h"
#include "vlcd/display.h"

namespace marqel::host {
namespace {

// How often the screen is redrawn at most while things change.
constexpr platform::EventLoop::Duration kFrame{100};

// The demo's terminal: the virtual LCD fed from the line's master end, and the screen that shows
// its glass beside the player, redrawn at most once a frame.
class DemoView {
 public:
  DemoView(platform::EventLoop& loop, int lineMaster) : loop_(loop), screen_(STDOUT_FILENO) {
    reader_.emplace(loop, lineMaster, [this, lineMaster] { read(lineMaster); });
  }

  DemoScreen& screen() { return screen_; }

  void redrawSoon() {
    dirty_ = true;
    if (frame_ != 0) return;
    frame_ = loop_.callAfter(kFrame, [this] {
      frame_ = 0;
      if (dirty_) {
        dirty_ = false;
        screen_.draw(display_);
      }
    });
  }

  // Draws the glass once the last bytes (the display blanked by Quit) have reached it, and
  // stops reading the line.
  void finish() {
    loop_.callAfter(kFrame, [] {});
    bool settled = false;
    loop_.callAfter(kFrame * 2, [&] { settled = true; });
    loop_.runUntil([&] { return settled; });
    screen_.draw(display_);
    reader_.reset();
  }

 private:
  void read(int lineMaster) {
    std::uint8_t bytes[512];
    for (;;) {
      const ssize_t got = ::read(lineMaster, bytes, sizeof bytes);
      if (got <= 0) break;
      display_.feed(std::span<const std::uint8_t>(bytes, static_cast<std::size_t>(got)));
    }
    redrawSoon();
  }

  platform::EventLoop& loop_;
  vlcd::Display display_;
  DemoScreen screen_;
  bool dirty_ = true;
  int frame_ = 0;
  std::optional<platform::FdWatch> reader_;
};

// The plug-in's message boxes, as a line of the demo's screen; dismissed at once.
class ScreenMessages final : public platform::MessageBoxes {
 public:
  explicit ScreenMessages(DemoView& view) : view_(view) {}
  void show(std::u16string_view text, platform::MessageIcon icon) override {
    std::string line = icon == platform::MessageIcon::Information ? "(i) "
                       : icon == platform::MessageIcon::Warning   ? "(!) "
                                                                  : "";
    for (const char c : Utf16ToUtf8(text)) {
      if (c == '\r') continue;
      line += c == '\n' ? std::string(" / ") : std::string(1, c);
    }
    view_.screen().setMessage(std::move(line));
    view_.redrawSoon();
  }

 private:
  DemoView& view_;
};

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
  players::PlayerChoice player;
  if (options.script) {
    try {
      player = players::ScriptChoice(*options.script);
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
  DemoView view(loop, line.master.get());
  DemoScreen& screen = view.screen();
  ScreenMessages messages(view);
  std::ostringstream log;
  // Whatever port the dialog picks, the glass stays on this line.
  std::map<int, std::string> ports;
  for (int port = 1; port <= 4; ++port) ports[port] = line.path;
  const bool windowsShown = ShowsWindows(player);
  HostWiring wiring(
      loop, messages, std::move(player),
      {.windowsShown = windowsShown, .comPorts = ports, .log = log, .quitTwice = false});
  screen.setPortLabel("on COM1-COM4 = " + line.path);

  // A text form takes the terminal while it is open; ticks and the line go on meanwhile.
  players::RawTerminal terminal(STDIN_FILENO);
  const bool textForm = wiring.session().dialogStyle == system::DialogStyle::Terminal;
  wiring.plugin().beforeDialog = [&] {
    if (textForm) {
      screen.suspend();
      terminal.suspend();
    }
  };
  wiring.plugin().afterDialog = [&] {
    if (textForm) {
      terminal.resume();
      screen.resume();
    }
    view.redrawSoon();
  };

  players::PlayerStandIn& stand = wiring.player();
  screen.setKeys(std::string(stand.keysHelp()));
  const auto showPlayer = [&] {
    screen.setPlayer(stand.status());
    view.redrawSoon();
  };

  try {
    wiring.start(module, [&](const std::u16string& text) {
      screen.setDescription(Utf16ToUtf8(text));
      view.redrawSoon();
    });
  } catch (const HostError& error) {
    screen.suspend();
    std::cerr << "marqel-host: " << error.what() << '\n';
    return 1;
  }

  std::optional<KeyInput> keys;
  keys.emplace(loop, STDIN_FILENO, [&](char key) {
    stand.handleKey(key);
    showPlayer();
  });
  // Not every player tells its changes (a script does not): look at it every frame.
  std::function<void()> follow = [&] {
    showPlayer();
    loop.callAfter(kFrame, follow);
  };
  loop.callAfter(kFrame, follow);
  wiring.play(options.seconds);
  showPlayer();

  wiring.runUntilQuit();
  keys.reset();
  view.finish();
  wiring.stop();
  screen.suspend();
  std::cout << "marqel-host: demo ended; the plug-in has quit and the display is blank.\n";
  if (!log.str().empty()) std::cerr << log.str();
  return 0;
}

}  // namespace marqel::host
