#include "plugin/host_link.h"

#include <cstdio>
#include <new>
#include <string>

#include "common/runtime_error.h"
#include "plugin/com/com_abi.h"
#include "plugin/component.h"
#include "plugin/host_player_window.h"

namespace marqel {
namespace {

HostLink& StoredHost(const std::shared_ptr<HostLink>& host) {
  if (!host) {
    throw RuntimeError(err::kObjectNotSet, "Object variable or With block variable not set");
  }
  return *host;
}

void CheckStatus(std::int32_t status, const char* operation) {
  if (status < 0) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(status));
    throw RuntimeError(
        err::kAutomationError,
        std::string("Automation error: the host's ") + operation + " failed (status 0x" + hex + ")",
        status);
  }
}

}  // namespace

void HostSetDescription(Component& component, std::u16string_view description) {
  CheckStatus(StoredHost(component.hostLink).SetDescription(description), "set description");
}

std::int32_t HostPlayerWindow(Component& component) {
  return HostLinkPlayerWindow(component.hostLink).HostPlayerWindow();
}

platform::WindowHandle HostLinkPlayerWindow::HostPlayerWindow() {
  std::int32_t window = 0;
  CheckStatus(StoredHost(host_).GetPlayerWindow(&window), "get player window");
  return window;
}

std::int32_t StatusOfHostCall(const std::function<void()>& call) noexcept {
  try {
    call();
    return com::S_OK;
  } catch (const RuntimeError& error) {
    return FailureStatusOf(error);
  } catch (const std::bad_alloc&) {
    return FailureStatusOf(err::kOutOfMemory);
  } catch (...) {
    return com::E_UNEXPECTED;
  }
}

}  // namespace marqel
