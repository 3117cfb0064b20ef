#pragma once
// The "system" a host and the components it loads share on Linux: what on Windows belongs to the
// thread and to the window system. One process has one current session: the host makes it before
// it loads a component, and the component takes from it
//   - the thread's message loop (its timers and modal loops run there),
//   - the window table, where the player's windows live,
//   - the message boxes and the way a dialog is shown (a window, a text form, a script),
//   - which device each COM port number stands for.
// A component loaded into a process without a host session gets a default one (a real-time loop,
// an empty window table, message boxes on standard error, no dialog).
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "linux/system/event_loop.h"
#include "linux/system/window_table.h"
#include "platform/message_box.h"

namespace marqel::system {

// How a component shows its configuration dialog in this session.
enum class DialogStyle {
  Window,    // a display is present: a toolkit window
  Terminal,  // a text form on the terminal
  Script,    // driven from outside, through DialogControls (the host's script)
  None,      // nothing can show it: it closes at once, as if dismissed
};

// An open dialog as something outside the component can drive it, one user action a call. Each
// call runs the dialog's own handler for that action, on the loop's thread.
class DialogControls {
 public:
  virtual void clickCom(int index) = 0;
  // A completed move of the contrast bar to `position`.
  virtual void moveContrast(int position) = 0;
  virtual void clickSetSave() = 0;
  virtual void clickExit() = 0;
  // The window's own close command: none of the dialog's handlers runs.
  virtual void closeWindow() = 0;

 protected:
  ~DialogControls() = default;
};

class Session {
 public:
  Session(platform::EventLoop& loop, platform::WindowTable& windows,
          platform::MessageBoxes& messageBoxes);
  // Runs the end hooks, then stops being current if it was.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  platform::EventLoop& loop() const { return loop_; }
  platform::WindowTable& windows() const { return windows_; }
  platform::MessageBoxes& messageBoxes() const { return messageBoxes_; }

  DialogStyle dialogStyle = DialogStyle::None;
  // COMn -> device path (the host's --com N=DEVICE); ports not listed keep the usual device.
  std::map<int, std::string> comPorts;

  // The dialog a DialogStyle::Script view has open, for the host's script to drive; nullptr when
  // none is open.
  void setOpenDialog(DialogControls* dialog) { openDialog_ = dialog; }
  DialogControls* openDialog() const { return openDialog_; }

  // Run when the session ends, before its loop and window table go: a component still loaded
  // drops what it has running on them. Returns an id for removeEndHook.
  int addEndHook(std::function<void()> hook);
  void removeEndHook(int id);

 private:
  platform::EventLoop& loop_;
  platform::WindowTable& windows_;
  platform::MessageBoxes& messageBoxes_;
  DialogControls* openDialog_ = nullptr;
  std::map<int, std::function<void()>> endHooks_;
  int nextHook_ = 1;
};

// The current session: the host's, or the default one (made on first use).
Session& CurrentSession();
// Makes `session` current (nullptr: none, so the default one is used again). The host calls this
// before it loads a component and keeps the session alive until the component is unloaded.
void SetCurrentSession(Session* session);

}  // namespace marqel::system
