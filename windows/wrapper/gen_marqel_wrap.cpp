// gen_marqel_wrap.dll: a general-purpose plug-in of the player that carries the component. It
// creates Tolvane through COM on the player's thread, hands it the host object, and forwards
// the player's configure and quit requests.
#include <objbase.h>
#include <windows.h>

#include <cstdio>

#include "gen_plugin_header.h"
#include "gen_wrapper.h"
#include "marqel.h"
#include "wrapper_host.h"

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
IBrelWinAmpGenPlugin* g_plugin = nullptr;
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
  if (g_plugin != nullptr) {
    return 0;
  }
  const HRESULT started = ::CoInitialize(nullptr);
  // S_FALSE: the player started COM on this thread already; it still takes one uninitialise.
  g_comStarted = SUCCEEDED(started);
  void* created = nullptr;
  const HRESULT status = ::CoCreateInstance(CLSID_Tolvane, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IBrelWinAmpGenPlugin, &created);
  if (FAILED(status) || created == nullptr) {
    Report(L"Marqel could not be started: is Marqel.dll registered (regsvr32 Marqel.dll)?", status);
    StopCom();
    return 1;
  }
  g_plugin = static_cast<IBrelWinAmpGenPlugin*>(created);
  const HRESULT initialised = g_plugin->Initialize(&g_host);
  if (FAILED(initialised)) {
    Report(L"Marqel could not be initialised", initialised);
    g_plugin->Quit();
    g_plugin->Release();
    g_plugin = nullptr;
    StopCom();
    return 1;
  }
  return 0;
}

void __cdecl Config() {
  if (g_plugin != nullptr) {
    const HRESULT status = g_plugin->Configure();
    if (FAILED(status)) {
      Report(L"Marqel's configuration failed", status);
    }
  }
}

void __cdecl Quit() {
  if (g_plugin != nullptr) {
    g_plugin->Quit();
    g_plugin->Release();
    g_plugin = nullptr;
  }
  StopCom();
}

}  // namespace

extern "C" __declspec(dllexport) GeneralPurposePlugin* __cdecl winampGetGeneralPurposePlugin() {
  return &g_header;
}
