#pragma once
#include <string_view>

namespace marqel::platform {

enum class MessageIcon { None, Information, Warning };

// Modal message boxes with an OK button and the component's default title. While one is open the
// thread's message loop keeps running (timer ticks go on); show() returns once it is dismissed.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void show(std::u16string_view text, MessageIcon icon) = 0;
};

}  // namespace marqel::platform
