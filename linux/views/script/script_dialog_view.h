#pragma once
// The dialog without a screen: while it is open, the session offers it as DialogControls, and
// whatever drives the session (the host's script) clicks and moves its controls.
#include "linux/system/session.h"
#include "platform/dialog.h"

namespace marqel::module {

class ScriptDialogView final : public platform::DialogViews, public system::DialogControls {
 public:
  explicit ScriptDialogView(system::Session& session) : session_(session) {}
  ~ScriptDialogView();
  ScriptDialogView(const ScriptDialogView&) = delete;
  ScriptDialogView& operator=(const ScriptDialogView&) = delete;

  // Raises "Form already displayed; can't show modally" while it is open already.
  void showModal(platform::ConfigurationDialog& form) override;
  void closeDialog() override;

  void clickCom(int index) override;
  void moveContrast(int position) override;
  void clickSetSave() override;
  void clickExit() override;
  void closeWindow() override;

 private:
  system::Session& session_;
  platform::ConfigurationDialog* form_ = nullptr;
};

// A dialog nobody can see: it closes as soon as it opens, as if dismissed by its close command.
class ClosedDialogView final : public platform::DialogViews {
 public:
  void showModal(platform::ConfigurationDialog&) override {}
  void closeDialog() override {}
};

}  // namespace marqel::module
