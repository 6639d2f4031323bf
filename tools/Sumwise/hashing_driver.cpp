// RunDriver and DigestWorkItem.
//
// Threading: every filespec but the last is admitted in command-line order, by whichever thread
// is free: taking a slot of the throttle semaphore (n = min(processors, 32) slots) and raising
// the outstanding counter before its file is hashed. The main thread admits the first n files
// and queues each as a thread-pool work item; a work item that has finished its file (printed
// its line, given its slot back, lowered the counter) admits the next filespec itself and hashes
// it, until none is left. A file handed from one thread to another would cost the finishing
// thread a wake-up of the admitting thread and a sleep, and the admitting thread a sleep and a
// wake-up of a pool thread, several times the work of a small file; so a steady run of files
// passes no thread hand-off and no system call of the waits at all, on any number of processors.
// The thread that finds the list exhausted signals the main thread, which then admits and hashes
// the last filespec itself and polls the counter with Sleep(0) until it reads 0; only then does
// it close the semaphore. A thread raises the counter before it claims a filespec, so the
// counter never reads 0 while a claimed file is still to be hashed. The totals are read only
// after the counter has reached 0.
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
HANDLE g_allAdmitted = nullptr; // manual-reset event: no filespec before the last is left
LONG volatile g_outstanding = 0;
// The filespecs before the last, claimed one at a time through the cursor.
wchar_t** g_filespecs = nullptr;
LONG g_admissible = 0;
LONG volatile g_cursor = 0;
// Changed only under the output lock.
HashingTotals g_totals;

LONGLONG ReadCounter()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// Admits the next filespec before the last that is not a directory: counts it as outstanding
// and takes a slot for it. Null when none is left; the first thread to find that signals the
// main thread.
wchar_t* AdmitNext()
{
    InterlockedIncrement(&g_outstanding);
    for (;;) {
        const LONG index = InterlockedIncrement(&g_cursor) - 1;
        if (index >= g_admissible) {
            if (index == g_admissible) {
                SetEvent(g_allAdmitted);
            }
            InterlockedDecrement(&g_outstanding);
            return nullptr;
        }
        if (!PathIsDirectoryW(g_filespecs[index])) {
            WaitForSingleObject(g_throttle, INFINITE);
            return g_filespecs[index];
        }
    }
}

// The work item: hashes its file, then each file it admits next.
DWORD WINAPI HashFilesWorkItem(LPVOID context)
{
    for (auto* path = static_cast<wchar_t*>(context); path != nullptr; path = AdmitNext()) {
        DigestWorkItem(path);
    }
    return 0;
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
    g_allAdmitted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const LONGLONG ticksPerMillisecond = frequency.QuadPart / 1000;
    g_totals = HashingTotals{};
    const LONGLONG start = ReadCounter();
    g_selector = options.selector;

    g_filespecs = options.filespecs;
    g_admissible = options.filespecCount - 1;

    // A file that cannot be queued is hashed here, with every file after it but the last.
    for (LONG queued = 0; queued < slots; ++queued) {
        wchar_t* path = AdmitNext();
        if (path == nullptr) {
            break;
        }
        if (!QueueUserWorkItem(&HashFilesWorkItem, path, WT_EXECUTEDEFAULT)) {
            HashFilesWorkItem(path);
        }
    }
    WaitForSingleObject(g_allAdmitted, INFINITE);
    wchar_t* last = options.filespecs[g_admissible];
    if (!PathIsDirectoryW(last)) {
        WaitForSingleObject(g_throttle, INFINITE);
        InterlockedIncrement(&g_outstanding);
        DigestWorkItem(last);
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
    CloseHandle(g_allAdmitted);
    if (g_totals.files != 0 && options.statistics) {
        PrintHashingStatistics(g_totals, elapsedMilliseconds, options.displayName);
    }
    return 0;
}
