#include "windows/module/class_factory.h"

#include "plugin/host_link.h"
#include "windows/module/module_state.h"
#include "windows/module/tolvane_object.h"

namespace marqel::windows {

TolvaneClassFactory& TolvaneClassFactory::instance() {
  static TolvaneClassFactory factory;
  return factory;
}

HRESULT STDMETHODCALLTYPE TolvaneClassFactory::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TolvaneClassFactory::AddRef() {
  ModuleState::instance().lock();
  return 2;  // a static object: the count is the module's
}

ULONG STDMETHODCALLTYPE TolvaneClassFactory::Release() {
  ModuleState::instance().unlock();
  return 1;
}

HRESULT STDMETHODCALLTYPE TolvaneClassFactory::CreateInstance(IUnknown* outer, REFIID riid,
                                                              void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  *object = nullptr;
  if (outer != nullptr) {
    return CLASS_E_NOAGGREGATION;
  }
  ModuleState& state = ModuleState::instance();
  if (!state.onComponentThread()) {
    return RPC_E_WRONG_THREAD;
  }
  TolvaneObject* created = nullptr;
  const HRESULT status =
      StatusOfHostCall([&] { created = new TolvaneObject(state.componentForNewObject()); });
  if (FAILED(status)) {
    return status;
  }
  const HRESULT answer = created->QueryInterface(riid, object);
  created->Release();
  return answer;
}

HRESULT STDMETHODCALLTYPE TolvaneClassFactory::LockServer(BOOL lock) {
  if (lock) {
    ModuleState::instance().lock();
  } else {
    ModuleState::instance().unlock();
  }
  return S_OK;
}

}  // namespace marqel::windows
