#pragma once
// The component's one public class, Tolvane: holds no state of its own and forwards the host's
// three calls to the component, turning an error that escapes into the call's failure status.
#include <cstdint>
#include <memory>

#include "plugin/com/com_abi.h"
#include "plugin/host_link.h"

namespace marqel {
class Component;
}

namespace marqel::module {

class Tolvane final : public com::IBrelWinAmpGenPlugin {
 public:
  // Counts as one lock on the module while it lives. Starts with no references.
  explicit Tolvane(Component& component);

  com::HRESULT QueryInterface(const com::IID& riid, void** ppvObject) override;
  com::ULONG AddRef() override;
  com::ULONG Release() override;

  com::HRESULT Initialize(com::IUnknown* Wrapper) override;
  com::HRESULT Configure() override;
  com::HRESULT Quit() override;

 private:
  ~Tolvane();

  Component& component_;
  com::ULONG references_ = 0;
};

// HostLink over the host object's interface; holds one reference to it.
class ComHostLink final : public HostLink {
 public:
  explicit ComHostLink(com::IBrelWinAmpGenHost* host);  // takes over one reference
  ~ComHostLink() override;
  ComHostLink(const ComHostLink&) = delete;
  ComHostLink& operator=(const ComHostLink&) = delete;

  std::int32_t SetDescription(std::u16string_view description) override;
  std::int32_t GetPlayerWindow(std::int32_t* window) override;

 private:
  com::IBrelWinAmpGenHost* host_;
};

// The HostLink for Initialize's Wrapper: none for a null Wrapper; a Type mismatch error when the
// object does not offer the host interface.
std::shared_ptr<HostLink> HostLinkFromWrapper(com::IUnknown* wrapper);

}  // namespace marqel::module
