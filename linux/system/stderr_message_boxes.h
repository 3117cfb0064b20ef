#pragma once
// Message boxes for a host without a display: the message goes to a text stream and counts as
// dismissed at once.
#include <iosfwd>
#include <string_view>

#include "platform/message_box.h"

namespace marqel::platform::linux_ {

// Writes, in UTF-8,
//   [marqel] message (warning): first line
//       second line
// CR LF, a lone CR and a lone LF each break the line; a message without an icon leaves out the
// parenthesis.
class StderrMessageBoxes final : public MessageBoxes {
 public:
  // `out` must outlive this object; the standard error stream by default.
  explicit StderrMessageBoxes(std::ostream& out);
  StderrMessageBoxes();

  void show(std::u16string_view text, MessageIcon icon) override;

 private:
  std::ostream& out_;
};

}  // namespace marqel::platform::linux_
