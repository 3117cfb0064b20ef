#pragma once
// The module's own state: the one Component, which the entry points own, and the count of what
// keeps the module loaded (objects, class-object references, server locks).
#include <cstdint>
#include <memory>

namespace marqel {
class Component;
}
namespace marqel::system {
class Session;
}

namespace marqel::module {

class ModulePlatform;

class ModuleServer {
 public:
  static ModuleServer& instance();
  ~ModuleServer();
  ModuleServer(const ModuleServer&) = delete;
  ModuleServer& operator=(const ModuleServer&) = delete;

  // The component for a new object: on first use made on the current session's platform, and
  // Main run on it. An error from Main passes to the caller, and the next object tries again.
  Component& componentForNewObject();

  void lock() { ++locks_; }
  void unlock() { --locks_; }
  bool canUnload() const { return locks_ == 0; }

 private:
  ModuleServer() = default;
  // Drops the component without running any of its handlers: the session is going, or the module.
  void dropComponent();

  std::int64_t locks_ = 0;
  system::Session* session_ = nullptr;
  int endHook_ = 0;
  std::unique_ptr<ModulePlatform> platform_;
  std::unique_ptr<Component> component_;
  bool started_ = false;
};

}  // namespace marqel::module
