#include "wrapper_host.h"

#include <oleauto.h>

#include "gen_plugin_header.h"

namespace marqel::windows {

HRESULT STDMETHODCALLTYPE WrapperHost::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBrelWinAmpGenHost)) {
    *object = static_cast<IBrelWinAmpGenHost*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE WrapperHost::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE WrapperHost::Release() {
  return static_cast<ULONG>(InterlockedDecrement(&references_));
}

HRESULT STDMETHODCALLTYPE WrapperHost::Reserved() {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE WrapperHost::SetDescription(BSTR description) {
  try {
    const UINT length = description != nullptr ? ::SysStringLen(description) : 0;
    std::string text;
    if (length > 0) {
      const int size = static_cast<int>(length);
      const int needed =
          ::WideCharToMultiByte(CP_ACP, 0, description, size, nullptr, 0, nullptr, nullptr);
      text.resize(static_cast<std::size_t>(needed > 0 ? needed : 0));
      ::WideCharToMultiByte(CP_ACP, 0, description, size, text.data(), needed, nullptr, nullptr);
    }
    description_ = std::move(text);
    header_.description = description_.data();
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT STDMETHODCALLTYPE WrapperHost::GetPlayerWindow(LONG* window) {
  if (window == nullptr) {
    return E_POINTER;
  }
  // Window handles fit in 32 bits, in a 64-bit process too.
  *window = static_cast<LONG>(reinterpret_cast<LONG_PTR>(header_.hwndParent));
  return header_.hwndParent != nullptr ? S_OK : E_FAIL;
}

}  // namespace marqel::windows
