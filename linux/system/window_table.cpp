#include "linux/system/window_table.h"

#include <algorithm>
#include <cstring>

namespace marqel::platform {

WindowHandle WindowTable::create(PlayerWindowState initial) {
  const WindowHandle handle = next_;
  next_ += 0x10;
  windows_.emplace(handle, std::move(initial));
  return handle;
}

void WindowTable::destroy(WindowHandle window) { windows_.erase(window); }

PlayerWindowState* WindowTable::find(WindowHandle window) {
  const auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

std::int32_t WindowTable::GetWindowTextLengthA(WindowHandle window) {
  PlayerWindowState* state = find(window);
  if (state == nullptr) {
    return 0;
  }
  const auto length = static_cast<std::int32_t>(std::min<std::size_t>(state->text.size(), INT32_MAX));
  if (state->onTextLengthQueried) {
    // Run a copy: the hook may replace or clear itself, which would destroy it mid-call.
    const auto hook = state->onTextLengthQueried;
    hook(*state);
  }
  return length;
}

std::int32_t WindowTable::GetWindowTextA(WindowHandle window, char* buffer, std::int32_t maxCount) {
  if (buffer == nullptr || maxCount <= 0) {
    return 0;
  }
  const PlayerWindowState* state = find(window);
  const std::size_t available = state == nullptr ? 0 : state->text.size();
  const std::size_t copied = std::min(available, static_cast<std::size_t>(maxCount) - 1);
  if (copied > 0) {
    std::memcpy(buffer, state->text.data(), copied);
  }
  buffer[copied] = '\0';
  return static_cast<std::int32_t>(copied);
}

std::int32_t WindowTable::SendMessageA(WindowHandle window, std::uint32_t message,
                                       std::int32_t wParam, std::int32_t lParam) {
  const PlayerWindowState* state = find(window);
  if (state == nullptr || message != WM_USER) {
    return 0;
  }
  if (lParam == kIpcIsPlaying && wParam == 0) {
    return state->state;
  }
  if (lParam == kIpcGetOutputTime) {
    if (wParam == 0) {
      return state->positionMs;
    }
    if (wParam == 1) {
      return state->lengthSeconds;
    }
  }
  return 0;
}

}  // namespace marqel::platform
