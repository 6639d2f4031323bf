// Library load and unload hooks. A shared library of the product defines DllMain; on POSIX the
// layer calls it with DLL_PROCESS_ATTACH when the library is loaded and DLL_PROCESS_DETACH when it is
// unloaded (ELF constructor and destructor). Provides DisableThreadLibraryCalls (always TRUE).
#pragma once
#include "platform/posix/system/win32_types.h"

BOOL WINAPI DisableThreadLibraryCalls(HMODULE module);
// Implemented by the library (product code), called by the layer.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
