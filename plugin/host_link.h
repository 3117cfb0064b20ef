#pragma once
// What the component requires of its host (a description sink and the player's main window), and
// what a call from the host returns to it.
#include <cstdint>
#include <functional>
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

// Runs a call that came in from the host: 0 on success, the failure status of an error that
// escapes (FailureStatusOf: a failing status from the host comes back as it was; running out of
// memory is the Out of memory error), the unexpected-failure status for anything else. Nothing
// thrown crosses into the host.
std::int32_t StatusOfHostCall(const std::function<void()>& call) noexcept;

}  // namespace marqel
