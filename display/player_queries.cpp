#include "display/player_queries.h"

#include "platform/player_window.h"
#include "plugin/component.h"
#include "plugin/host_link.h"

namespace marqel {
namespace {

std::int32_t AskPlayer(Component& component, std::int32_t wParam, std::int32_t lParam) {
  const platform::WindowHandle window = HostPlayerWindow(component);
  return component.platform().playerWindows.SendMessageA(window, platform::WM_USER, wParam, lParam);
}

}  // namespace

std::int32_t QueryPlaybackState(Component& component) {
  return AskPlayer(component, 0, platform::kIpcIsPlaying);
}

std::int32_t QueryTrackLengthSeconds(Component& component) {
  return AskPlayer(component, 1, platform::kIpcGetOutputTime);
}

std::int32_t QueryTrackPositionMs(Component& component) {
  return AskPlayer(component, 0, platform::kIpcGetOutputTime);
}

}  // namespace marqel
