// The MPRIS module, marqel-mpris.so: the MPRIS player behind its one entry point.
#include "linux/players/mpris_module.h"

#include "linux/players/mpris_player.h"

extern "C" __attribute__((visibility("default"))) marqel::players::PlayerStandIn*
MarqelMakeMprisPlayer(marqel::players::MprisPlayerSetup& setup) {
  using marqel::players::MprisPlayer;
  return new MprisPlayer(setup.loop, setup.windows, setup.codePage, setup.report, setup.messages,
                         MprisPlayer::Options{.names = std::move(setup.names)});
}
