#pragma once
// HostLink over the host object that Initialize receives as its Wrapper.
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>

#include "common/runtime_error.h"
#include "plugin/com/com_ptr.h"
#include "plugin/com/shell_traits.h"
#include "plugin/host_link.h"

namespace marqel::com {

// Holds one reference to the host object for as long as the component keeps the link.
template <ShellTraits Traits>
class ComHostLink final : public HostLink {
 public:
  using Host = typename Traits::IBrelWinAmpGenHost;

  explicit ComHostLink(ComPtr<Host> host) : host_(std::move(host)) {}

  std::int32_t SetDescription(std::u16string_view description) override {
    const auto text = Traits::MakeBstr(description);
    return static_cast<std::int32_t>(host_->SetDescription(text.get()));
  }

  std::int32_t GetPlayerWindow(std::int32_t* window) override {
    typename Traits::WindowHandle handle = 0;
    const auto status = host_->GetPlayerWindow(&handle);
    *window = static_cast<std::int32_t>(handle);
    return static_cast<std::int32_t>(status);
  }

 private:
  ComPtr<Host> host_;
};

// The HostLink for Initialize's Wrapper: none for a null Wrapper; a Type mismatch error when the
// object does not offer the host interface. The reference taken on the host goes again if the
// link cannot be made.
template <ShellTraits Traits>
std::shared_ptr<HostLink> HostLinkFromWrapper(typename Traits::IUnknown* wrapper) {
  if (wrapper == nullptr) {
    return nullptr;
  }
  ComPtr<typename Traits::IBrelWinAmpGenHost> host;
  if (wrapper->QueryInterface(Traits::kIidHost, host.put()) < 0) {
    host.detach();  // a failed query hands over no reference, whatever it left in the pointer
    throw RuntimeError(err::kTypeMismatch, "Type mismatch");
  }
  if (!host) {
    throw RuntimeError(err::kTypeMismatch, "Type mismatch");
  }
  return std::make_shared<ComHostLink<Traits>>(std::move(host));
}

}  // namespace marqel::com
