#include "windows/module/tolvane_object.h"

#include <oleauto.h>

#include <string>

#include "common/runtime_error.h"
#include "windows/platform/module_file_info.h"
#include "windows/platform/win32_text.h"
#include "plugin/lifecycle.h"
#include "windows/module/module_state.h"

namespace marqel::windows {
namespace {

// The component and its windows belong to one thread; a call from any other is refused rather
// than let it race the timer.
template <class Call>
HRESULT OnComponentThread(Call&& call) noexcept {
  if (!ModuleState::instance().onComponentThread()) {
    return RPC_E_WRONG_THREAD;
  }
  return StatusOfHostCall(std::forward<Call>(call));
}

}  // namespace

TolvaneObject::TolvaneObject(Component& component) : component_(component) {
  ModuleState::instance().lock();
}

TolvaneObject::~TolvaneObject() {
  ModuleState::instance().unlock();
}

HRESULT STDMETHODCALLTYPE TolvaneObject::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBrelWinAmpGenPlugin)) {
    *object = static_cast<IBrelWinAmpGenPlugin*>(this);
  } else if (IsEqualIID(riid, IID__Tolvane) || IsEqualIID(riid, IID_IDispatch)) {
    *object = static_cast<_Tolvane*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TolvaneObject::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE TolvaneObject::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) {
    delete this;
  }
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE TolvaneObject::Initialize(IUnknown* Wrapper) {
  return OnComponentThread([&] { marqel::Initialize(component_, HostLinkFromWrapper(Wrapper)); });
}

HRESULT STDMETHODCALLTYPE TolvaneObject::Configure() {
  return OnComponentThread([&] { marqel::Configure(component_); });
}

HRESULT STDMETHODCALLTYPE TolvaneObject::Quit() {
  return OnComponentThread([&] { marqel::Quit(component_); });
}

HRESULT STDMETHODCALLTYPE TolvaneObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) {
    return E_POINTER;
  }
  *count = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TolvaneObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) {
    return E_POINTER;
  }
  *info = nullptr;
  if (index != 0) {
    return DISP_E_BADINDEX;
  }
  const std::wstring path = platform::win32::ModuleFilePath(ModuleState::instance().module());
  ITypeLib* library = nullptr;
  HRESULT status = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (FAILED(status)) {
    return status;
  }
  status = library->GetTypeInfoOfGuid(IID__Tolvane, info);
  library->Release();
  return status;
}

HRESULT STDMETHODCALLTYPE TolvaneObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                                       DISPID* ids) {
  if (ids == nullptr && count > 0) {
    return E_POINTER;
  }
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE TolvaneObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                                EXCEPINFO*, UINT*) {
  return DISP_E_MEMBERNOTFOUND;
}

ComHostLink::ComHostLink(IBrelWinAmpGenHost* host) : host_(host) {}

ComHostLink::~ComHostLink() {
  if (host_ != nullptr) {
    host_->Release();
  }
}

std::int32_t ComHostLink::SetDescription(std::u16string_view description) {
  const std::wstring wide = platform::win32::WideFrom(description);
  BSTR text = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (text == nullptr) {
    throw RuntimeError(err::kOutOfMemory, "Out of memory");
  }
  const HRESULT status = host_->SetDescription(text);
  ::SysFreeString(text);
  return static_cast<std::int32_t>(status);
}

std::int32_t ComHostLink::GetPlayerWindow(std::int32_t* window) {
  LONG handle = 0;
  const HRESULT status = host_->GetPlayerWindow(&handle);
  *window = static_cast<std::int32_t>(handle);
  return static_cast<std::int32_t>(status);
}

std::shared_ptr<HostLink> HostLinkFromWrapper(IUnknown* wrapper) {
  if (wrapper == nullptr) {
    return nullptr;
  }
  IBrelWinAmpGenHost* host = nullptr;
  if (FAILED(wrapper->QueryInterface(IID_IBrelWinAmpGenHost, reinterpret_cast<void**>(&host))) ||
      host == nullptr) {
    throw RuntimeError(err::kTypeMismatch, "Type mismatch");
  }
  try {
    return std::make_shared<ComHostLink>(host);
  } catch (...) {
    host->Release();
    throw;
  }
}

}  // namespace marqel::windows
