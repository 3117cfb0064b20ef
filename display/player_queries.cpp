#include "display/player_queries.h"

namespace marqel {
namespace {

std::int32_t AskPlayer(const Player& player, std::int32_t wParam, std::int32_t lParam) {
  const platform::WindowHandle window = player.host.HostPlayerWindow();
  return player.windows.SendMessageA(window, platform::WM_USER, wParam, lParam);
}

}  // namespace

std::int32_t QueryPlaybackState(const Player& player) {
  return AskPlayer(player, 0, platform::kIpcIsPlaying);
}

std::int32_t QueryTrackLengthSeconds(const Player& player) {
  return AskPlayer(player, 1, platform::kIpcGetOutputTime);
}

std::int32_t QueryTrackPositionMs(const Player& player) {
  return AskPlayer(player, 0, platform::kIpcGetOutputTime);
}

}  // namespace marqel
