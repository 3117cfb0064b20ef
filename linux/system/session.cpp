#include "linux/system/session.h"

#include <vector>

#include "linux/system/stderr_message_boxes.h"

namespace marqel::system {
namespace {

Session* g_current = nullptr;

// What a component gets when no host made a session: enough to run, nothing to show a dialog.
struct DefaultSystem {
  platform::EventLoop loop;
  platform::WindowTable windows;
  platform::linux_::StderrMessageBoxes boxes;
  Session session{loop, windows, boxes};
};

DefaultSystem& Default() {
  // Never destroyed: a component may still hold timers on its loop while the process exits.
  static DefaultSystem* const system = new DefaultSystem;
  return *system;
}

}  // namespace

Session::Session(platform::EventLoop& loop, platform::WindowTable& windows,
                 platform::MessageBoxes& messageBoxes)
    : loop_(loop), windows_(windows), messageBoxes_(messageBoxes) {}

Session::~Session() {
  // A hook may remove itself (or others) while it runs.
  while (!endHooks_.empty()) {
    auto hook = std::move(endHooks_.begin()->second);
    endHooks_.erase(endHooks_.begin());
    hook();
  }
  if (g_current == this) g_current = nullptr;
}

int Session::addEndHook(std::function<void()> hook) {
  const int id = nextHook_++;
  endHooks_.emplace(id, std::move(hook));
  return id;
}

void Session::removeEndHook(int id) {
  endHooks_.erase(id);
}

Session& CurrentSession() {
  return g_current != nullptr ? *g_current : Default().session;
}

void SetCurrentSession(Session* session) {
  g_current = session;
}

}  // namespace marqel::system
