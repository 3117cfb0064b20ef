#pragma once
// Self-registration: the class Tolvane (in-process, apartment-threaded, ProgID Marqel.Tolvane)
// and the type library Marqel embedded in the module's file.
#include <windows.h>

namespace marqel::windows {

HRESULT RegisterServer(HINSTANCE module);
// Removes what RegisterServer wrote; what is already gone counts as removed.
HRESULT UnregisterServer();

}  // namespace marqel::windows
