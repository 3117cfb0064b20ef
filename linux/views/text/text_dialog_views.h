#pragma once
// The configuration dialog as a small text form, for a terminal without a display server. It
// reads one choice per line from an input descriptor through the message loop, so refresh ticks
// go on while it waits:
//   1 .. 4       select COM1 .. COM4
//   + / -        move the contrast one step (a line of several moves several steps)
//   c N          move the contrast to N (0 to 127)
//   s            Set & Save
//   x            Exit
//   q            close the form without running a handler (as does the end of the input)
// After each choice the form is shown again on the output descriptor.
#include <string>
#include <string_view>

#include "linux/system/event_loop.h"
#include "platform/dialog.h"

namespace marqel::platform::linux_ {

class TextDialogViews final : public DialogViews, private DialogObserver {
 public:
  // Neither descriptor is owned; both must stay open while the view exists.
  TextDialogViews(EventLoop& loop, int inputFd, int outputFd);
  ~TextDialogViews() override;
  TextDialogViews(const TextDialogViews&) = delete;
  TextDialogViews& operator=(const TextDialogViews&) = delete;

  void showModal(ConfigurationDialog& form) override;
  void closeDialog() override;

  // The form as it is drawn for this state of the dialog.
  static std::string Render(const ConfigurationDialog& form);

 private:
  void controlsChanged(const ConfigurationDialog& form) override;
  void onReadable();
  void handleLine(std::string_view line);
  void write(std::string_view text) const;

  EventLoop& loop_;
  int inputFd_;
  int outputFd_;
  ConfigurationDialog* form_ = nullptr;
  bool open_ = false;
  std::string pendingInput_;
};

}  // namespace marqel::platform::linux_
