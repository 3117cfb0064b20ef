#include "linux/views/session_dialog_views.h"

#include <unistd.h>

#include "linux/platform/fltk/desktop_toolkit.h"
#include "linux/system/session.h"
#include "linux/views/script/script_dialog_view.h"
#include "linux/views/text/text_dialog_views.h"

namespace marqel::module {

SessionDialogViews::SessionDialogViews(system::Session& session) : session_(session) {}

SessionDialogViews::~SessionDialogViews() = default;

platform::DialogViews& SessionDialogViews::viewForStyle() {
  switch (session_.dialogStyle) {
    case system::DialogStyle::Script:
      if (!script_) script_ = std::make_unique<ScriptDialogView>(session_);
      return *script_;
    case system::DialogStyle::Window:
      if (!window_) {
        // The toolkit is loaded only now that a window is to be shown; without it, or without a
        // display after all, the form comes in the terminal.
        platform::linux_::DesktopToolkit* desktop = platform::linux_::LoadDesktopToolkit();
        if (desktop != nullptr && desktop->displayAvailable()) {
          window_ = desktop->makeDialogViews(session_.loop());
        }
      }
      if (window_) return *window_;
      [[fallthrough]];
    case system::DialogStyle::Terminal:
      // The form reads its choices from the terminal and draws itself there.
      if (!terminal_) {
        terminal_ = std::make_unique<platform::linux_::TextDialogViews>(
            session_.loop(), STDIN_FILENO, STDOUT_FILENO);
      }
      return *terminal_;
    case system::DialogStyle::None:
      break;
  }
  if (!none_) none_ = std::make_unique<ClosedDialogView>();
  return *none_;
}

void SessionDialogViews::showModal(platform::ConfigurationDialog& form) {
  platform::DialogViews& view = viewForStyle();
  platform::DialogViews* const outer = open_;
  open_ = &view;
  try {
    view.showModal(form);
  } catch (...) {
    open_ = outer;
    throw;
  }
  open_ = outer;
}

void SessionDialogViews::closeDialog() {
  if (open_ != nullptr) open_->closeDialog();
}

}  // namespace marqel::module
