#pragma once
// A stand-in for the window system's player window: a table of windows, each with its text (in
// the ANSI code page, as the window system would hand it out) and its answers to the player's
// user messages. Player stand-ins fill it; the component queries it. Unknown handles answer an
// empty text and 0.
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "platform/player_window.h"

namespace marqel::platform {

struct PlayerWindowState {
  std::string text;  // window text, ANSI bytes
  std::int32_t state = 0;
  std::int32_t lengthSeconds = 0;
  std::int32_t positionMs = 0;
  // Called between the length query and the text query, to model a text that changes meanwhile.
  std::function<void(PlayerWindowState&)> onTextLengthQueried;
};

class WindowTable final : public PlayerWindows {
 public:
  WindowHandle create(PlayerWindowState initial = {});
  void destroy(WindowHandle window);
  // The live state of a window; nullptr for an unknown handle.
  PlayerWindowState* find(WindowHandle window);

  std::int32_t GetWindowTextLengthA(WindowHandle window) override;
  std::int32_t GetWindowTextA(WindowHandle window, char* buffer, std::int32_t maxCount) override;
  std::int32_t SendMessageA(WindowHandle window, std::uint32_t message, std::int32_t wParam,
                            std::int32_t lParam) override;

 private:
  std::map<WindowHandle, PlayerWindowState> windows_;
  WindowHandle next_ = 0x00010010;
};

}  // namespace marqel::platform
