#pragma once
// The host object handed to the plug-in's Initialize: it takes the plug-in's description and
// tells the player's main window.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "plugin/com/com_abi.h"
#include "plugin/com/com_ptr.h"

namespace marqel::host {

class HostObject final : public com::IBrelWinAmpGenHost {
 public:
  // The player's window at the moment of asking; nullopt when there is none to give (the call
  // then fails).
  using WindowSource = std::function<std::optional<std::int32_t>()>;
  using DescriptionSink = std::function<void(const std::u16string&)>;

  // The creator holds the first reference.
  static com::ComPtr<HostObject> create(WindowSource windows, DescriptionSink onDescription);

  com::HRESULT QueryInterface(const com::IID& riid, void** ppvObject) override;
  com::ULONG AddRef() override;
  com::ULONG Release() override;
  com::HRESULT Reserved() override;
  com::HRESULT SetDescription(com::BSTR description) override;
  com::HRESULT GetPlayerWindow(std::int32_t* window) override;

 private:
  HostObject(WindowSource windows, DescriptionSink onDescription);
  ~HostObject() = default;

  WindowSource windows_;
  DescriptionSink onDescription_;
  com::ULONG references_ = 1;
};

}  // namespace marqel::host
