// RunDriver and DigestWorkItem.
//
// Threading: the main thread admits one filespec at a time, taking a slot of the throttle
// semaphore (n = min(processors, 32) slots) and raising the outstanding counter before it queues
// the file as a thread-pool work item; the last filespec it hashes itself. Each work item prints
// its line and adds to the totals under the output lock, then gives its slot back and only then
// lowers the outstanding counter, so that the main thread, which polls the counter with Sleep(0)
// until it reads 0 and then closes the semaphore, never closes it under a work item. The totals
// are read only after the counter has reached 0.
#include "tools/Sumwise/hashing_driver.h"

#include <algorithm>

#include "tools/Sumwise/digest_file.h"
#include "tools/Sumwise/digest_text.h"
#include "tools/Sumwise/digester.h"
#include "tools/Sumwise/hashing_statistics.h"

namespace {

constexpr DWORD kMaximumFilesInProgress = 32;
constexpr DWORD kDigestCapacity = 64; // the longest digest, SHA-512

// Written by the main thread before the first file is admitted; read by every work item.
DWORD g_selector = kDefaultSelector;
// Created by the main thread before the first admission, never deleted.
CRITICAL_SECTION g_outputLock;
HANDLE g_throttle = nullptr;
LONG volatile g_outstanding = 0;
// Changed only under the output lock.
HashingTotals g_totals;

LONGLONG ReadCounter()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// Takes a slot and hands the file to the pool; a file that cannot be queued is hashed here, so
// that the outstanding counter always comes back down.
void Admit(wchar_t* path, bool last)
{
    if (PathIsDirectoryW(path)) {
        return;
    }
    WaitForSingleObject(g_throttle, INFINITE);
    InterlockedIncrement(&g_outstanding);
    if (last || !QueueUserWorkItem(&DigestWorkItem, path, WT_EXECUTEDEFAULT)) {
        DigestWorkItem(path);
    }
}

} // namespace

DWORD WINAPI DigestWorkItem(LPVOID context)
{
    const auto* path = static_cast<const wchar_t*>(context);
    BYTE digest[kDigestCapacity];
    DWORD digestLength = kDigestCapacity;
    ULONGLONG bytesHashed = 0;
    const HRESULT hr = DigestFile(path, g_selector, digest, &digestLength, &bytesHashed);
    if (FAILED(hr)) {
        EnterCriticalSection(&g_outputLock);
        wprintf(L"%ls: (error 0x%08lx)\n", path, static_cast<unsigned long>(static_cast<ULONG>(hr)));
        LeaveCriticalSection(&g_outputLock);
    } else {
        wchar_t text[kDigestTextChars];
        FormatDigestText(digest, digestLength, text);
        EnterCriticalSection(&g_outputLock);
        wprintf(L"%ls  %ls\n", text, path);
        g_totals.bytes += bytesHashed;
        ++g_totals.files;
        LeaveCriticalSection(&g_outputLock);
    }
    ReleaseSemaphore(g_throttle, 1, nullptr);
    InterlockedDecrement(&g_outstanding);
    return 0;
}

int RunDriver(const SumwiseOptions& options)
{
    InitializeCriticalSection(&g_outputLock);
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const auto slots = static_cast<LONG>(std::min(system.dwNumberOfProcessors, kMaximumFilesInProgress));
    g_throttle = CreateSemaphoreW(nullptr, slots, slots, nullptr);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const LONGLONG ticksPerMillisecond = frequency.QuadPart / 1000;
    g_totals = HashingTotals{};
    const LONGLONG start = ReadCounter();
    g_selector = options.selector;

    for (int i = 0; i < options.filespecCount; ++i) {
        Admit(options.filespecs[i], i == options.filespecCount - 1);
    }
    // An exchange that changes nothing: an atomic read of the counter.
    while (InterlockedCompareExchange(&g_outstanding, 0, 0) != 0) {
        Sleep(0);
    }

    const LONGLONG end = ReadCounter();
    const double elapsedMilliseconds = static_cast<double>(end - start) / static_cast<double>(ticksPerMillisecond);
    if (g_cryptProvider != 0) {
        CryptReleaseContext(g_cryptProvider, 0);
        g_cryptProvider = 0;
    }
    CloseHandle(g_throttle);
    if (g_totals.files != 0 && options.statistics) {
        PrintHashingStatistics(g_totals, elapsedMilliseconds, options.displayName);
    }
    return 0;
}
