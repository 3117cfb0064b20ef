#include "linux/host/host_object.h"

#include "plugin/com/bstr.h"
#include "plugin/com/identifiers.h"

namespace marqel::host {

com::ComPtr<HostObject> HostObject::create(WindowSource windows, DescriptionSink onDescription) {
  return com::ComPtr<HostObject>::attach(
      new HostObject(std::move(windows), std::move(onDescription)));
}

HostObject::HostObject(WindowSource windows, DescriptionSink onDescription)
    : windows_(std::move(windows)), onDescription_(std::move(onDescription)) {}

com::HRESULT HostObject::QueryInterface(const com::IID& riid, void** ppvObject) {
  if (ppvObject == nullptr) return com::E_POINTER;
  if (riid == com::IID_IUnknown || riid == com::IID_IBrelWinAmpGenHost) {
    *ppvObject = static_cast<com::IBrelWinAmpGenHost*>(this);
    AddRef();
    return com::S_OK;
  }
  *ppvObject = nullptr;
  return com::E_NOINTERFACE;
}

com::ULONG HostObject::AddRef() {
  return ++references_;
}

com::ULONG HostObject::Release() {
  const com::ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

com::HRESULT HostObject::Reserved() {
  return com::E_NOTIMPL;
}

com::HRESULT HostObject::SetDescription(com::BSTR description) {
  try {
    if (onDescription_) onDescription_(com::BstrText(description));
    return com::S_OK;
  } catch (...) {
    return com::E_FAIL;
  }
}

com::HRESULT HostObject::GetPlayerWindow(std::int32_t* window) {
  if (window == nullptr) return com::E_POINTER;
  try {
    const auto handle = windows_ ? windows_() : std::nullopt;
    if (!handle) {
      *window = 0;
      return com::E_FAIL;
    }
    *window = *handle;
    return com::S_OK;
  } catch (...) {
    return com::E_FAIL;
  }
}

}  // namespace marqel::host
