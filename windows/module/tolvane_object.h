#pragma once
// The component's one public class, Tolvane: no state of its own; forwards the host's three
// calls to the component and turns an error that escapes into the call's failure status. Its
// default interface _Tolvane is a dispatch interface without members.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "gen_wrapper.h"
#include "marqel.h"
#include "plugin/host_link.h"

namespace marqel {
class Component;
}

namespace marqel::windows {

// COM objects go with their last Release, never through a base pointer's destructor, and COM
// interfaces have no virtual destructor (it would take a slot in the table).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TolvaneObject final : public IBrelWinAmpGenPlugin, public _Tolvane {
 public:
  // Counts as one lock on the module while it lives. Starts with one reference.
  explicit TolvaneObject(Component& component);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IBrelWinAmpGenPlugin
  HRESULT STDMETHODCALLTYPE Initialize(IUnknown* Wrapper) override;
  HRESULT STDMETHODCALLTYPE Configure() override;
  HRESULT STDMETHODCALLTYPE Quit() override;

  // IDispatch (_Tolvane has no members: names are unknown and nothing can be invoked)
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override;

 private:
  ~TolvaneObject();

  Component& component_;
  LONG references_ = 1;
};
#pragma GCC diagnostic pop

// HostLink over the host object's interface; holds one reference to it.
class ComHostLink final : public HostLink {
 public:
  explicit ComHostLink(IBrelWinAmpGenHost* host);  // takes over one reference
  ~ComHostLink() override;
  ComHostLink(const ComHostLink&) = delete;
  ComHostLink& operator=(const ComHostLink&) = delete;

  std::int32_t SetDescription(std::u16string_view description) override;
  std::int32_t GetPlayerWindow(std::int32_t* window) override;

 private:
  IBrelWinAmpGenHost* host_;
};

// The HostLink for Initialize's Wrapper: none for a null Wrapper; a Type mismatch error when the
// object does not offer the host interface.
std::shared_ptr<HostLink> HostLinkFromWrapper(IUnknown* wrapper);

}  // namespace marqel::windows
