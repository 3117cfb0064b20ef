#pragma once
// The DLL's own state: its instance handle, what keeps it loaded, and the one component, which
// lives on the thread that created the first object (the component is apartment-threaded).
#include <windows.h>

#include <memory>

namespace marqel {
class Component;
}
namespace marqel::platform::win32 {
class Win32Platform;
}

namespace marqel::windows {

class ModuleState {
 public:
  // The state of the loaded module; made by DllMain on attach and dropped on detach.
  static ModuleState& instance();
  static void attach(HINSTANCE module);
  // `processEnding`: the process exits and other modules may be gone; nothing is torn down then.
  static void detach(bool processEnding);

  explicit ModuleState(HINSTANCE module);
  ~ModuleState();
  ModuleState(const ModuleState&) = delete;
  ModuleState& operator=(const ModuleState&) = delete;

  HINSTANCE module() const { return module_; }

  // The component for a new object: made on first use on the calling thread, then Main runs
  // on it. An error from Main passes to the caller, and the next object tries again.
  Component& componentForNewObject();
  // Whether the calling thread is the one the component lives on (true before it exists).
  bool onComponentThread() const;

  void lock() { InterlockedIncrement(&locks_); }
  void unlock() { InterlockedDecrement(&locks_); }
  // No object, class-object reference or server lock is left, and no window of the component
  // (the link window with its timer, or the dialog) is open, whose procedures live in this DLL.
  bool canUnload() const;

 private:
  HINSTANCE module_;
  LONG locks_ = 0;
  DWORD thread_ = 0;
  std::unique_ptr<platform::win32::Win32Platform> platform_;
  std::unique_ptr<Component> component_;
  bool started_ = false;
};

}  // namespace marqel::windows
