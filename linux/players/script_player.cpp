#include "linux/players/script_player.h"

#include <ostream>

#include "common/utf.h"
#include "linux/system/session.h"

namespace marqel::players {
namespace {

using Kind = ScriptCommand::Kind;

// How long a `tick` waits for a refresh tick that does not come (the plug-in's timer is not
// running): the tick period and a half, so a running timer always comes first.
constexpr std::int32_t kTickPeriodMs = 500;
constexpr std::int32_t kTickGraceMs = 250;

}  // namespace

ScriptPlayer::ScriptPlayer(Script script, system::Session& session,
                           const platform::CodePage& codePage, PlayerHost& host,
                           std::ostream& diagnostics)
    : script_(std::move(script)),
      session_(session),
      loop_(session.loop()),
      windows_(session.windows()),
      codePage_(codePage),
      host_(host),
      diagnostics_(diagnostics),
      window_(windows_.create()) {
  tickHook_ = loop_.addTickHook([this] { onTick(); });
}

ScriptPlayer::~ScriptPlayer() {
  loop_.removeTickHook(tickHook_);
  if (deadline_ != 0) loop_.cancel(deadline_);
  windows_.destroy(window_);
}

void ScriptPlayer::start() {
  loop_.post([this] { step(); });
}

void ScriptPlayer::handleKey(char key) {
  if (key == 'q' || key == 'Q') host_.quit();
}

std::optional<platform::WindowHandle> ScriptPlayer::windowToGive() {
  if (!windowAvailable_) return std::nullopt;
  return window_;
}

PlayerStatus ScriptPlayer::status() const {
  PlayerStatus status;
  status.track = "script";
  if (const platform::PlayerWindowState* state = windows_.find(window_)) {
    status.state = state->state;
    status.title = Utf16ToUtf8(codePage_.fromAnsi(state->text));
    status.positionMs = state->positionMs;
    status.lengthSeconds = state->lengthSeconds;
  }
  return status;
}

platform::PlayerWindowState& ScriptPlayer::state() {
  return *windows_.find(window_);
}

void ScriptPlayer::step() {
  while (!finished_ && next_ < script_.commands.size()) {
    const ScriptCommand& command = script_.commands[next_++];
    if (!run(command)) return;
  }
  if (!finished_) {
    // The end of the file means quit.
    finished_ = true;
    host_.quit();
  }
}

bool ScriptPlayer::run(const ScriptCommand& command) {
  switch (command.kind) {
    case Kind::Title:
      state().text = codePage_.toAnsi(Utf8ToUtf16(command.text));
      return true;
    case Kind::State:
      state().state = command.number;
      return true;
    case Kind::Length:
      state().lengthSeconds = command.number;
      return true;
    case Kind::Position:
      state().positionMs = command.number;
      return true;
    case Kind::WindowNone:
    case Kind::WindowOk:
      windowAvailable_ = command.kind == Kind::WindowOk;
      return true;
    case Kind::Tick:
      if (command.number == 0) return true;
      waitForTicks(command.number);
      return false;
    case Kind::Configure:
      // The lines after it run inside the dialog's modal loop, which this call enters.
      loop_.post([this] { step(); });
      host_.configure();
      return false;
    case Kind::DialogCom:
    case Kind::DialogContrast:
    case Kind::DialogSetSave:
      act(command);
      return true;
    case Kind::DialogExit:
    case Kind::DialogClose:
      // The lines after it run once the dialog's modal loop has unwound, on the loop that
      // opened it; run here, a `configure` among them would open the next dialog inside this
      // one's loop, and a long script would nest ever deeper.
      act(command);
      loop_.post([this] { step(); });
      return false;
    case Kind::Quit:
      finished_ = true;
      host_.quit();
      return false;
  }
  return true;
}

void ScriptPlayer::act(const ScriptCommand& command) {
  system::DialogControls* dialog = session_.openDialog();
  if (dialog == nullptr) {
    diagnostics_ << script_.name << ":" << command.line << ": no dialog is open; line skipped\n";
    return;
  }
  switch (command.kind) {
    case Kind::DialogCom:
      dialog->clickCom(command.number);
      break;
    case Kind::DialogContrast:
      dialog->moveContrast(command.number);
      break;
    case Kind::DialogSetSave:
      dialog->clickSetSave();
      break;
    case Kind::DialogExit:
      dialog->clickExit();
      break;
    case Kind::DialogClose:
      dialog->closeWindow();
      break;
    default:
      break;
  }
}

void ScriptPlayer::waitForTicks(std::int32_t count) {
  ticksLeft_ = count;
  armDeadline();
}

void ScriptPlayer::onTick() {
  if (ticksLeft_ <= 0) return;
  if (--ticksLeft_ == 0) {
    stopWaiting();
    loop_.post([this] { step(); });
  } else {
    armDeadline();
  }
}

void ScriptPlayer::armDeadline() {
  if (deadline_ != 0) loop_.cancel(deadline_);
  const auto wait = static_cast<std::int64_t>(ticksLeft_) * kTickPeriodMs + kTickGraceMs;
  deadline_ = loop_.callAfter(platform::EventLoop::Duration(wait), [this] {
    deadline_ = 0;
    ticksLeft_ = 0;
    step();
  });
}

void ScriptPlayer::stopWaiting() {
  if (deadline_ != 0) loop_.cancel(deadline_);
  deadline_ = 0;
}

}  // namespace marqel::players
