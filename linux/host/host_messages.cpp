#include "linux/host/host_messages.h"

#include <cstdlib>

#include "linux/platform/fltk/desktop_toolkit.h"
#include "linux/system/stderr_message_boxes.h"

namespace marqel::host {
namespace {

// Message boxes as windows, the toolkit loaded for the first one shown; without it they go to
// standard error.
class DesktopMessageBoxes final : public platform::MessageBoxes {
 public:
  explicit DesktopMessageBoxes(platform::EventLoop& loop) : loop_(loop) {}

  void show(std::u16string_view text, platform::MessageIcon icon) override {
    if (!shown_) {
      platform::linux_::DesktopToolkit* desktop = platform::linux_::LoadDesktopToolkit();
      shown_ = desktop != nullptr ? desktop->makeMessageBoxes(loop_)
                                  : std::make_unique<platform::linux_::StderrMessageBoxes>();
    }
    shown_->show(text, icon);
  }

 private:
  platform::EventLoop& loop_;
  std::unique_ptr<platform::MessageBoxes> shown_;
};

}  // namespace

HostMessageBoxes::HostMessageBoxes(platform::EventLoop& loop, bool displayPresent) {
  if (displayPresent) {
    boxes_ = std::make_unique<DesktopMessageBoxes>(loop);
  } else {
    boxes_ = std::make_unique<platform::linux_::StderrMessageBoxes>();
  }
}

HostMessageBoxes::~HostMessageBoxes() = default;

bool DisplayPresent() {
  // Only an X display can show the toolkit's windows; a Wayland session reaches it through the
  // DISPLAY its X server sets.
  return platform::linux_::DisplayReachable();
}

}  // namespace marqel::host
