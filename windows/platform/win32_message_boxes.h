#pragma once
// Message boxes with MessageBoxW: OK only, the component's name as the title, owned by the
// thread's active window (the dialog, or the player) so that they stay on top of it.
#include <string>
#include <string_view>

#include "platform/message_box.h"

namespace marqel::platform::win32 {

inline constexpr const wchar_t* kMessageBoxTitle = L"Marqel";

class Win32MessageBoxes final : public MessageBoxes {
 public:
  void show(std::u16string_view text, MessageIcon icon) override;
};

}  // namespace marqel::platform::win32
