#pragma once
// Message boxes as small modal desktop windows (FLTK): the text, an icon for the kind of message,
// and an OK button, with the component's name as the title. While one is open the component
// thread's message loop keeps running, so refresh ticks go on.
#include <string_view>

#include "linux/system/event_loop.h"
#include "platform/message_box.h"

namespace marqel::platform::linux_ {

class FltkMessageBoxes final : public MessageBoxes {
 public:
  explicit FltkMessageBoxes(EventLoop& loop);

  // Returns once the box is dismissed (OK, Enter, Escape or the close button). Without a display
  // the message goes to the standard error stream instead, as StderrMessageBoxes writes it, and
  // counts as dismissed at once.
  void show(std::u16string_view text, MessageIcon icon) override;

 private:
  EventLoop& loop_;
};

}  // namespace marqel::platform::linux_
