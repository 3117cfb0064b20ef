#include "linux/host/host_wiring.h"

#include <csignal>
#include <cstdint>
#include <iostream>

#include "linux/host/host_messages.h"

namespace marqel::host {

bool ShowsWindows(const players::PlayerChoice& player) {
  return !player.unattended() && DisplayPresent();
}

system::DialogStyle DialogStyleFor(const players::PlayerChoice& player, bool windowsShown) {
  if (player.unattended()) return system::DialogStyle::Script;
  return windowsShown ? system::DialogStyle::Window : system::DialogStyle::Terminal;
}

HostWiring::HostWiring(platform::EventLoop& loop, platform::MessageBoxes& boxes,
                       players::PlayerChoice player, const WiringOptions& options)
    : loop_(loop),
      session_(loop, windows_, boxes),
      plugin_(options.log, options.quitTwice),
      // Calls a signal interrupts go on, so no module the host loads need expect EINTR.
      signals_({SIGINT, SIGTERM}, posix::SignalPipe::Interrupted::Restart),
      signalWatch_(loop, signals_.fd(), [this] {
        while (signals_.take()) plugin_.quit();
      }) {
  session_.comPorts = options.comPorts;
  session_.dialogStyle = DialogStyleFor(player, options.windowsShown);
  system::SetCurrentSession(&session_);
  player_ = players::MakePlayer(std::move(player),
                                {session_, codePage_, plugin_, options.log, std::cout});
}

void HostWiring::start(const std::filesystem::path& module,
                       HostObject::DescriptionSink onDescription) {
  plugin_.start(
      module, [this]() -> std::optional<std::int32_t> { return player_->windowToGive(); },
      std::move(onDescription));
}

void HostWiring::play(std::optional<double> seconds) {
  player_->start();
  if (seconds) {
    loop_.callAfter(platform::EventLoop::Duration(static_cast<std::int64_t>(*seconds * 1000)),
                    [this] { plugin_.quit(); });
  }
}

void HostWiring::runUntilQuit() {
  loop_.runUntil([this] { return plugin_.finished(); });
}

void HostWiring::stop() {
  plugin_.stop();
}

}  // namespace marqel::host
