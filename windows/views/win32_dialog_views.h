#pragma once
// The configuration dialog as a Win32 window: laid out from the designer's twips at the screen's
// dots per inch, fixed border, centred on the screen, modal to the thread's active window (the
// player). The modal loop is the thread's own, so the refresh timer goes on ticking.
#include <windows.h>

#include <memory>

#include "platform/dialog.h"

namespace marqel::platform::win32 {

// Pixels for `twips` at `dotsPerInch`, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dotsPerInch);

class Win32DialogViews final : public DialogViews, private DialogObserver {
 public:
  explicit Win32DialogViews(HINSTANCE module);
  ~Win32DialogViews() override;
  Win32DialogViews(const Win32DialogViews&) = delete;
  Win32DialogViews& operator=(const Win32DialogViews&) = delete;

  void showModal(ConfigurationDialog& form) override;
  void closeDialog() override;

 private:
  struct OpenDialog;

  void controlsChanged(const ConfigurationDialog& form) override;
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void createControls(HWND window, int dotsPerInch);
  // The thread's messages, with the dialog's keys, until the dialog is done.
  void runModalLoop();
  void onCommand(int id, int code);
  void onScroll(int request, int thumbPosition);
  // Runs one of the model's events; a failure stays inside the dialog.
  template <class Event>
  void fire(Event&& event);

  HINSTANCE module_;
  ATOM windowClass_ = 0;
  std::unique_ptr<OpenDialog> open_;
};

}  // namespace marqel::platform::win32
