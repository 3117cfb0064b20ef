#pragma once
// The MPRIS player lives in a module of its own, marqel-mpris.so beside the shared system library,
// loaded only when a host follows MPRIS players: D-Bus and what it links (about 1 MB resident)
// stay out of every other host.
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "linux/players/player_stand_in.h"
#include "linux/system/event_loop.h"
#include "linux/system/window_table.h"
#include "platform/text.h"

namespace marqel::players {

// What the MPRIS player is made with (MprisPlayer's constructor).
struct MprisPlayerSetup {
  platform::EventLoop& loop;
  platform::WindowTable& windows;
  const platform::CodePage& codePage;
  std::ostream& report;
  std::ostream& messages;
  std::vector<std::string> names;
};

using MakeMprisPlayerFn = PlayerStandIn* (*)(MprisPlayerSetup& setup);

// The module's entry point, loaded on the first call and kept; nullptr when it cannot be loaded,
// with the reason in `failure`.
MakeMprisPlayerFn LoadMprisModule(std::string& failure);

}  // namespace marqel::players

// The module's one entry point: a new MPRIS player, which the caller owns.
extern "C" marqel::players::PlayerStandIn* MarqelMakeMprisPlayer(
    marqel::players::MprisPlayerSetup& setup);
