// Provides the library load and unload hooks (ELF constructor and destructor calling the
// library's DllMain with DLL_PROCESS_ATTACH / DLL_PROCESS_DETACH, as the Windows loader does for a
// DLL) and DisableThreadLibraryCalls (nothing to disable: no per-thread notifications are made).
#include "platform/posix/system/library.h"

BOOL WINAPI DisableThreadLibraryCalls(HMODULE)
{
    return TRUE;
}

namespace {
__attribute__((constructor)) void OnLibraryLoad()
{
    DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) void OnLibraryUnload()
{
    DllMain(nullptr, DLL_PROCESS_DETACH, nullptr);
}
} // namespace
