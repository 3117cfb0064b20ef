#pragma once
#include <cstdint>

namespace marqel {
class Component;
}

namespace marqel::settings {

// The configuration dialog as a model, apart from any toolkit. PLACEHOLDER shape.
class Form2 {
 public:
  explicit Form2(Component& component) : component_(component) {}
  void load() {}
  void detachView() {}

 private:
  [[maybe_unused]] Component& component_;
};

}  // namespace marqel::settings
