#include "linux/module/tolvane.h"

#include "common/runtime_error.h"
#include "plugin/com/bstr.h"
#include "plugin/com/identifiers.h"
#include "plugin/lifecycle.h"
#include "linux/module/module_server.h"

namespace marqel::module {

Tolvane::Tolvane(Component& component) : component_(component) {
  ModuleServer::instance().lock();
}

Tolvane::~Tolvane() {
  ModuleServer::instance().unlock();
}

com::HRESULT Tolvane::QueryInterface(const com::IID& riid, void** ppvObject) {
  if (ppvObject == nullptr) return com::E_POINTER;
  // _Tolvane has no members of its own, so this object stands for it as well.
  if (riid == com::IID_IUnknown || riid == com::IID_IBrelWinAmpGenPlugin ||
      riid == com::IID__Tolvane) {
    *ppvObject = static_cast<com::IBrelWinAmpGenPlugin*>(this);
    AddRef();
    return com::S_OK;
  }
  *ppvObject = nullptr;
  return com::E_NOINTERFACE;
}

com::ULONG Tolvane::AddRef() {
  return ++references_;
}

com::ULONG Tolvane::Release() {
  const com::ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

com::HRESULT Tolvane::Initialize(com::IUnknown* Wrapper) {
  return StatusOfHostCall([&] { marqel::Initialize(component_, HostLinkFromWrapper(Wrapper)); });
}

com::HRESULT Tolvane::Configure() {
  return StatusOfHostCall([&] { marqel::Configure(component_); });
}

com::HRESULT Tolvane::Quit() {
  return StatusOfHostCall([&] { marqel::Quit(component_); });
}

ComHostLink::ComHostLink(com::IBrelWinAmpGenHost* host) : host_(host) {}

ComHostLink::~ComHostLink() {
  if (host_ != nullptr) host_->Release();
}

std::int32_t ComHostLink::SetDescription(std::u16string_view description) {
  const com::Bstr text(description);
  return host_->SetDescription(text.get());
}

std::int32_t ComHostLink::GetPlayerWindow(std::int32_t* window) {
  return host_->GetPlayerWindow(window);
}

std::shared_ptr<HostLink> HostLinkFromWrapper(com::IUnknown* wrapper) {
  if (wrapper == nullptr) return nullptr;
  void* host = nullptr;
  if (com::Failed(wrapper->QueryInterface(com::IID_IBrelWinAmpGenHost, &host)) || host == nullptr) {
    throw RuntimeError(err::kTypeMismatch, "Type mismatch");
  }
  return std::make_shared<ComHostLink>(static_cast<com::IBrelWinAmpGenHost*>(host));
}

}  // namespace marqel::module
