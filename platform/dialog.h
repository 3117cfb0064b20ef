#pragma once

namespace marqel::settings {
class Form2;
}

namespace marqel::platform {

// Shows the configuration dialog's model in a window of the platform's toolkit (or a text form,
// or a script). The view calls the model's handlers for the user's actions.
class DialogViews {
 public:
  virtual ~DialogViews() = default;
  // Shows the dialog modally and returns when it is closed; the thread's message loop (and with it
  // the refresh timer) keeps running meanwhile.
  virtual void showModal(settings::Form2& form) = 0;
  // Closes an open dialog without running any of its handlers (the component is unloading it).
  virtual void closeDialog() = 0;
};

}  // namespace marqel::platform
