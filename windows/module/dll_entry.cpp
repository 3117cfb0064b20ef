// The module's entry points: DllMain and the four exports of a self-registering in-process
// server. None of them lets an exception out.
#include "windows/module/module_state.h"
// (first: it brings in windows.h in the order the core's headers need)
#include "windows/module/registration.h"

using marqel::windows::ServerModule;
using marqel::windows::TheServerModule;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      ::DisableThreadLibraryCalls(module);
      try {
        marqel::windows::AttachModule(module);
      } catch (...) {
        return FALSE;
      }
      break;
    case DLL_PROCESS_DETACH:
      marqel::windows::DetachModule(reserved != nullptr);
      break;
    default:
      break;
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* object) {
  return TheServerModule().getClassObject(rclsid, riid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return TheServerModule().canUnloadNow();
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  HRESULT status = E_UNEXPECTED;
  const HRESULT call = ServerModule::StatusOf(
      [&] { status = marqel::windows::RegisterServer(marqel::windows::ModuleInstance()); });
  return FAILED(call) ? call : status;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  HRESULT status = E_UNEXPECTED;
  const HRESULT call =
      ServerModule::StatusOf([&] { status = marqel::windows::UnregisterServer(); });
  return FAILED(call) ? call : status;
}
