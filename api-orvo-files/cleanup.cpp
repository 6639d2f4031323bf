#include "api-orvo-files/orvo_files.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

extern "C" HRESULT WINAPI OrvoFilesCleanup(PCWSTR, PCWSTR, ULONGLONG, DWORD, DWORD, CleanupStatistics*)
{
    return E_INVALIDARG;
}
