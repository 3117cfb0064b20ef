// The desktop module, marqel-desktop.so: FLTK's message boxes and configuration dialog behind the
// one entry point that the host and the plug-in module look up when they first show a window.
#include <memory>

#include "linux/platform/fltk/desktop_toolkit.h"
#include "linux/platform/fltk/fltk_loop.h"
#include "linux/platform/fltk/fltk_message_boxes.h"
#include "linux/views/fltk/fltk_dialog_views.h"

namespace marqel::platform::linux_ {
namespace {

class FltkToolkit final : public DesktopToolkit {
 public:
  bool displayAvailable() override { return FltkDisplayAvailable(); }
  std::unique_ptr<MessageBoxes> makeMessageBoxes(EventLoop& loop) override {
    return std::make_unique<FltkMessageBoxes>(loop);
  }
  std::unique_ptr<DialogViews> makeDialogViews(EventLoop& loop) override {
    return std::make_unique<FltkDialogViews>(loop);
  }
};

}  // namespace
}  // namespace marqel::platform::linux_

extern "C" __attribute__((visibility("default"))) marqel::platform::linux_::DesktopToolkit*
MarqelDesktopToolkit() {
  static marqel::platform::linux_::FltkToolkit toolkit;
  return &toolkit;
}
