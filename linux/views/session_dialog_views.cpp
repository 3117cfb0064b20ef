#include "linux/views/session_dialog_views.h"

#include <unistd.h>

#include "linux/views/text/text_dialog_views.h"
#if MARQEL_HAVE_FLTK
#include "linux/views/fltk/fltk_dialog_views.h"
#endif
#include "linux/system/session.h"
#include "linux/views/script/script_dialog_view.h"

namespace marqel::module {

SessionDialogViews::SessionDialogViews(system::Session& session) : session_(session) {}

SessionDialogViews::~SessionDialogViews() = default;

platform::DialogViews& SessionDialogViews::viewForStyle() {
  switch (session_.dialogStyle) {
    case system::DialogStyle::Script:
      if (!script_) script_ = std::make_unique<ScriptDialogView>(session_);
      return *script_;
    case system::DialogStyle::Window:
#if MARQEL_HAVE_FLTK
      if (!window_) window_ = std::make_unique<platform::linux_::FltkDialogViews>(session_.loop());
      return *window_;
#endif
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
