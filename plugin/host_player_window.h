#pragma once
// Kept apart from host_link.h, which the modules include next to the system's headers: the
// player-window seam names a constant that windows.h defines as a macro.
#include <memory>

#include "display/player_queries.h"
#include "plugin/host_link.h"

namespace marqel {

// The refresh cycle's way to the player window: through the host kept by Initialize, as it is at
// the time of the query.
class HostLinkPlayerWindow final : public PlayerWindowSource {
 public:
  explicit HostLinkPlayerWindow(const std::shared_ptr<HostLink>& host) : host_(host) {}
  platform::WindowHandle HostPlayerWindow() override;

 private:
  const std::shared_ptr<HostLink>& host_;
};

}  // namespace marqel
