#pragma once
// A scripted player and host for tests: the player's main window in the window-system stand-in,
// a host that hands it out (or fails to), and a view of the window queries that can lie about the
// text length and counts every query.
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "linux/system/window_table.h"
#include "platform/player_window.h"
#include "platform/text.h"
#include "plugin/host_link.h"

namespace marqel::harness {

// The host object: keeps the descriptions it is given, gives out the player's window, or a
// failing status on demand.
class ScriptedHost final : public HostLink {
 public:
  static constexpr std::int32_t kFailStatus = static_cast<std::int32_t>(0x80004005u);

  std::int32_t SetDescription(std::u16string_view description) override;
  std::int32_t GetPlayerWindow(std::int32_t* window) override;

  // Every later get-player-window call fails.
  void failAlways(std::int32_t status = kFailStatus) { failStatus_ = status; }
  // Only the given get-player-window calls fail, counted from 1 after this call (a tick makes five:
  // text length, text, state, track length, position).
  void failCalls(std::set<int> callNumbers, std::int32_t status = kFailStatus);
  void recover();

  platform::WindowHandle window = 0;
  int windowCalls = 0;
  // Every description set, in order; each set-description call answers `descriptionStatus`.
  std::vector<std::u16string> descriptions;
  std::int32_t descriptionStatus = 0;

 private:
  std::optional<std::int32_t> failStatus_;
  std::set<int> failingCalls_;
  std::int32_t failCallsStatus_ = kFailStatus;
  int callBase_ = 0;
};

// The window queries as the component sees them: the window table's answers, except a text length
// the test wants to be a lie, with a count of every query.
class ScriptedWindows final : public platform::PlayerWindows {
 public:
  explicit ScriptedWindows(platform::WindowTable& table) : table_(table) {}

  std::int32_t GetWindowTextLengthA(platform::WindowHandle window) override;
  std::int32_t GetWindowTextA(platform::WindowHandle window, char* buffer,
                              std::int32_t maxCount) override;
  std::int32_t SendMessageA(platform::WindowHandle window, std::uint32_t message,
                            std::int32_t wParam, std::int32_t lParam) override;

  // When set, the text-length query answers this instead of the real length.
  std::optional<std::int32_t> lengthAnswer;
  int queries = 0;
  // The largest buffer size any text query was given.
  std::int32_t largestTextBuffer = 0;

 private:
  platform::WindowTable& table_;
};

// The player's side of a scenario: what its main window says and answers.
class ScriptedPlayer {
 public:
  ScriptedPlayer(platform::WindowTable& table, ScriptedWindows& view, ScriptedHost& host,
                 const platform::CodePage& codePage);

  // The live window; a test that scripts a closed window has a mistake in it (logic_error).
  platform::PlayerWindowState& state();

  // The window text, given as the component would read it back (converted to ANSI bytes).
  ScriptedPlayer& showsText(std::u16string_view text);
  // The window text as raw ANSI bytes.
  ScriptedPlayer& showsAnsi(std::string bytes);
  ScriptedPlayer& plays() { return inState(1); }
  ScriptedPlayer& pauses() { return inState(3); }
  ScriptedPlayer& stops() { return inState(0); }
  ScriptedPlayer& inState(std::int32_t state);
  ScriptedPlayer& trackLength(std::int32_t seconds);
  ScriptedPlayer& positionMs(std::int32_t milliseconds);
  ScriptedPlayer& positionSeconds(std::int32_t seconds) { return positionMs(seconds * 1000); }

  // The text-length query answers `length` whatever the text is; nullopt ends the lie.
  ScriptedPlayer& reportsTextLength(std::optional<std::int32_t> length);
  // The text changes right after the next length query has been answered (once).
  ScriptedPlayer& changesTextAfterLengthQuery(std::u16string_view newText);
  // The window goes away; the host still hands out its old handle, which now answers nothing.
  void closesWindow();

 private:
  platform::WindowTable& table_;
  ScriptedWindows& view_;
  const platform::CodePage& codePage_;
  platform::WindowHandle window_;
};

}  // namespace marqel::harness
