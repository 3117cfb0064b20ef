#pragma once
// The configuration dialog as a model, apart from any toolkit: it owns the values of its
// controls and the two pending settings, runs the dialog's handlers, and tells an attached view
// when a control's value changed. Every view (a desktop window, a text form, a script) drives it
// through the same event calls of platform::ConfigurationDialog.
#include <cstdint>
#include <memory>
#include <string>

#include "common/shared_types.h"
#include "display/display_memory.h"
#include "lcd/lcd_link.h"
#include "platform/dialog.h"
#include "platform/message_box.h"
#include "settings/settings_file.h"

namespace marqel::settings {

// What the dialog needs of the component that holds it.
class Form2Owner {
 public:
  virtual ~Form2Owner() = default;
  // Unloads the dialog: the owner lets it go and detaches it from its view.
  virtual void unloadForm2() = 0;
};

// The component's state and services the dialog works on. None of them is touched once the
// dialog is unloaded.
struct Form2Context {
  Form2Owner& owner;
  LinkSettings& linkSettings;
  LcdLink& link;
  DisplayMemory& displayMemory;
  SettingsFileAccess settingsFile;
  platform::MessageBoxes& messageBoxes;
  platform::DialogViews& views;
};

// Owned by its owner through a shared_ptr: a view that shows the dialog modally holds
// another reference (keepAlive()) so that the dialog outlives its modal loop even when Quit
// unloads it from inside that loop.
class Form2 final : public platform::ConfigurationDialog,
                    public std::enable_shared_from_this<Form2> {
 public:
  explicit Form2(const Form2Context& context) : context_(context) {}
  Form2(const Form2&) = delete;
  Form2& operator=(const Form2&) = delete;

  // The load step: pending values from LinkSettings, then the label, the bar and the option
  // buttons, with the change and click events that setting them fires.
  void load();
  // The component is unloading the dialog: the view is closed and no handler runs from now on;
  // nothing of the component is touched again.
  void detachView();

  // --- what the user does (each call is one event; failures never leave it) ---
  void COM_Click(int index) override;
  // Fires the change only when the position differs.
  void setContrastPosition(int position) override;
  void SetSave_Click() override;
  void Exit_Click() override;
  void close() override;

  // --- the controls and fields, for views and tests ---
  std::uint8_t pendingPort() const { return pendingPort_; }
  std::uint8_t pendingContrast() const { return pendingContrast_; }
  const std::u16string& lblContrast() const override { return lblContrast_; }
  int contrastPosition() const override { return contrastPosition_; }
  int selectedCOM() const override { return selectedCOM_; }
  bool unloaded() const override { return unloaded_; }

  void setObserver(platform::DialogObserver* observer) override;
  std::shared_ptr<platform::ConfigurationDialog> keepAlive() override;

 private:
  void Contrast_Change();
  // Moves the bar (clamped to its range) and, if it moved, fires the change at the event edge.
  void moveContrastBar(int position);
  void selectCOM(int index);
  void notify();

  Form2Context context_;
  platform::DialogObserver* observer_ = nullptr;
  bool unloaded_ = false;

  std::uint8_t pendingPort_ = 0;
  std::uint8_t pendingContrast_ = 0;
  std::u16string lblContrast_;
  int contrastPosition_ = 0;  // the bar stands at 0 when the dialog is created
  int selectedCOM_ = 0;
};

}  // namespace marqel::settings
