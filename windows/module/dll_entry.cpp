// The module's entry points: DllMain and the four exports of a self-registering in-process
// server. None of them lets an exception out.
#include <windows.h>

#include "marqel.h"
#include "plugin/host_link.h"
#include "windows/module/class_factory.h"
#include "windows/module/module_state.h"
#include "windows/module/registration.h"

using marqel::windows::ModuleState;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      ::DisableThreadLibraryCalls(module);
      try {
        ModuleState::attach(module);
      } catch (...) {
        return FALSE;
      }
      break;
    case DLL_PROCESS_DETACH:
      ModuleState::detach(reserved != nullptr);
      break;
    default:
      break;
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  *object = nullptr;
  if (!IsEqualCLSID(rclsid, CLSID_Tolvane)) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return marqel::windows::TolvaneClassFactory::instance().QueryInterface(riid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return ModuleState::instance().canUnload() ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  HRESULT status = E_UNEXPECTED;
  const HRESULT call = marqel::StatusOfHostCall(
      [&] { status = marqel::windows::RegisterServer(ModuleState::instance().module()); });
  return FAILED(call) ? call : status;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  HRESULT status = E_UNEXPECTED;
  const HRESULT call =
      marqel::StatusOfHostCall([&] { status = marqel::windows::UnregisterServer(); });
  return FAILED(call) ? call : status;
}
