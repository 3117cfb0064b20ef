#include "linux/views/script/script_dialog_view.h"

#include <memory>

#include "common/runtime_error.h"

namespace marqel::module {
namespace {

// An action from outside is one user event: whatever it raises ends there, as an error inside a
// control's event ends at the event's edge, and never reaches the driver.
template <class Action>
void AsUserEvent(Action&& action) {
  try {
    action();
  } catch (...) {
  }
}

}  // namespace

ScriptDialogView::~ScriptDialogView() {
  if (session_.openDialog() == this) session_.setOpenDialog(nullptr);
}

void ScriptDialogView::showModal(platform::ConfigurationDialog& form) {
  if (form_ != nullptr) {
    throw RuntimeError(err::kFormAlreadyDisplayed, "Form already displayed; can't show modally");
  }
  // The dialog may be unloaded from inside this loop (Exit, Quit); it stays alive until then.
  const std::shared_ptr<platform::ConfigurationDialog> keepAlive = form.keepAlive();
  form_ = &form;
  session_.setOpenDialog(this);
  session_.loop().runUntil([this] { return form_ == nullptr; });
  if (session_.openDialog() == this) session_.setOpenDialog(nullptr);
}

void ScriptDialogView::closeDialog() {
  form_ = nullptr;
  if (session_.openDialog() == this) session_.setOpenDialog(nullptr);
}

void ScriptDialogView::clickCom(int index) {
  if (form_ != nullptr) AsUserEvent([&] { form_->COM_Click(index); });
}

void ScriptDialogView::moveContrast(int position) {
  if (form_ != nullptr) AsUserEvent([&] { form_->setContrastPosition(position); });
}

void ScriptDialogView::clickSetSave() {
  if (form_ != nullptr) AsUserEvent([&] { form_->SetSave_Click(); });
}

void ScriptDialogView::clickExit() {
  if (form_ != nullptr) AsUserEvent([&] { form_->Exit_Click(); });
}

void ScriptDialogView::closeWindow() {
  if (form_ != nullptr) AsUserEvent([&] { form_->close(); });
}

}  // namespace marqel::module
