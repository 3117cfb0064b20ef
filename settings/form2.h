#pragma once
// The configuration dialog as a model, apart from any toolkit: it owns the values of its
// controls and the two pending settings, runs the dialog's handlers, and tells an attached view
// when a control's value changed. Every view (a desktop window, a text form, a script) drives it
// through the same event calls.
#include <cstdint>
#include <memory>
#include <string>

namespace marqel {
class Component;
}

namespace marqel::settings {

class Form2;

// A view of the dialog; re-reads the model's controls when told.
class Form2Observer {
 public:
  virtual ~Form2Observer() = default;
  virtual void controlsChanged(const Form2& form) = 0;
};

// Owned by the Component through a shared_ptr: a view that shows the dialog modally may hold
// another reference (weak_from_this().lock()) so that the dialog outlives its modal loop even
// when Quit unloads it from inside that loop.
class Form2 : public std::enable_shared_from_this<Form2> {
 public:
  static constexpr int kContrastMin = 0;
  static constexpr int kContrastMax = 127;
  static constexpr int kFirstPort = 1;
  static constexpr int kLastPort = 4;

  explicit Form2(Component& component) : component_(component) {}
  Form2(const Form2&) = delete;
  Form2& operator=(const Form2&) = delete;

  // The load step: pending values from LinkSettings, then the label, the bar and the option
  // buttons, with the change and click events that setting them fires.
  void load();
  // The component is unloading the dialog: the view is closed and no handler runs from now on;
  // the Component is not touched again.
  void detachView();

  // --- what the user does (each call is one event; failures never leave it) ---
  // A click on COM(index), 1..4. Raises a RuntimeError for an index without a button.
  void COM_Click(int index);
  // A completed move of the contrast bar to `position`, 0..127 (an arrow or track click, a key,
  // the release of a dragged thumb). Fires the change only when the position differs. Raises a
  // RuntimeError for a position outside the bar.
  void setContrastPosition(int position);
  void SetSave_Click();
  void Exit_Click();
  // The window's own close command: unloads the dialog without running a handler.
  void close();

  // --- the controls and fields, for views and tests ---
  std::uint8_t pendingPort() const { return pendingPort_; }
  std::uint8_t pendingContrast() const { return pendingContrast_; }
  const std::u16string& lblContrast() const { return lblContrast_; }
  int contrastPosition() const { return contrastPosition_; }
  // The selected option button, 1..4, or 0 when none is selected.
  int selectedCOM() const { return selectedCOM_; }
  bool unloaded() const { return unloaded_; }

  void setObserver(Form2Observer* observer);

 private:
  void Contrast_Change();
  // Moves the bar (clamped to its range) and, if it moved, fires the change at the event edge.
  void moveContrastBar(int position);
  void selectCOM(int index);
  void notify();

  Component& component_;
  Form2Observer* observer_ = nullptr;
  bool unloaded_ = false;

  std::uint8_t pendingPort_ = 0;
  std::uint8_t pendingContrast_ = 0;
  std::u16string lblContrast_;
  int contrastPosition_ = 0;  // the bar stands at 0 when the dialog is created
  int selectedCOM_ = 0;
};

}  // namespace marqel::settings
