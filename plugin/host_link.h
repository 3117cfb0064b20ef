#pragma once
// What the component requires of its host: a description sink and the player's main window.
#include <cstdint>
#include <memory>
#include <string_view>

namespace marqel {

class Component;

// The host object handed to Initialize. Statuses follow the host's convention: negative is a
// failure.
class HostLink {
 public:
  virtual ~HostLink() = default;
  virtual std::int32_t SetDescription(std::u16string_view description) = 0;
  virtual std::int32_t GetPlayerWindow(std::int32_t* window) = 0;
};

// Calls on the stored host; a missing host or a failing status raises a RuntimeError in the
// calling statement.
void HostSetDescription(Component& component, std::u16string_view description);
std::int32_t HostPlayerWindow(Component& component);

}  // namespace marqel
