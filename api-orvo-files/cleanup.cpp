// OrvoFilesCleanup, the library's one export: a cleanup call that deletes what the walk selects,
// its work path on the engine heap. DllMain creates that heap at load and destroys it at unload.
#include "api-orvo-files/orvo_files.h"

#include "api-orvo-files/cleanup_call.h"

namespace {
constexpr DWORD kEngineHeapOptions = HEAP_GROWABLE | HEAP_ZERO_MEMORY | HEAP_CREATE_SEGMENT_HEAP | HEAP_CREATE_HARDENED;
constexpr SIZE_T kEngineHeapInitialBytes = 65536;

HANDLE g_engineHeap = nullptr;
} // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(static_cast<HMODULE>(instance));
        g_engineHeap = HeapCreate(kEngineHeapOptions, kEngineHeapInitialBytes, 0);
    } else if (reason == DLL_PROCESS_DETACH && g_engineHeap != nullptr) {
        HeapDestroy(g_engineHeap);
        g_engineHeap = nullptr;
    }
    return TRUE;
}

extern "C" HRESULT WINAPI OrvoFilesCleanup(PCWSTR Path, PCWSTR FileSpecs, ULONGLONG MinimumAge, DWORD Flags,
                                          DWORD MaximumDurationMs, CleanupStatistics* Statistics)
{
    DeleteActions actions;
    return RunCleanupCall(Path, FileSpecs, MinimumAge, Flags, MaximumDurationMs, Statistics,
                          g_engineHeap != nullptr ? g_engineHeap : GetProcessHeap(), actions);
}
