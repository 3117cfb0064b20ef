#pragma once
// The core's platform seams, safe to include next to <windows.h> in any order: one of them names
// a constant WM_USER, which windows.h defines as a macro.
#pragma push_macro("WM_USER")
#undef WM_USER
#include "platform/platform.h"
#pragma pop_macro("WM_USER")
