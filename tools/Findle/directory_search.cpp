// SearchTree, SearchFolder and the SearchWorkItem routine.
//
// Threading: the calling thread searches the starting folder. Each subfolder it meets goes to
// a thread-pool work item when a slot of the slot semaphore can be taken without waiting;
// otherwise the finding thread searches that subfolder's whole subtree itself (in place, with no
// further hand-offs). The outstanding count starts at 1 for the calling thread and is raised
// before every hand-off is queued, so it reaches 0 only when the calling thread and every work
// item are done; whoever brings it to 0 signals the completion event, on which the calling
// thread waits once. The counters are changed only with interlocked operations; each match is
// one printf call, which the output stream keeps whole.
//
// Nesting: in-place searching nests one call and one 64 KiB folder buffer (and an open folder)
// per level on the searching thread. Folder links are entered, so a link loop would nest until
// the path no longer fits in 32,768 characters, thousands of levels deep. The nesting is
// therefore capped per thread: a folder deeper than kMaxInPlaceNesting in-place levels is not
// opened, and its branch ends with 0x800703E9 (Win32 error 1001, recursion too deep) as its
// status. A hand-off starts a fresh count on the work item's thread: handed-off chains hold no
// buffers while they wait, and a loop that they follow ends when the path no longer fits (or when
// the system refuses to resolve that many links).
#include "tools/Findle/directory_search.h"

#include <cwchar>
#include <new>

#include "common/buffer_format.h"
#include "common/failure_macros.h"
#include "tools/Findle/long_path.h"
#include "tools/Findle/path_buffer.h"

namespace {

// 256 levels hold 16 MiB of folder buffers and stay far inside a 1 MiB thread stack.
constexpr int kMaxInPlaceNesting = 256;
constexpr HRESULT kHrNestingTooDeep = static_cast<HRESULT>(0x800703E9); // Win32 error 1001

thread_local int t_inPlaceNesting = 0;

class NestingLevel {
public:
    NestingLevel() { ++t_inPlaceNesting; }
    ~NestingLevel() { --t_inPlaceNesting; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;
    bool TooDeep() const { return t_inPlaceNesting > kMaxInPlaceNesting; }
};

class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle()
    {
        if (valid()) {
            FindClose(handle_);
        }
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// Where one search call reports: the four shared counters and a status.
struct ResultAddresses {
    LONG volatile* filesConsidered;
    LONG volatile* filesMatched;
    LONG64 volatile* matchedBytes;
    LONG volatile* foldersVisited;
    HRESULT volatile* status;
};

// The objects of a parallel search; absent (null) in a sequential or in-place search.
struct Coordination {
    HANDLE slots;             // slot semaphore
    HANDLE done;              // completion event, manual reset
    LONG volatile* outstanding;
};

// One handed-off subfolder; the path follows the record in the same heap block.
struct SearchWorkItem {
    Coordination coordination;
    LONG depth;
    ResultAddresses results;
    const wchar_t* pattern;

    wchar_t* Path() { return reinterpret_cast<wchar_t*>(this + 1); }
};
static_assert(sizeof(SearchWorkItem) % alignof(wchar_t) == 0);

// The status keeps the first failure only.
void RecordFailure(HRESULT volatile* status, HRESULT hr)
{
    InterlockedCompareExchange(status, hr, S_OK);
}

bool IsDotName(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

void SearchFolder(const wchar_t* folder, const wchar_t* pattern, const Coordination* coordination, LONG depth,
                  const ResultAddresses& results);

DWORD WINAPI SearchWorkItemRoutine(LPVOID context)
{
    auto* item = static_cast<SearchWorkItem*>(context);
    const Coordination coordination = item->coordination;
    SearchFolder(item->Path(), item->pattern, &coordination, item->depth, item->results);
    ReleaseSemaphore(coordination.slots, 1, nullptr);
    if (InterlockedDecrement(coordination.outstanding) == 0) {
        SetEvent(coordination.done);
    }
    HeapFree(GetProcessHeap(), 0, item);
    return 0;
}

// Queues `path` as a work item; the caller holds a slot for it. On failure everything is undone,
// the slot given back, and false returned: the caller then searches the folder in place.
bool HandOff(const wchar_t* path, const wchar_t* pattern, const Coordination& coordination, LONG depth,
             const ResultAddresses& results)
{
    InterlockedIncrement(coordination.outstanding);
    const size_t pathChars = std::wcslen(path) + 1;
    auto* item = static_cast<SearchWorkItem*>(
        HeapAlloc(GetProcessHeap(), 0, sizeof(SearchWorkItem) + pathChars * sizeof(wchar_t)));
    if (item != nullptr) {
        new (item) SearchWorkItem{coordination, depth + 1, results, pattern};
        if (SUCCEEDED(LOG_IF_FAILED(CopyToBuffer(item->Path(), pathChars, path))) &&
            LOG_IF_WIN32_BOOL_FALSE(QueueUserWorkItem(&SearchWorkItemRoutine, item, WT_EXECUTEDEFAULT))) {
            return true;
        }
    }
    // The caller still counts for itself, so this never brings the count to 0.
    InterlockedDecrement(coordination.outstanding);
    HeapFree(GetProcessHeap(), 0, item);
    ReleaseSemaphore(coordination.slots, 1, nullptr);
    return false;
}

void SearchSubfolder(const wchar_t* path, const wchar_t* pattern, const Coordination* coordination, LONG depth,
                     const ResultAddresses& results)
{
    if (coordination != nullptr && WaitForSingleObject(coordination->slots, 0) == WAIT_OBJECT_0 &&
        HandOff(path, pattern, *coordination, depth, results)) {
        return;
    }
    HRESULT innerStatus = S_OK;
    ResultAddresses inner = results;
    inner.status = &innerStatus;
    SearchFolder(path, pattern, nullptr, 0, inner);
    if (FAILED(innerStatus)) {
        RecordFailure(results.status, innerStatus);
    }
}

void ConsiderFile(HANDLE find, WIN32_FIND_DATAW& entry, const wchar_t* path, const wchar_t* pattern,
                  const ResultAddresses& results)
{
    if (PathMatchSpecW(entry.cFileName, pattern)) {
        // The size is read for matches only: this is where an enumeration that leaves sizes out
        // (the lazy flag) fetches it.
        platform::CompleteFindData(find, &entry);
        if (InterlockedIncrement(results.filesMatched) == 1) {
            printf("\n");
        }
        printf("%ls\n", path);
        const LONG64 size = static_cast<LONG64>((static_cast<ULONGLONG>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
        InterlockedExchangeAdd64(results.matchedBytes, size);
    }
    InterlockedIncrement(results.filesConsidered);
}

// Enumerates one folder with `buffer` as its path buffer; returns the folder's own failure.
HRESULT SearchEntries(wchar_t* buffer, const wchar_t* folder, const wchar_t* pattern, const Coordination* coordination,
                      LONG depth, const ResultAddresses& results)
{
    wchar_t* name = nullptr;
    size_t nameRoom = 0;
    RETURN_IF_FAILED(MakeLongPath(buffer, kPathBufferChars, folder, &name, &nameRoom, true));
    RETURN_IF_FAILED(CopyToBuffer(name, nameRoom, L"*"));
    // Folder links are entered wherever they are; the type of each entry is all the loop needs.
    constexpr DWORD kFlags = FIND_FIRST_EX_LARGE_FETCH | platform::kFindFollowLinks | platform::kFindLazyData;
    WIN32_FIND_DATAW entry;
    const FindHandle find(FindFirstFileExW(buffer, FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, kFlags));
    RETURN_HR_IF(failure::HResultFromLastError(), !find.valid());
    InterlockedIncrement(results.foldersVisited);
    const wchar_t* const printed = buffer + std::wcslen(platform::kLongPathPrefix);
    do {
        RETURN_IF_FAILED(CopyToBuffer(name, nameRoom, entry.cFileName));
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            if (!IsDotName(entry.cFileName)) {
                SearchSubfolder(buffer, pattern, coordination, depth, results);
            }
        } else {
            ConsiderFile(find.get(), entry, printed, pattern, results);
        }
    } while (FindNextFileW(find.get(), &entry));
    return S_OK;
}

void SearchFolder(const wchar_t* folder, const wchar_t* pattern, const Coordination* coordination, LONG depth,
                  const ResultAddresses& results)
{
    if (depth == 0) {
        *results.status = S_OK;
    }
    const NestingLevel nesting;
    HRESULT hr = kHrNestingTooDeep;
    if (!nesting.TooDeep()) {
        const PathBuffer buffer = AllocatePathBuffer();
        hr = buffer ? SearchEntries(buffer.get(), folder, pattern, coordination, depth, results) : E_OUTOFMEMORY;
    }
    if (FAILED(hr)) {
        RecordFailure(results.status, LOG_HR(hr));
    }
}

} // namespace

HRESULT SearchTree(const wchar_t* folder, const wchar_t* pattern, DWORD concurrencyLimit, SearchResults& results)
{
    SearchResults local;
    HRESULT status = S_OK;
    const ResultAddresses addresses{&local.filesConsidered, &local.filesMatched, &local.matchedBytes,
                                    &local.foldersVisited, &status};
    if (concurrencyLimit <= 1) {
        SearchFolder(folder, pattern, nullptr, 0, addresses);
        results = local;
        return status;
    }
    const LONG limit = static_cast<LONG>(concurrencyLimit);
    HANDLE slots = CreateSemaphoreW(nullptr, limit - 1, limit, nullptr);
    RETURN_HR_IF(failure::HResultFromLastError(), slots == nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (done == nullptr) {
        const HRESULT hr = failure::HResultFromLastError();
        CloseHandle(slots);
        RETURN_HR(hr);
    }
    LONG outstanding = 1;
    const Coordination coordination{slots, done, &outstanding};
    SearchFolder(folder, pattern, &coordination, 0, addresses);
    if (InterlockedDecrement(&outstanding) > 0) {
        ReleaseSemaphore(slots, 1, nullptr);
        WaitForSingleObject(done, INFINITE);
    }
    CloseHandle(done);
    CloseHandle(slots);
    results = local;
    return status;
}
