#pragma once
// The wrapper's type library BrelWinAmpGenLib 1.0 (GenWrapper.tlb, carried as the DLL's resource
// TYPELIB 1): the interfaces between the wrapper and the component. The wrapper registers it
// the way every self-registering DLL does, through its own DllRegisterServer (regsvr32, which
// the installer runs); the component's type library Marqel refers to it for
// IBrelWinAmpGenPlugin. The plug-in works without it: nothing calls through type information.
#include <windows.h>

namespace marqel::windows {

// Registers the library found in `module` (under HKEY_CLASSES_ROOT, so it needs administrator
// rights); SELFREG_E_TYPELIB when it cannot.
HRESULT RegisterWrapperTypeLib(HINSTANCE module);
// Removes it; a library that is not registered is no failure.
HRESULT UnregisterWrapperTypeLib();

}  // namespace marqel::windows
