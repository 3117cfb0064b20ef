#pragma once
// How the host's session shows message boxes: windows when a display is present (the toolkit
// loaded for the first box shown), otherwise lines on standard error, dismissed at once.
#include <memory>

#include "linux/system/event_loop.h"
#include "platform/message_box.h"

namespace marqel::host {

class HostMessageBoxes {
 public:
  HostMessageBoxes(platform::EventLoop& loop, bool displayPresent);
  ~HostMessageBoxes();
  HostMessageBoxes(const HostMessageBoxes&) = delete;
  HostMessageBoxes& operator=(const HostMessageBoxes&) = delete;

  platform::MessageBoxes& boxes() { return *boxes_; }

 private:
  std::unique_ptr<platform::MessageBoxes> boxes_;
};

// Whether message boxes and the dialog can use windows (a display server is reachable). Asks
// without loading the toolkit where it can.
bool DisplayPresent();

}  // namespace marqel::host
