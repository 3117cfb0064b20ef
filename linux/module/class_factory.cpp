#include "linux/module/class_factory.h"

#include "plugin/com/identifiers.h"
#include "plugin/component.h"
#include "linux/module/module_server.h"
#include "linux/module/tolvane.h"

namespace marqel::module {

TolvaneClassFactory& TolvaneClassFactory::instance() {
  static TolvaneClassFactory factory;
  return factory;
}

com::HRESULT TolvaneClassFactory::QueryInterface(const com::IID& riid, void** ppvObject) {
  if (ppvObject == nullptr) return com::E_POINTER;
  if (riid == com::IID_IUnknown || riid == com::IID_IClassFactory) {
    *ppvObject = static_cast<com::IClassFactory*>(this);
    AddRef();
    return com::S_OK;
  }
  *ppvObject = nullptr;
  return com::E_NOINTERFACE;
}

com::ULONG TolvaneClassFactory::AddRef() {
  ModuleServer::instance().lock();
  return ++references_;
}

com::ULONG TolvaneClassFactory::Release() {
  if (references_ == 0) return 0;  // a surplus Release must not unbalance the module's count
  ModuleServer::instance().unlock();
  return --references_;
}

com::HRESULT TolvaneClassFactory::CreateInstance(com::IUnknown* pUnkOuter, const com::IID& riid,
                                                 void** ppvObject) {
  if (ppvObject == nullptr) return com::E_POINTER;
  *ppvObject = nullptr;
  if (pUnkOuter != nullptr) return com::CLASS_E_NOAGGREGATION;
  Tolvane* object = nullptr;
  const com::HRESULT made = StatusOfHostCall([&] {
    Component& component = ModuleServer::instance().componentForNewObject();
    object = new Tolvane(component);
  });
  if (com::Failed(made)) return made;
  // The reference taken here is the caller's; without the interface the object goes at once.
  object->AddRef();
  const com::HRESULT status = object->QueryInterface(riid, ppvObject);
  object->Release();
  return status;
}

com::HRESULT TolvaneClassFactory::LockServer(com::BOOL fLock) {
  if (fLock != 0) {
    ++serverLocks_;
    ModuleServer::instance().lock();
  } else if (serverLocks_ > 0) {
    --serverLocks_;
    ModuleServer::instance().unlock();
  }
  return com::S_OK;
}

}  // namespace marqel::module
