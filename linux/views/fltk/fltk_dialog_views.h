#pragma once
// The configuration dialog as a desktop window (FLTK), laid out from the designer's twips at 15
// twips a pixel. Modal: showModal runs the component thread's message loop, so refresh ticks go
// on, until the window is closed by "Exit", by its own close button or by the component.
#include <memory>

#include "linux/system/event_loop.h"
#include "platform/dialog.h"

namespace marqel::platform::linux_ {

class FltkDialogViews final : public DialogViews, private DialogObserver {
 public:
  explicit FltkDialogViews(EventLoop& loop);
  ~FltkDialogViews() override;
  FltkDialogViews(const FltkDialogViews&) = delete;
  FltkDialogViews& operator=(const FltkDialogViews&) = delete;

  // Raises a RuntimeError when no display can be opened, or when the dialog is already shown.
  void showModal(ConfigurationDialog& form) override;
  void closeDialog() override;

  struct Window;  // the toolkit's widgets, kept out of this header

 private:
  void controlsChanged(const ConfigurationDialog& form) override;
  template <class Action>
  void fire(Action&& action);

  EventLoop& loop_;
  std::unique_ptr<Window> window_;
  ConfigurationDialog* form_ = nullptr;
};

}  // namespace marqel::platform::linux_
