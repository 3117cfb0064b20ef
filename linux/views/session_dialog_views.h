#pragma once
// The dialog as the session shows it: a toolkit window when a display is present (the toolkit
// loaded for its first opening), a text form on the terminal, or a dialog the host's script
// drives. The choice is made at each opening.
#include <memory>

#include "platform/dialog.h"

namespace marqel::system {
class Session;
}

namespace marqel::module {

class SessionDialogViews final : public platform::DialogViews {
 public:
  explicit SessionDialogViews(system::Session& session);
  ~SessionDialogViews() override;
  SessionDialogViews(const SessionDialogViews&) = delete;
  SessionDialogViews& operator=(const SessionDialogViews&) = delete;

  void showModal(platform::ConfigurationDialog& form) override;
  void closeDialog() override;

 private:
  platform::DialogViews& viewForStyle();

  system::Session& session_;
  std::unique_ptr<platform::DialogViews> window_;
  std::unique_ptr<platform::DialogViews> terminal_;
  std::unique_ptr<platform::DialogViews> script_;
  std::unique_ptr<platform::DialogViews> none_;
  platform::DialogViews* open_ = nullptr;
};

}  // namespace marqel::module
