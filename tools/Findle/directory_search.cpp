// SearchTree, SearchFolder and the SearchWorkItem routine.
//
// Threading: the calling thread searches the starting folder. Each subfolder of a walk's first
// folder goes to a thread-pool work item when a slot of the slot semaphore can be taken without
// waiting; otherwise the walk searches that subfolder's whole subtree itself (in place, with no
// further hand-offs). The outstanding count starts at 1 for the calling thread and is raised
// before every hand-off is queued, so it reaches 0 only when the calling thread and every work
// item are done; whoever brings it to 0 signals the completion event, on which the calling
// thread waits once. The counters are changed only with interlocked operations; each match is
// one printf call, which the output stream keeps whole.
//
// The walk: a SearchFolder call is a loop over an explicit stack of levels, not one call per
// folder, so that a tree as deep as a path allows (16,000 levels and more) never exhausts the
// thread's stack, whatever thread it runs on. All levels of a walk share one path buffer (32,768
// wide characters: 64 KiB on Windows, 128 KiB on Linux, whose wide characters have four bytes)
// and one find record: a level keeps only the position behind its folder's separator, the places
// left there and its enumeration. Memory therefore grows with the path, not with one buffer per
// level.
//
// Folder links are entered, except one whose target is a folder on the current path (from the
// starting folder down): entering it would be a loop. That branch ends with kHrLinkLoop as its
// status and the walk goes on. Only entries that are links pay for the test (folder_chain.h);
// depth alone never ends a branch.
//
// Failures end what they concern and are recorded in the status (the first one is kept): a
// subfolder that cannot be opened, whose path does not fit or that is a loop ends that branch;
// an entry's name that does not fit or a failure to fetch the next entry ends its folder.
#include "tools/Findle/directory_search.h"

#include <cwchar>
#include <new>
#include <vector>

#include "common/buffer_format.h"
#include "common/failure_macros.h"
#include "common/handle_owners.h"
#include "common/path_names.h"
#include "tools/Findle/folder_chain.h"
#include "tools/Findle/long_path.h"
#include "tools/Findle/path_buffer.h"

namespace {

// Win32 error 1921, ERROR_CANT_RESOLVE_FILENAME: what the system reports for a chain of links it
// will not follow to its end.
constexpr HRESULT kHrLinkLoop = static_cast<HRESULT>(0x80070781);
// Win32 error 1920, ERROR_CANT_ACCESS_FILE: a match whose size cannot be read for lack of access.
// Never E_ACCESSDENIED, which the exit code takes for success (a folder that cannot be opened):
// a total that leaves a match out must show in the exit code.
constexpr HRESULT kHrSizeUnreadable = static_cast<HRESULT>(0x80070780);
// The objects of a parallel search.
struct Coordination {
    HANDLE slots;             // slot semaphore
    HANDLE done;              // completion event, manual reset
    LONG volatile* outstanding;
};

// What every walk of one search shares. It lives with SearchTree, which outlives every walk.
struct SearchParameters {
    const wchar_t* pattern;
    const Coordination* coordination; // null in a sequential search
    SearchResults* results;           // the shared counters, changed with interlocked operations
    HRESULT volatile* status;
};

// One handed-off subfolder; the path follows the record in the same heap block.
struct SearchWorkItem {
    const SearchParameters* search;
    size_t startChars; // the starting folder's path at the front of the subfolder's

    wchar_t* Path() { return reinterpret_cast<wchar_t*>(this + 1); }
};
static_assert(sizeof(SearchWorkItem) % alignof(wchar_t) == 0);

// The status keeps the first failure only.
void RecordFailure(const SearchParameters& search, HRESULT hr)
{
    InterlockedCompareExchange(search.status, hr, S_OK);
}

void SearchFolder(const wchar_t* folder, size_t startChars, const SearchParameters& search);

DWORD WINAPI SearchWorkItemRoutine(LPVOID context)
{
    auto* item = static_cast<SearchWorkItem*>(context);
    const Coordination coordination = *item->search->coordination;
    SearchFolder(item->Path(), item->startChars, *item->search);
    ReleaseSemaphore(coordination.slots, 1, nullptr);
    if (InterlockedDecrement(coordination.outstanding) == 0) {
        SetEvent(coordination.done);
    }
    HeapFree(GetProcessHeap(), 0, item);
    return 0;
}

// Queues the folder `path` (`pathChars` long) as a work item; the caller holds a slot for it. On
// failure everything is undone, the slot given back, and false returned: the caller then searches
// the folder in place.
bool HandOff(const wchar_t* path, size_t pathChars, size_t startChars, const SearchParameters& search)
{
    const Coordination& coordination = *search.coordination;
    InterlockedIncrement(coordination.outstanding);
    auto* item = static_cast<SearchWorkItem*>(
        HeapAlloc(GetProcessHeap(), 0, sizeof(SearchWorkItem) + (pathChars + 1) * sizeof(wchar_t)));
    if (item != nullptr) {
        new (item) SearchWorkItem{&search, startChars};
        if (SUCCEEDED(LOG_IF_FAILED(CopyToBuffer(item->Path(), pathChars + 1, path))) &&
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

// One folder being enumerated.
struct Level {
    wchar_t* end;         // just behind the folder's separator in the walk's path
    size_t remaining;     // places from `end` to the end of the path buffer
    FindHandle find;
    bool advance = false; // the current entry was handled: fetch the next one first
};

// One folder's subtree searched on one thread.
class Walk {
public:
    Walk(const SearchParameters& search, wchar_t* path, size_t startChars)
        : search_(search), path_(path), startChars_(startChars), chain_(path)
    {
    }
    void Run(const wchar_t* folder);

private:
    HRESULT Open(wchar_t* end, size_t remaining, size_t pathChars);
    void Leave();
    HRESULT Examine(Level& level);
    void EnterSubfolder(wchar_t* nameEnd, size_t left);
    HRESULT CheckLink();
    void ConsiderFile(HANDLE find);
    void Fail(HRESULT hr) { RecordFailure(search_, LOG_HR(hr)); }

    const SearchParameters& search_;
    wchar_t* const path_;
    size_t startChars_; // the starting folder's path at the front of the buffer
    WIN32_FIND_DATAW entry_;
    std::vector<Level> levels_;
    FolderChain chain_;
};

void Walk::Run(const wchar_t* folder)
{
    try {
        wchar_t* end = nullptr;
        size_t remaining = 0;
        HRESULT hr = MakeLongPath(path_, kPathBufferChars, folder, &end, &remaining, true);
        if (SUCCEEDED(hr)) {
            // The folder's own path stops before the separator that MakeLongPath added, if any.
            const size_t length = std::wcslen(folder);
            const bool hadSeparator = length > 0 && folder[length - 1] == platform::kPathSeparator;
            const size_t pathChars = static_cast<size_t>(end - path_) - (hadSeparator ? 0 : 1);
            if (startChars_ == 0) {
                startChars_ = pathChars;
            }
            hr = Open(end, remaining, pathChars);
        }
        if (FAILED(hr)) {
            Fail(hr);
            return;
        }
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.advance && !FindNextFileW(level.find.get(), &entry_)) {
                // The end of the folder, or a failure to read further: never taken for the end.
                if (GetLastError() != ERROR_NO_MORE_FILES) {
                    Fail(failure::HResultFromLastError());
                }
                Leave();
                continue;
            }
            level.advance = true;
            hr = Examine(level);
            if (FAILED(hr)) {
                Fail(hr);
                Leave();
            }
        }
    } catch (const std::bad_alloc&) {
        Fail(E_OUTOFMEMORY);
    }
}

// Starts the enumeration of the folder whose path stands in the buffer up to its separator at
// `end`; on success it becomes the innermost level, its first entry in the find record.
HRESULT Walk::Open(wchar_t* end, size_t remaining, size_t pathChars)
{
    RETURN_IF_FAILED(CopyToBuffer(end, remaining, L"*"));
    constexpr DWORD kFlags = FIND_FIRST_EX_LARGE_FETCH | platform::kFindFollowLinks | platform::kFindLazyData;
    FindHandle find(FindFirstFileExW(path_, FindExInfoBasic, &entry_, FindExSearchNameMatch, nullptr, kFlags));
    RETURN_HR_IF(failure::HResultFromLastError(), !find.valid());
    InterlockedIncrement(&search_.results->foldersVisited);
    levels_.push_back(Level{end, remaining, std::move(find)});
    chain_.Enter(pathChars);
    return S_OK;
}

void Walk::Leave()
{
    levels_.pop_back();
    chain_.Leave();
}

// The entry in the find record, in the innermost level. Returns the folder's own failures only.
HRESULT Walk::Examine(Level& level)
{
    if (IsDotOrDotDot(entry_.cFileName)) {
        return S_OK;
    }
    wchar_t* nameEnd = nullptr;
    size_t left = 0;
    RETURN_IF_FAILED(CopyToBuffer(level.end, level.remaining, entry_.cFileName, &nameEnd, &left));
    if ((entry_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ConsiderFile(level.find.get());
        return S_OK;
    }
    if ((entry_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        if (const HRESULT hr = CheckLink(); FAILED(hr)) {
            Fail(hr);
            return S_OK;
        }
    }
    const size_t pathChars = static_cast<size_t>(nameEnd - path_);
    if (search_.coordination != nullptr && levels_.size() == 1 &&
        WaitForSingleObject(search_.coordination->slots, 0) == WAIT_OBJECT_0 &&
        HandOff(path_, pathChars, startChars_, search_)) {
        return S_OK;
    }
    EnterSubfolder(nameEnd, left);
    return S_OK; // `level` may have moved: the subfolder is the innermost level now
}

// Searches the subfolder named in the buffer up to `nameEnd` in place, as the innermost level.
void Walk::EnterSubfolder(wchar_t* nameEnd, size_t left)
{
    const size_t pathChars = static_cast<size_t>(nameEnd - path_);
    wchar_t* end = nullptr;
    size_t remaining = 0;
    HRESULT hr = CopyToBuffer(nameEnd, left, kSeparatorText, &end, &remaining);
    if (SUCCEEDED(hr)) {
        hr = Open(end, remaining, pathChars);
    }
    if (FAILED(hr)) {
        Fail(hr);
    }
}

// The folder link whose path stands in the buffer may be entered unless it leads to a folder on
// the current path, or its target cannot be told.
HRESULT Walk::CheckLink()
{
    FileIdentity target;
    RETURN_IF_FAILED(ReadIdentity(path_, target));
    bool held = false;
    RETURN_IF_FAILED(chain_.Holds(target, startChars_, held));
    RETURN_HR_IF(kHrLinkLoop, held);
    return S_OK;
}

void Walk::ConsiderFile(HANDLE find)
{
    SearchResults& results = *search_.results;
    if (PathMatchSpecW(entry_.cFileName, search_.pattern)) {
        // The size is read for matches only: this is where an enumeration that leaves sizes out
        // (the lazy flag) fetches it. A size that cannot be had is the folder's failure; the
        // match still counts and is printed, but adds nothing to the total.
        const bool sizeKnown = platform::CompleteFindData(find, &entry_) != FALSE;
        if (!sizeKnown) {
            Fail(GetLastError() == ERROR_ACCESS_DENIED ? kHrSizeUnreadable : failure::HResultFromLastError());
        }
        if (InterlockedIncrement(&results.filesMatched) == 1) {
            printf("\n");
        }
        // printf fails when the line cannot be made for lack of memory: a match not shown is not
        // counted either.
        if (printf("%ls\n", path_ + std::wcslen(platform::kLongPathPrefix)) < 0) {
            InterlockedDecrement(&results.filesMatched);
            Fail(E_OUTOFMEMORY);
        } else if (sizeKnown) {
            const auto size = static_cast<LONG64>((static_cast<ULONGLONG>(entry_.nFileSizeHigh) << 32) | entry_.nFileSizeLow);
            InterlockedExchangeAdd64(&results.matchedBytes, size);
        }
    }
    InterlockedIncrement(&results.filesConsidered);
}

// Searches `folder` and its whole subtree on this thread. `startChars`: the length of the
// starting folder's path at the front of `folder` (0 when `folder` is the starting folder).
void SearchFolder(const wchar_t* folder, size_t startChars, const SearchParameters& search)
{
    const PathBuffer buffer = AllocatePathBuffer();
    if (!buffer) {
        RecordFailure(search, LOG_HR(E_OUTOFMEMORY));
        return;
    }
    Walk walk(search, buffer.get(), startChars);
    walk.Run(folder);
}

} // namespace

HRESULT SearchTree(const wchar_t* folder, const wchar_t* pattern, DWORD concurrencyLimit, SearchResults& results)
{
    SearchResults local;
    HRESULT status = S_OK;
    SearchParameters search{pattern, nullptr, &local, &status};
    if (concurrencyLimit <= 1) {
        SearchFolder(folder, 0, search);
        results = local;
        return status;
    }
    const LONG limit = static_cast<LONG>(concurrencyLimit);
    const OwnedHandle slots(CreateSemaphoreW(nullptr, limit - 1, limit, nullptr));
    RETURN_HR_IF(failure::HResultFromLastError(), !slots.valid());
    const OwnedHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    RETURN_HR_IF(failure::HResultFromLastError(), !done.valid());
    LONG outstanding = 1;
    const Coordination coordination{slots.get(), done.get(), &outstanding};
    search.coordination = &coordination;
    SearchFolder(folder, 0, search);
    if (InterlockedDecrement(&outstanding) > 0) {
        ReleaseSemaphore(slots.get(), 1, nullptr);
        WaitForSingleObject(done.get(), INFINITE);
    }
    results = local;
    return status;
}
