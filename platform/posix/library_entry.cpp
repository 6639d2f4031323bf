// Library load and unload hooks: calls the library's DllMain with DLL_PROCESS_ATTACH when the
// shared object is loaded and DLL_PROCESS_DETACH when it is unloaded (ELF constructor and
// destructor), as the Windows loader does for a DLL.
#include "platform/platform.h"

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
