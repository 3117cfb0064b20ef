#pragma once
#include <string>

namespace marqel::platform {

// Where the component's own file lies.
class ModuleInfo {
 public:
  virtual ~ModuleInfo() = default;
  // The directory holding the component's file, as the platform reports it (may or may not end in
  // a separator).
  virtual std::u16string moduleDirectory() const = 0;
  // The platform's directory separator ('\\' on Windows, '/' elsewhere).
  virtual char16_t pathSeparator() const = 0;
};

}  // namespace marqel::platform
