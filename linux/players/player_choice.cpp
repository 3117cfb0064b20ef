#include "linux/players/player_choice.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "linux/players/mpris_model.h"
#include "linux/players/mpris_module.h"
#include "linux/players/script_player.h"
#include "linux/players/sim_player.h"
#include "linux/system/session.h"

namespace marqel::players {
namespace {

constexpr std::string_view kScriptPrefix = "script:";
constexpr std::string_view kMpris = "mpris";

}  // namespace

PlayerChoice ChoosePlayer(const std::string& name) {
  if (name == "sim") return PlayerChoice{};
  if (name.starts_with(kScriptPrefix)) return ScriptChoice(name.substr(kScriptPrefix.size()));
  if (name == kMpris || name.starts_with(std::string(kMpris) + ":")) {
    // "mpris" follows any player, "mpris:vlc,mpv" the first of these that is there.
    PlayerChoice choice{PlayerChoice::Kind::Mpris, {}, {}};
    try {
      choice.mprisNames = mpris::ParsePlayerNames(
          std::string_view(name).substr(std::min(name.size(), kMpris.size() + 1)));
    } catch (const std::invalid_argument& error) {
      throw std::invalid_argument("--player " + name + ": " + error.what());
    }
    // Loaded now, so that a host without it stops before anything starts.
    if (std::string failure; LoadMprisModule(failure) == nullptr) {
      throw std::invalid_argument("--player " + name +
                                  ": the MPRIS player cannot be loaded: " + failure);
    }
    return choice;
  }
  throw std::invalid_argument("unknown player `" + name +
                              "` (use sim, script:FILE or mpris[:NAMES])");
}

PlayerChoice ScriptChoice(const std::filesystem::path& file) {
  return PlayerChoice{PlayerChoice::Kind::Scripted, LoadScript(file), {}};
}

std::unique_ptr<PlayerStandIn> MakePlayer(PlayerChoice choice, const StandInContext& context) {
  switch (choice.kind) {
    case PlayerChoice::Kind::Simulated:
      return std::make_unique<SimPlayer>(context.session.loop(), context.session.windows(),
                                         context.codePage, context.host);
    case PlayerChoice::Kind::Scripted:
      return std::make_unique<ScriptPlayer>(std::move(choice.script), context.session,
                                            context.codePage, context.host, context.diagnostics);
    case PlayerChoice::Kind::Mpris: {
      std::string failure;
      const MakeMprisPlayerFn make = LoadMprisModule(failure);
      if (make == nullptr)
        throw std::runtime_error("the MPRIS player cannot be loaded: " + failure);
      MprisPlayerSetup setup{context.session.loop(), context.session.windows(),
                             context.codePage,       context.report,
                             context.diagnostics,    std::move(choice.mprisNames)};
      return std::unique_ptr<PlayerStandIn>(make(setup));
    }
  }
  throw std::logic_error("a player choice without a stand-in");
}

}  // namespace marqel::players
