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
//
// With -c the filespecs are lists: their digest lines become the files to hash, each with the
// digest it must have and its algorithm, and each line says OK, FAILED or the error instead of
// the digest. Folders are not skipped then: a listed folder cannot be read.
#include "tools/Sumwise/hashing_driver.h"

#include <algorithm>
#include <new>
#include <vector>

#include "tools/Sumwise/check_list.h"
#include "tools/Sumwise/digest_file.h"
#include "tools/Sumwise/digest_text.h"
#include "tools/Sumwise/digester.h"
#include "tools/Sumwise/hashing_statistics.h"
#include "tools/Sumwise/progress_line.h"

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
// The files to hash (the filespecs, or the paths of the lists' lines), claimed one at a time
// through the cursor, all but the last.
wchar_t** g_filespecs = nullptr;
// With -c: what each file must give, at the same index as its path; null otherwise.
const CheckEntry* g_checks = nullptr;
bool g_quiet = false;
LONG g_admissible = 0;
LONG volatile g_cursor = 0;
// Changed only under the output lock.
HashingTotals g_totals;
// The status line on a terminal, if standard error is one.
ProgressLine g_progressLine;
struct CheckTotals {
    ULONGLONG ok = 0;
    ULONGLONG failed = 0;
    ULONGLONG unreadable = 0;
} g_checkTotals;

LONGLONG ReadCounter()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// Admits the next filespec before the last that is not a directory: counts it as outstanding
// and takes a slot for it. Null when none is left; the first thread to find that signals the
// main thread.
wchar_t** AdmitNext()
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
        if (g_checks != nullptr || !PathIsDirectoryW(g_filespecs[index])) {
            WaitForSingleObject(g_throttle, INFINITE);
            return g_filespecs + index;
        }
    }
}

// The work item: hashes its file, then each file it admits next.
DWORD WINAPI HashFilesWorkItem(LPVOID context)
{
    for (auto* file = static_cast<wchar_t**>(context); file != nullptr; file = AdmitNext()) {
        DigestWorkItem(file);
    }
    return 0;
}

} // namespace

// The line of a checked file, under the output lock: OK (left out with -q) or FAILED.
void PrintCheckLine(const wchar_t* path, const CheckEntry& check, const wchar_t* text)
{
    const bool matches = check.expected == text;
    ++(matches ? g_checkTotals.ok : g_checkTotals.failed);
    if (!matches) {
        wprintf(L"%ls: FAILED\n", path);
    } else if (!g_quiet) {
        wprintf(L"%ls: OK\n", path);
    }
}

DWORD WINAPI DigestWorkItem(LPVOID context)
{
    auto* const* file = static_cast<wchar_t* const*>(context);
    const wchar_t* path = *file;
    const CheckEntry* check = g_checks != nullptr ? &g_checks[file - g_filespecs] : nullptr;
    BYTE digest[kDigestCapacity];
    DWORD digestLength = kDigestCapacity;
    ULONGLONG bytesHashed = 0;
    const HRESULT hr = DigestFile(path, check != nullptr ? check->algorithm->selector : g_selector, digest,
                                  &digestLength, &bytesHashed);
    if (FAILED(hr)) {
        EnterCriticalSection(&g_outputLock);
        g_progressLine.MakeWayForOutput();
        wprintf(L"%ls: (error 0x%08lx)\n", path, static_cast<unsigned long>(static_cast<ULONG>(hr)));
        ++g_checkTotals.unreadable;
        LeaveCriticalSection(&g_outputLock);
    } else {
        wchar_t text[kDigestTextChars];
        FormatDigestText(digest, digestLength, text);
        EnterCriticalSection(&g_outputLock);
        g_progressLine.MakeWayForOutput();
        if (check != nullptr) {
            PrintCheckLine(path, *check, text);
        } else {
            wprintf(L"%ls  %ls\n", text, path);
        }
        g_totals.bytes += bytesHashed;
        ++g_totals.files;
        LeaveCriticalSection(&g_outputLock);
    }
    g_progress.files.fetch_add(1, std::memory_order_relaxed);
    ReleaseSemaphore(g_throttle, 1, nullptr);
    InterlockedDecrement(&g_outstanding);
    return 0;
}

namespace {

// The entries of the lists the filespecs name; the error line of each list that cannot be read.
// False when a list could not be read or held no digest line.
bool ReadLists(const SumwiseOptions& options, std::vector<CheckEntry>& entries)
{
    bool complete = true;
    for (int i = 0; i < options.filespecCount; ++i) {
        const size_t before = entries.size();
        HRESULT hr = S_OK;
        try {
            hr = ReadCheckList(options.filespecs[i], options.algorithm, entries);
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        }
        if (FAILED(hr)) {
            wprintf(L"%ls: (error 0x%08lx)\n", options.filespecs[i], static_cast<unsigned long>(static_cast<ULONG>(hr)));
        }
        complete = complete && SUCCEEDED(hr) && entries.size() != before;
    }
    return complete;
}

// The name the throughput line of a check gives: the switch's, else the one algorithm of every
// line, else "mixed".
const wchar_t* CheckedAlgorithmName(const SumwiseOptions& options, const std::vector<CheckEntry>& entries)
{
    if (options.algorithm != nullptr || entries.empty()) {
        return options.displayName;
    }
    for (const CheckEntry& entry : entries) {
        if (entry.algorithm->selector != entries.front().algorithm->selector) {
            return L"mixed";
        }
    }
    return entries.front().algorithm->displayName;
}

void PrintCheckTotals()
{
    wchar_t files[kFieldChars];
    wchar_t ok[kFieldChars];
    wchar_t failed[kFieldChars];
    wchar_t unreadable[kFieldChars];
    FormatGroupedField(files, L"%llu", g_checkTotals.ok + g_checkTotals.failed + g_checkTotals.unreadable);
    FormatGroupedField(ok, L"%llu", g_checkTotals.ok);
    FormatGroupedField(failed, L"%llu", g_checkTotals.failed);
    FormatGroupedField(unreadable, L"%llu", g_checkTotals.unreadable);
    wprintf(L"\nChecked %ls file(s): %ls OK, %ls FAILED, %ls could not be read\n", files, ok, failed, unreadable);
}

// Every file of `files` (`count` of them, at least one) through the pool and the calling thread.
void HashAll(wchar_t** files, LONG count, LONG slots)
{
    g_filespecs = files;
    g_admissible = count - 1;
    // A file that cannot be queued is hashed here, with every file after it but the last.
    for (LONG queued = 0; queued < slots; ++queued) {
        wchar_t** file = AdmitNext();
        if (file == nullptr) {
            break;
        }
        if (!QueueUserWorkItem(&HashFilesWorkItem, file, WT_EXECUTEDEFAULT)) {
            HashFilesWorkItem(file);
        }
    }
    WaitForSingleObject(g_allAdmitted, INFINITE);
    wchar_t** last = files + g_admissible;
    if (g_checks != nullptr || !PathIsDirectoryW(*last)) {
        WaitForSingleObject(g_throttle, INFINITE);
        InterlockedIncrement(&g_outstanding);
        DigestWorkItem(last);
    }
    // An exchange that changes nothing: an atomic read of the counter.
    while (InterlockedCompareExchange(&g_outstanding, 0, 0) != 0) {
        Sleep(0);
    }
}

} // namespace

int RunDriver(const SumwiseOptions& options)
{
    std::vector<CheckEntry> entries;
    std::vector<wchar_t*> listed;
    bool listsComplete = true;
    if (options.check) {
        listsComplete = ReadLists(options, entries);
        try {
            listed.reserve(entries.size());
        } catch (const std::bad_alloc&) {
            wprintf(L"Not enough memory to check the %llu listed file(s).\n", static_cast<unsigned long long>(entries.size()));
            return kExitCheckFailed;
        }
        for (CheckEntry& entry : entries) {
            listed.push_back(entry.path.data());
        }
        g_checks = entries.data();
    }
    wchar_t** const files = options.check ? listed.data() : options.filespecs;
    const auto count = static_cast<LONG>(options.check ? listed.size() : static_cast<size_t>(options.filespecCount));
    g_quiet = !options.statistics;

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

    g_progressLine.Start(static_cast<ULONGLONG>(count), count == 1 ? files[0] : nullptr, &g_outputLock);
    if (count > 0) {
        HashAll(files, count, slots);
    }
    g_progressLine.Stop();

    const LONGLONG end = ReadCounter();
    const double elapsedMilliseconds = static_cast<double>(end - start) / static_cast<double>(ticksPerMillisecond);
    if (g_cryptProvider != 0) {
        CryptReleaseContext(g_cryptProvider, 0);
        g_cryptProvider = 0;
    }
    CloseHandle(g_throttle);
    CloseHandle(g_allAdmitted);
    if (options.check && options.statistics) {
        PrintCheckTotals();
    }
    if (g_totals.files != 0 && options.statistics) {
        PrintHashingStatistics(g_totals, elapsedMilliseconds,
                               options.check ? CheckedAlgorithmName(options, entries) : options.displayName);
    }
    if (!options.check) {
        return 0;
    }
    return listsComplete && g_checkTotals.ok == entries.size() ? 0 : kExitCheckFailed;
}
