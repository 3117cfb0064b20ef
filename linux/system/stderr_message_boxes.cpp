#include "linux/system/stderr_message_boxes.h"

#include <iostream>
#include <string>

#include "common/utf.h"

namespace marqel::platform::linux_ {

StderrMessageBoxes::StderrMessageBoxes(std::ostream& out) : out_(out) {}

StderrMessageBoxes::StderrMessageBoxes() : StderrMessageBoxes(std::cerr) {}

void StderrMessageBoxes::show(std::u16string_view text, MessageIcon icon) {
  std::string message = "[marqel] message";
  switch (icon) {
    case MessageIcon::Information:
      message += " (information)";
      break;
    case MessageIcon::Warning:
      message += " (warning)";
      break;
    case MessageIcon::None:
      break;
  }
  message += ':';

  // A closing line break would only leave an empty last line.
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) {
    text.remove_suffix(1);
  }
  std::size_t start = 0;
  bool first = true;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string_view::npos) {
      end = text.size();
    }
    const std::string line = Utf16ToUtf8(text.substr(start, end - start));
    if (first) {
      message += line.empty() ? "" : " " + line;
    } else {
      message += '\n';
      if (!line.empty()) {
        message += "    " + line;
      }
    }
    first = false;
    if (end == text.size()) {
      break;
    }
    start = end + (text.compare(end, 2, u"\r\n") == 0 ? 2 : 1);
  }
  message += '\n';
  // One write, so that other output cannot land in the middle of the message.
  out_ << message << std::flush;
}

}  // namespace marqel::platform::linux_
