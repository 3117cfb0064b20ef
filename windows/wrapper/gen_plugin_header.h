#pragma once
// The player's general-purpose plug-in interface: the DLL exports
// winampGetGeneralPurposePlugin, which hands the player this header. The player fills in its
// main window and the DLL's instance, then calls init (0 is success), config whenever the user
// asks, and quit before it unloads the DLL. Every function is cdecl.
#include <windows.h>

namespace marqel::windows {

inline constexpr int kGeneralPurposePluginVersion = 0x10;

struct GeneralPurposePlugin {
  int version;
  char* description;
  int(__cdecl* init)();
  void(__cdecl* config)();
  void(__cdecl* quit)();
  HWND hwndParent;
  HINSTANCE hDllInstance;
};

using GetGeneralPurposePluginFn = GeneralPurposePlugin*(__cdecl*)();
inline constexpr const char* kGetGeneralPurposePluginName = "winampGetGeneralPurposePlugin";

}  // namespace marqel::windows
