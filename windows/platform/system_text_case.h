#pragma once
// Upper-casing by the system's locale-aware mapping for the user's locale. The mapping takes one
// code unit to one code unit, so the length never changes.
#include <string>
#include <string_view>

#include "platform/text.h"

namespace marqel::platform::win32 {

class SystemTextCase final : public TextCase {
 public:
  std::u16string upperCase(std::u16string_view text) const override;
};

}  // namespace marqel::platform::win32
