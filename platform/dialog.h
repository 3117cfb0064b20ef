#pragma once
// The configuration dialog as a view sees it, apart from the model behind it and from any toolkit:
// its controls and the user's events on them. The platform shows it (in a window of its toolkit, a
// text form or a script) and calls the events for the user's actions.
#include <memory>
#include <string>

namespace marqel::platform {

class ConfigurationDialog;

// A view of the dialog; re-reads the dialog's controls when told.
class DialogObserver {
 public:
  virtual ~DialogObserver() = default;
  virtual void controlsChanged(const ConfigurationDialog& dialog) = 0;
};

class ConfigurationDialog {
 public:
  virtual ~ConfigurationDialog() = default;

  // --- what the user does (each call is one event) ---
  // A click on COM(index), 1..4. Raises a RuntimeError for an index without a button.
  virtual void COM_Click(int index) = 0;
  // A completed move of the contrast bar to `position`, 0..127 (an arrow or track click, a key,
  // the release of a dragged thumb). Raises a RuntimeError for a position outside the bar.
  virtual void setContrastPosition(int position) = 0;
  virtual void SetSave_Click() = 0;
  virtual void Exit_Click() = 0;
  // The window's own close command: unloads the dialog without running a handler.
  virtual void close() = 0;

  // --- the controls ---
  virtual const std::u16string& lblContrast() const = 0;
  virtual int contrastPosition() const = 0;
  // The selected option button, 1..4, or 0 when none is selected.
  virtual int selectedCOM() const = 0;
  // Once the component has unloaded the dialog, no event does anything any more.
  virtual bool unloaded() const = 0;

  virtual void setObserver(DialogObserver* observer) = 0;
  // A reference that keeps the dialog alive. A view showing it modally holds one until its loop
  // has unwound, since the component may unload the dialog from inside that loop (Exit, Quit).
  virtual std::shared_ptr<ConfigurationDialog> keepAlive() = 0;
};

// The platform's way of showing the dialog.
class DialogViews {
 public:
  virtual ~DialogViews() = default;
  // Shows the dialog modally and returns when it is closed; the thread's message loop (and with it
  // the refresh timer) keeps running meanwhile.
  virtual void showModal(ConfigurationDialog& dialog) = 0;
  // Closes an open dialog without running any of its handlers (the component is unloading it).
  virtual void closeDialog() = 0;
};

}  // namespace marqel::platform
