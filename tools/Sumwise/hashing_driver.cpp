// RunDriver, over one run record (HashingRun) that the work items share.
//
// Threading: every filespec but the last is admitted in command-line order, by whichever thread
// is free: taking a slot of the throttle semaphore (n = min(processors, 32) slots) and raising
// the outstanding counter before its file is hashed. The main thread admits the first n files
// and queues each as a thread-pool work item, its context the run record (HashingRun) and the
// file; a work item that has finished its file (printed its line, given its slot back) admits the
// next filespec itself, then lowers the counter for the file it finished, and hashes the next,
// until none is left. A file handed from one thread to another would cost the finishing
// thread a wake-up of the admitting thread and a sleep, and the admitting thread a sleep and a
// wake-up of a pool thread, several times the work of a small file; so a steady run of files
// passes no thread hand-off and no system call of the waits at all, on any number of processors.
// The thread that finds the list exhausted signals the main thread, which then admits and hashes
// the last filespec itself and polls the counter with Sleep(0) until it reads 0; only then does
// it read the totals and end the run (semaphore, event, provider). A thread raises the counter
// before it claims a filespec, so the counter never reads 0 while a claimed file is still to be
// hashed; and it lowers the counter for a finished file only after that, so that its last
// decrement is its last touch of the run.
//
// With -c the filespecs are lists: their digest lines become the files to hash, each with the
// digest it must have and its algorithm, and each line says OK, FAILED or the error instead of
// the digest. Folders are not skipped then: a listed folder cannot be read.
#include "tools/Sumwise/hashing_driver.h"

#include <algorithm>
#include <new>
#include <vector>

#include "common/console.h"
#include "common/elapsed_time_line.h"
#include "common/handle_owners.h"
#include "tools/Sumwise/check_list.h"
#include "tools/Sumwise/digest_file.h"
#include "tools/Sumwise/digest_text.h"
#include "tools/Sumwise/digester.h"
#include "tools/Sumwise/hashing_statistics.h"
#include "tools/Sumwise/progress_line.h"

namespace {

constexpr DWORD kMaximumFilesInProgress = 32;
constexpr DWORD kDigestCapacity = 64; // the longest digest, SHA-512

struct CheckTotals {
    ULONGLONG ok = 0;
    ULONGLONG failed = 0;
    ULONGLONG unreadable = 0;
};

DWORD WINAPI HashFilesWorkItem(LPVOID context);

LONG SlotCount()
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    return static_cast<LONG>(std::min(system.dwNumberOfProcessors, kMaximumFilesInProgress));
}

// One run, made by RunDriver and reached by every work item through its context: it owns the
// provider (acquired whatever the algorithm, though the checksums need none), the throttle
// semaphore of n = min(processors, 32) slots and the all-admitted event. The output lock is never
// deleted: the process ends when the run does.
struct HashingRun {
    explicit HashingRun(const SumwiseOptions& runOptions)
        : options(runOptions), slots(SlotCount()), throttle(CreateSemaphoreW(nullptr, slots, slots, nullptr)),
          allAdmitted(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        InitializeCriticalSection(&outputLock);
        if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
            provider = 0;
        }
    }
    ~HashingRun()
    {
        if (provider != 0) {
            CryptReleaseContext(provider, 0);
        }
    }

    // Admits the next filespec before the last: counts it as outstanding and takes a slot for
    // it. -1 when none is left; the first thread to find that signals the main thread.
    LONG AdmitNext()
    {
        InterlockedIncrement(&outstanding);
        const LONG index = InterlockedIncrement(&cursor) - 1;
        if (index >= admissible) {
            if (index == admissible) {
                SetEvent(allAdmitted.get());
            }
            InterlockedDecrement(&outstanding);
            return -1;
        }
        WaitForSingleObject(throttle.get(), INFINITE);
        return index;
    }

    // The line of a checked file, under the output lock: OK (left out with -q) or FAILED.
    void PrintCheckLine(const wchar_t* path, const CheckEntry& check, const wchar_t* text)
    {
        const bool matches = check.expected == text;
        ++(matches ? checkTotals.ok : checkTotals.failed);
        if (!matches) {
            linesLost |= wprintf(L"%ls: FAILED\n", path) < 0;
        } else if (options.statistics) {
            linesLost |= wprintf(L"%ls: OK\n", path) < 0;
        }
    }

    // The line of one file, under the output lock: its digest (or, with -c, OK or FAILED) or its
    // error; the totals and the status line's count follow it.
    void Report(const wchar_t* path, const CheckEntry* check, HRESULT hr, const BYTE* digest, DWORD digestLength,
                ULONGLONG bytesHashed)
    {
        wchar_t text[kDigestTextChars];
        if (SUCCEEDED(hr)) {
            FormatDigestText(digest, digestLength, text);
        }
        EnterCriticalSection(&outputLock);
        progressLine.MakeWayForOutput();
        if (FAILED(hr)) {
            linesLost |= wprintf(L"%ls: (error 0x%08lx)\n", path, static_cast<unsigned long>(static_cast<ULONG>(hr))) < 0;
            ++checkTotals.unreadable;
        } else {
            if (check != nullptr) {
                PrintCheckLine(path, *check, text);
            } else {
                linesLost |= wprintf(L"%ls  %ls\n", text, path) < 0;
            }
            totals.bytes += bytesHashed;
            ++totals.files;
        }
        LeaveCriticalSection(&outputLock);
        progress.files.fetch_add(1, std::memory_order_relaxed);
    }

    // One file: its line, unless it is a folder among the files, which is passed over (a listed
    // one is an error; the file's own lookup tells, so no file pays a second one); then its slot
    // is given back.
    void DigestOne(LONG index)
    {
        const wchar_t* path = files[index];
        const CheckEntry* check = checks != nullptr ? &checks[index] : nullptr;
        BYTE digest[kDigestCapacity];
        DWORD digestLength = kDigestCapacity;
        ULONGLONG bytesHashed = 0;
        Digester digester(check != nullptr ? check->algorithm->selector : options.selector, provider, progress.bytes);
        bool folder = false;
        const HRESULT hr = DigestFile(path, digester, digest, &digestLength, &bytesHashed, &folder);
        if (!folder || check != nullptr) {
            Report(path, check, hr, digest, digestLength, bytesHashed);
        }
        ReleaseSemaphore(throttle.get(), 1, nullptr);
    }

    // Every file (`count` of them, at least one) through the pool and the calling thread.
    void HashAll(LONG count)
    {
        admissible = count - 1;
        // A file that cannot be queued is hashed here, with every file after it but the last.
        for (LONG queued = 0; queued < slots; ++queued) {
            const LONG index = AdmitNext();
            if (index < 0) {
                break;
            }
            starts[queued] = Start{this, index};
            if (!QueueUserWorkItem(&HashFilesWorkItem, &starts[queued], WT_EXECUTEDEFAULT)) {
                HashFilesWorkItem(&starts[queued]);
            }
        }
        WaitForSingleObject(allAdmitted.get(), INFINITE);
        WaitForSingleObject(throttle.get(), INFINITE);
        InterlockedIncrement(&outstanding);
        DigestOne(admissible);
        InterlockedDecrement(&outstanding);
        // An exchange that changes nothing: an atomic read of the counter.
        while (InterlockedCompareExchange(&outstanding, 0, 0) != 0) {
            Sleep(0);
        }
    }

    // A work item's context: its run, and the first file it hashes.
    struct Start {
        HashingRun* run;
        LONG index;
    };

    const SumwiseOptions& options;
    const LONG slots;
    const OwnedHandle throttle;
    const OwnedHandle allAdmitted; // manual-reset event: no filespec before the last is left
    HCRYPTPROV provider = 0;
    CRITICAL_SECTION outputLock;
    LONG volatile outstanding = 0;
    // The files to hash (the filespecs, or the paths of the lists' lines), claimed one at a time
    // through the cursor, all but the last.
    wchar_t** files = nullptr;
    // With -c: what each file must give, at the same index as its path; null otherwise.
    const CheckEntry* checks = nullptr;
    LONG admissible = 0;
    LONG volatile cursor = 0;
    Start starts[kMaximumFilesInProgress] = {};
    // Changed only under the output lock.
    HashingTotals totals;
    CheckTotals checkTotals;
    bool linesLost = false; // a file's line could not be made
    // Fed as the files are read and as they finish; shown by the status line on a terminal.
    ProgressCounters progress;
    ProgressLine progressLine;
};

// The work item: hashes its file, then each file it admits next; a file stops counting as
// outstanding only once the next one is admitted (see the threading note above).
DWORD WINAPI HashFilesWorkItem(LPVOID context)
{
    const auto* start = static_cast<const HashingRun::Start*>(context);
    HashingRun& run = *start->run;
    for (LONG index = start->index; index >= 0;) {
        run.DigestOne(index);
        const LONG next = run.AdmitNext();
        InterlockedDecrement(&run.outstanding);
        index = next;
    }
    return 0;
}

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

void PrintCheckTotals(const CheckTotals& totals)
{
    wchar_t files[kFieldChars];
    wchar_t ok[kFieldChars];
    wchar_t failed[kFieldChars];
    wchar_t unreadable[kFieldChars];
    FormatGroupedField(files, L"%llu", totals.ok + totals.failed + totals.unreadable);
    FormatGroupedField(ok, L"%llu", totals.ok);
    FormatGroupedField(failed, L"%llu", totals.failed);
    FormatGroupedField(unreadable, L"%llu", totals.unreadable);
    wprintf(L"\nChecked %ls file(s): %ls OK, %ls FAILED, %ls could not be read\n", files, ok, failed, unreadable);
}

} // namespace

int RunDriver(const SumwiseOptions& options)
{
    HashingRun run(options);
    if (run.provider == 0 || !run.throttle.valid() || !run.allAdmitted.valid()) {
        wprintf(L"Cannot initialize cryptographic context.\n");
        return kExitSetUpFailed;
    }
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
        run.checks = entries.data();
    }
    run.files = options.check ? listed.data() : options.filespecs;
    const auto count = static_cast<LONG>(options.check ? listed.size() : static_cast<size_t>(options.filespecCount));

    const Stopwatch stopwatch;
    run.progressLine.Start(run.progress, static_cast<ULONGLONG>(count), count == 1 ? run.files[0] : nullptr,
                           &run.outputLock);
    if (count > 0) {
        run.HashAll(count);
    }
    run.progressLine.Stop();
    const double elapsedMilliseconds = 1000.0 * static_cast<double>(stopwatch.ElapsedTicks()) / stopwatch.frequency();

    if (options.check && options.statistics) {
        PrintCheckTotals(run.checkTotals);
    }
    if (run.totals.files != 0 && options.statistics) {
        PrintHashingStatistics(run.totals, elapsedMilliseconds,
                               options.check ? CheckedAlgorithmName(options, entries) : options.displayName);
    }
    const bool allMatched = listsComplete && run.checkTotals.ok == entries.size();
    return ExitCodeAfterOutput(!options.check || allMatched ? 0 : kExitCheckFailed, run.linesLost);
}
