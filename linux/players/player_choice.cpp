#include "linux/players/player_choice.h"

#include <stdexcept>

#include "linux/players/script_player.h"
#include "linux/players/sim_player.h"
#include "linux/system/session.h"

namespace marqel::players {
namespace {

constexpr std::string_view kScriptPrefix = "script:";

}  // namespace

PlayerChoice ChoosePlayer(const std::string& name) {
  if (name == "sim") return PlayerChoice{};
  if (name.starts_with(kScriptPrefix)) return ScriptChoice(name.substr(kScriptPrefix.size()));
  throw std::invalid_argument("unknown player `" + name + "` (use sim or script:FILE)");
}

PlayerChoice ScriptChoice(const std::filesystem::path& file) {
  return PlayerChoice{PlayerChoice::Kind::Scripted, LoadScript(file)};
}

std::unique_ptr<PlayerStandIn> MakePlayer(PlayerChoice choice, const StandInContext& context) {
  switch (choice.kind) {
    case PlayerChoice::Kind::Simulated:
      return std::make_unique<SimPlayer>(context.session.loop(), context.session.windows(),
                                         context.codePage, context.host);
    case PlayerChoice::Kind::Scripted:
      return std::make_unique<ScriptPlayer>(std::move(choice.script), context.session,
                                            context.codePage, context.host, context.diagnostics);
  }
  throw std::logic_error("a player choice without a stand-in");
}

}  // namespace marqel::players
