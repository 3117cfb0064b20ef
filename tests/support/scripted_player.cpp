#include "tests/support/scripted_player.h"

#include <stdexcept>
#include <utility>

namespace marqel::harness {

std::int32_t ScriptedHost::SetDescription(std::u16string_view text) {
  descriptions.emplace_back(text);
  return descriptionStatus;
}

std::int32_t ScriptedHost::GetPlayerWindow(std::int32_t* out) {
  ++windowCalls;
  if (failStatus_) {
    return *failStatus_;
  }
  if (failingCalls_.count(windowCalls - callBase_) != 0) {
    return failCallsStatus_;
  }
  *out = window;
  return 0;
}

void ScriptedHost::failCalls(std::set<int> callNumbers, std::int32_t status) {
  failStatus_.reset();
  failingCalls_ = std::move(callNumbers);
  callBase_ = windowCalls;
  failCallsStatus_ = status;
}

void ScriptedHost::recover() {
  failStatus_.reset();
  failingCalls_.clear();
}

std::int32_t ScriptedWindows::GetWindowTextLengthA(platform::WindowHandle window) {
  ++queries;
  const std::int32_t real = table_.GetWindowTextLengthA(window);
  return lengthAnswer ? *lengthAnswer : real;
}

std::int32_t ScriptedWindows::GetWindowTextA(platform::WindowHandle window, char* buffer,
                                             std::int32_t maxCount) {
  ++queries;
  if (maxCount > largestTextBuffer) {
    largestTextBuffer = maxCount;
  }
  return table_.GetWindowTextA(window, buffer, maxCount);
}

std::int32_t ScriptedWindows::SendMessageA(platform::WindowHandle window, std::uint32_t message,
                                           std::int32_t wParam, std::int32_t lParam) {
  ++queries;
  return table_.SendMessageA(window, message, wParam, lParam);
}

ScriptedPlayer::ScriptedPlayer(platform::WindowTable& table, ScriptedWindows& view,
                               ScriptedHost& host, const platform::CodePage& codePage)
    : table_(table), view_(view), codePage_(codePage), window_(table.create()) {
  host.window = window_;
}

platform::PlayerWindowState& ScriptedPlayer::state() {
  platform::PlayerWindowState* state = table_.find(window_);
  if (state == nullptr) {
    throw std::logic_error("the scripted player's window is closed");
  }
  return *state;
}

ScriptedPlayer& ScriptedPlayer::showsText(std::u16string_view text) {
  return showsAnsi(codePage_.toAnsi(text));
}

ScriptedPlayer& ScriptedPlayer::showsAnsi(std::string bytes) {
  state().text = std::move(bytes);
  return *this;
}

ScriptedPlayer& ScriptedPlayer::inState(std::int32_t playbackState) {
  state().state = playbackState;
  return *this;
}

ScriptedPlayer& ScriptedPlayer::trackLength(std::int32_t seconds) {
  state().lengthSeconds = seconds;
  return *this;
}

ScriptedPlayer& ScriptedPlayer::positionMs(std::int32_t milliseconds) {
  state().positionMs = milliseconds;
  return *this;
}

ScriptedPlayer& ScriptedPlayer::reportsTextLength(std::optional<std::int32_t> length) {
  view_.lengthAnswer = length;
  return *this;
}

ScriptedPlayer& ScriptedPlayer::changesTextAfterLengthQuery(std::u16string_view newText) {
  state().onTextLengthQueried =
      [bytes = codePage_.toAnsi(newText)](platform::PlayerWindowState& window) {
        window.text = bytes;
        // One change only; the window table keeps the running hook alive while it clears itself.
        window.onTextLengthQueried = nullptr;
      };
  return *this;
}

void ScriptedPlayer::closesWindow() {
  table_.destroy(window_);
}

}  // namespace marqel::harness
