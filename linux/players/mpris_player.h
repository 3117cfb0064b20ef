#pragma once
// A player stand-in that follows real media players over MPRIS on the session bus: its window in
// the window table answers with the text, state, length and position of the player it follows
// (mpris_model.h says which one, and how the text is laid out).
//
// The answers are kept current from the players' PropertiesChanged and Seeked signals and the
// bus's NameOwnerChanged; a player is called only for its properties when it appears, and for its
// position after each refresh tick while it plays (no player signals its position as it runs).
// Between two answers the position runs on with the loop's clock. Every call is asynchronous with
// a short timeout, so a tick never waits on a player; a player whose call times out reads as
// stopped until it answers again.
#include <sdbus-c++/TypeTraits.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "linux/players/mpris_bus.h"
#include "linux/players/mpris_model.h"
#include "linux/players/player_stand_in.h"
#include "linux/system/event_loop.h"
#include "linux/system/window_table.h"
#include "platform/text.h"

namespace sdbus {
class IConnection;
class IProxy;
}  // namespace sdbus

namespace marqel::players {

class MprisPlayer final : public PlayerStandIn {
 public:
  struct Options {
    std::vector<std::string> names;  // first choice first; empty: any player (ParsePlayerNames)
    std::chrono::milliseconds callTimeout{2000};
  };

  // Makes the player's window (empty text, stopped). `report` gets a line whenever the followed
  // player, its state or its text changes; `messages` the bus's comings and goings.
  MprisPlayer(platform::EventLoop& loop, platform::WindowTable& windows,
              const platform::CodePage& codePage, std::ostream& report, std::ostream& messages,
              Options options);
  ~MprisPlayer() override;
  MprisPlayer(const MprisPlayer&) = delete;
  MprisPlayer& operator=(const MprisPlayer&) = delete;

  std::string_view name() const override { return "MPRIS player"; }
  // It follows the player the user plays; no keys of its own.
  std::string_view keysHelp() const override { return ""; }
  void handleKey(char) override {}
  // Connects to the session bus (or starts trying to).
  void start() override;
  std::optional<platform::WindowHandle> windowToGive() override { return window(); }
  PlayerStatus status() const override { return status_; }

  // The player's window, its position brought up to this moment: the host hands the window out
  // before every query, so each position query reads the position of that moment.
  platform::WindowHandle window();

 private:
  struct Player;
  using Properties = std::map<std::string, sdbus::Variant>;

  void connected(sdbus::IConnection& connection);
  void lost();
  void listPlayers();
  void nameOwnerChanged(sdbus::Message& signal);
  void propertiesChanged(sdbus::Message& signal);
  void seeked(sdbus::Message& signal);
  void addPlayer(const std::string& busName, const std::string& owner);
  void removePlayer(const std::string& busName);
  void retire(std::unique_ptr<sdbus::IProxy> proxy);

  // Sends a call with the call timeout; false when it cannot go out.
  bool send(sdbus::IProxy& proxy, const char* interface, const char* method,
            const std::vector<std::string>& args, sdbus::async_reply_handler onReply);
  // Calls `method` of org.freedesktop.DBus.Properties on the player; `answered` runs with the
  // reply if the player is still the same instance by then. A call that times out marks the player
  // as not answering.
  void callProperties(Player& player, const char* method, const std::vector<std::string>& args,
                      bool Player::*pending,
                      std::function<void(Player&, sdbus::MethodReply*)> answered);
  void fetchAll(Player& player);
  void fetchPosition(Player& player);
  void fetchTrackList(Player& player);
  void apply(Player& player, const Properties& properties);
  void afterTick();

  std::int64_t positionNow(const Player& player) const;
  void rebasePosition(Player& player);
  Player* followed();
  // Chooses the player to follow and writes its answers into the window.
  void follow();

  platform::EventLoop& loop_;
  platform::WindowTable& windows_;
  const platform::CodePage& codePage_;
  std::ostream& report_;
  Options options_;
  platform::WindowHandle window_;
  int tickHook_ = 0;
  int cleanUp_ = 0;
  std::uint64_t nextOrder_ = 0;
  std::string followed_;
  std::string lastReport_;
  PlayerStatus status_;
  // Declared before everything made on its connection, so that it is closed after them.
  mpris::SessionBus bus_;
  sdbus::IConnection* connection_ = nullptr;
  std::unique_ptr<sdbus::IProxy> busDaemon_;
  std::vector<sdbus::Slot> matches_;
  std::map<std::string, std::unique_ptr<Player>> players_;  // by bus name
  // Proxies of players that went away while a bus callback ran; dropped on the next dispatch.
  std::vector<std::unique_ptr<sdbus::IProxy>> retired_;
};

}  // namespace marqel::players
