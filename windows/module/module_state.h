#pragma once
// The DLL's own state: its instance handle and the shell's server state, made by DllMain when the
// DLL is attached and dropped when it is detached.
#include "windows/module/com_traits.h"
// (first: it brings in windows.h in the order the core's headers need)
#include "plugin/com/server_module.h"

namespace marqel::windows {

using ServerModule = com::ServerModule<Win32ComTraits>;

// The state of the loaded module.
ServerModule& TheServerModule();
HINSTANCE ModuleInstance();

void AttachModule(HINSTANCE module);
// `processEnding`: the process exits and other modules may be gone; nothing is torn down then.
void DetachModule(bool processEnding);

}  // namespace marqel::windows
