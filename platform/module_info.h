#pragma once
#include <filesystem>

namespace marqel::platform {

// Where the component's own file lies.
class ModuleInfo {
 public:
  virtual ~ModuleInfo() = default;
  // The directory holding the component's file, as the platform reports it (may or may not end in
  // a separator): bytes on POSIX systems, a wide string on Windows, never converted on the way.
  virtual std::filesystem::path moduleDirectory() const = 0;
  // The platform's directory separator ('\\' on Windows, '/' elsewhere).
  virtual std::filesystem::path::value_type pathSeparator() const = 0;
};

}  // namespace marqel::platform
