// gen_marqel_wrap.dll: a general-purpose plug-in of the player that carries the component. It
// creates Tolvane through COM on the player's thread, hands it the host object, and forwards
// the player's configure and quit requests. Its DllRegisterServer registers its type library
// (wrapper_typelib.h).
#include <objbase.h>
#include <windows.h>

#include <cstdio>

#include "gen_plugin_header.h"
#include "gen_wrapper.h"
#include "marqel.h"
#include "plugin/com/com_ptr.h"
#include "wrapper_host.h"
#include "wrapper_typelib.h"

namespace {

using marqel::windows::GeneralPurposePlugin;
using marqel::windows::WrapperHost;

char g_defaultDescription[] = "Marqel LCD (wrapper)";

int __cdecl Init();
void __cdecl Config();
void __cdecl Quit();

GeneralPurposePlugin g_header = {marqel::windows::kGeneralPurposePluginVersion,
                                 g_defaultDescription,
                                 &Init,
                                 &Config,
                                 &Quit,
                                 nullptr,
                                 nullptr};
WrapperHost g_host(g_header);
HINSTANCE g_module = nullptr;
marqel::com::ComPtr<IBrelWinAmpGenPlugin> g_plugin;
bool g_comStarted = false;

void Report(const wchar_t* what, HRESULT status) {
  wchar_t text[256];
  std::swprintf(text, 256, L"%ls (0x%08lX).", what, static_cast<unsigned long>(status));
  ::MessageBoxW(g_header.hwndParent, text, L"Marqel", MB_OK | MB_ICONWARNING);
}

void StopCom() {
  if (g_comStarted) {
    ::CoUninitialize();
    g_comStarted = false;
  }
}

int __cdecl Init() {
  if (g_plugin) {
    return 0;
  }
  const HRESULT started = ::CoInitialize(nullptr);
  // S_FALSE: the player started COM on this thread already; it still takes one uninitialise.
  g_comStarted = SUCCEEDED(started);
  const HRESULT status = ::CoCreateInstance(CLSID_Tolvane, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IBrelWinAmpGenPlugin, g_plugin.put());
  if (FAILED(status) || !g_plugin) {
    g_plugin.reset();
    Report(L"Marqel could not be started: is Marqel.dll registered (regsvr32 Marqel.dll)?", status);
    StopCom();
    return 1;
  }
  const HRESULT initialised = g_plugin->Initialize(&g_host);
  if (FAILED(initialised)) {
    Report(L"Marqel could not be initialised", initialised);
    g_plugin->Quit();
    g_plugin.reset();
    StopCom();
    return 1;
  }
  return 0;
}

void __cdecl Config() {
  if (g_plugin) {
    const HRESULT status = g_plugin->Configure();
    if (FAILED(status)) {
      Report(L"Marqel's configuration failed", status);
    }
  }
}

void __cdecl Quit() {
  if (g_plugin) {
    g_plugin->Quit();
    g_plugin.reset();
  }
  StopCom();
}

}  // namespace

// At process exit the component's DLL, loaded after this one, is gone first, and nothing may call
// into it then: a plug-in the player never quit is let go without a Release. (The C runtime runs
// this before the destructors of this DLL's globals.)
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = module;
  }
  if (reason == DLL_PROCESS_DETACH && reserved != nullptr) {
    g_plugin.detach();
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  return marqel::windows::RegisterWrapperTypeLib(g_module);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return marqel::windows::UnregisterWrapperTypeLib();
}

extern "C" __declspec(dllexport) GeneralPurposePlugin* __cdecl winampGetGeneralPurposePlugin() {
  return &g_header;
}
