// CleanupFolder: the depth-first, post-order walk of one cleanup call. What is selected goes to
// the call's actions (delete_actions.cpp for the library); the walk decides, counts and reports.
//
// Design: the walk is written as a loop over an explicit stack of levels rather than as one
// call per folder, so that a tree as deep as the work path allows (16,000 levels and more)
// never exhausts the thread's stack (a Windows main thread has 1 MiB). Each level keeps only
// its end position in the shared work path, its snapshot of the removal counters, its folder
// time, the counts of entries it saw and removed, and its enumeration handle; the shared find record holds the
// entry being examined. A failure ends the whole call: the remaining levels are closed as the
// stack unwinds, and none of them tries its removal.
//
// Safety: "." and ".." are recognized by name wherever the enumeration returns them and never
// entered; an entry with FILE_ATTRIBUTE_REPARSE_POINT (a folder link or mount point) is never
// entered and never removed.
#include "api-orvo-files/cleanup_walk.h"

#include <cwchar>
#include <new>
#include <vector>

#include "api-orvo-time/orvo_time.h"
#include "common/buffer_format.h"
#include "common/failure_macros.h"
#include "common/file_information.h"
#include "common/handle_owners.h"
#include "common/hresults.h"
#include "common/path_names.h"

namespace {

struct Level {
    PWSTR end = nullptr;       // just behind this folder's separator in the work path
    size_t remaining = 0;      // characters from `end` to the end of the work path buffer
    DWORD depth = 0;
    DWORD removalSnapshot = 0; // FilesRemoved + FoldersRemoved when the level started
    FILETIME folderTime{};     // kept for aging folders
    DWORD seen = 0;            // entries other than "." and ".." that the enumeration returned
    DWORD removed = 0;         // of those, the files and folders removed
    bool filtered = false;     // the enumeration returned only the names matching the one pattern
    bool advance = false;      // the current entry was handled: fetch the next one first
    FindHandle find;
};

// The call's parameters and the find record that every level shares, with the steps of a level.
struct Walk : CleanupParameters {
    WIN32_FIND_DATAW* findData;

    bool Has(DWORD bits) const { return (flags & bits) != 0; }
    DWORD RemovalCount() const { return statistics->FilesRemoved + statistics->FoldersRemoved; }

    HRESULT CheckDeadline() const
    {
        if (maximumDurationMs == CLEANUP_NO_TIME_LIMIT) {
            return S_OK;
        }
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        RETURN_HR_IF(kHrTimeout,
                     OrvoTimeElapsedSince(startTime, &now) >= static_cast<ULONGLONG>(maximumDurationMs) * 10000);
        return S_OK;
    }

    // An entry is too young when less than the minimum age lies between its time and the start.
    bool TooYoung(const FILETIME& time) const
    {
        return minimumAge != 0 && OrvoTimeElapsedSince(&time, startTime) < minimumAge;
    }

    // A folder that cannot be opened or listed for one of these reasons is passed over when the
    // caller asks to ignore folder errors; any other reason fails the call.
    bool IgnoresFolderError(DWORD error) const
    {
        return Has(CLEANUP_IGNORE_FOLDER_ERRORS) &&
               (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_CANT_ACCESS_FILE);
    }

    FILETIME RootFolderTime(const Level& level) const;
    HRESULT Open(Level& level, bool& opened);
    HRESULT ExamineEntry(Level& level, PWSTR& childEnd);
    HRESULT ExamineFile(Level& level);
    bool Finish(Level& level, bool listedWhole);
};

// The root's own time, taken before anything inside it is deleted: its "." entry when the
// enumeration returned that first. A filtered enumeration starts at the first match instead, and
// a volume's root has no "." at all; then the folder itself is read, once, and only when aging
// folders needs it. A time that cannot be read counts as the start time: the root is kept.
FILETIME Walk::RootFolderTime(const Level& level) const
{
    if (wcscmp(findData->cFileName, L".") == 0) {
        return findData->ftLastWriteTime;
    }
    if (!Has(CLEANUP_AGE_FOLDERS)) {
        return FILETIME{};
    }
    *level.end = L'\0'; // the pattern is no longer needed: the work path names the root again
    BY_HANDLE_FILE_INFORMATION information{};
    return SUCCEEDED(ReadFileInformation(workPath, information)) ? information.ftLastWriteTime : *startTime;
}

// Steps that start a level: deadline, folder time, search pattern, enumeration. `opened` stays
// false when the level ends at once with success (nothing matches, the folder vanished, or an
// ignored access failure).
HRESULT Walk::Open(Level& level, bool& opened)
{
    opened = false;
    level.removalSnapshot = RemovalCount();
    level.remaining = workPathChars - static_cast<size_t>(level.end - workPath);
    RETURN_IF_FAILED(CheckDeadline());
    if (level.depth > 0 && minimumAge != 0 && Has(CLEANUP_REMOVE_EMPTY_SUBFOLDERS | CLEANUP_REMOVE_EMPTIED_SUBFOLDERS)) {
        // The record still holds this folder's own entry in its parent's enumeration, taken before
        // anything deleted inside could make the folder look younger.
        level.folderTime = findData->ftLastWriteTime;
    }
    // With one pattern and no recursion the enumeration itself filters by the pattern.
    const bool enumerationFilters = Has(CLEANUP_HAS_FILESPECS) && !Has(CLEANUP_MULTIPLE_FILESPECS | CLEANUP_RECURSE);
    RETURN_IF_FAILED(CopyToBuffer(level.end, level.remaining, enumerationFilters ? fileSpecs : L"*"));
    level.filtered = enumerationFilters;

    const HANDLE find = FindFirstFileExW(workPath, FindExInfoBasic, findData, FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return S_OK;
        case ERROR_PATH_NOT_FOUND:
            if (level.depth > 0) {
                return S_OK; // the folder vanished since its parent listed it
            }
            RETURN_HR(failure::HResultFromWin32(error));
        default:
            if (IgnoresFolderError(error)) {
                return S_OK;
            }
            RETURN_HR(failure::HResultFromWin32(error));
        }
    }
    level.find.Reset(find);
    ++statistics->FoldersVisited;
    if (level.depth == 0 && minimumAge != 0 && Has(CLEANUP_REMOVE_ROOT)) {
        level.folderTime = RootFolderTime(level);
    }
    opened = true;
    return S_OK;
}

// The entry in the shared record. Sets `childEnd` when the entry is a folder to descend into.
HRESULT Walk::ExamineEntry(Level& level, PWSTR& childEnd)
{
    childEnd = nullptr;
    if (IsDotOrDotDot(findData->cFileName)) {
        return S_OK;
    }
    ++level.seen;
    if ((findData->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return ExamineFile(level);
    }
    if (!Has(CLEANUP_RECURSE) || (findData->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return S_OK;
    }
    PWSTR nameEnd = nullptr;
    size_t left = 0;
    RETURN_IF_FAILED(CopyToBuffer(level.end, level.remaining, findData->cFileName, &nameEnd, &left));
    RETURN_IF_FAILED(CopyToBuffer(nameEnd, left, kSeparatorText, &childEnd, nullptr));
    return S_OK;
}

HRESULT Walk::ExamineFile(Level& level)
{
    RETURN_IF_FAILED(CheckDeadline());
    ++statistics->FilesConsidered;
    if (TooYoung(findData->ftLastWriteTime)) {
        return S_OK;
    }
    if (Has(CLEANUP_HAS_FILESPECS)) {
        // The long name is tested even when the enumeration filtered already: its filter also
        // matches short 8.3 names, which may match a pattern that the real name does not.
        const DWORD matchFlags = Has(CLEANUP_MULTIPLE_FILESPECS) ? PMSF_MULTIPLE : PMSF_NORMAL;
        const HRESULT match = PathMatchSpecExW(findData->cFileName, fileSpecs, matchFlags);
        RETURN_IF_FAILED(match);
        if (match == S_FALSE) {
            return S_OK;
        }
    }
    RETURN_IF_FAILED(CopyToBuffer(level.end, level.remaining, findData->cFileName));

    const bool readOnly = (findData->dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    HRESULT hr = E_ACCESSDENIED;
    if (!readOnly || Has(CLEANUP_DELETE_READONLY)) {
        hr = actions->RemoveFile(workPath, *findData, readOnly);
    }
    if (SUCCEEDED(hr)) {
        ++statistics->FilesRemoved;
        statistics->FilesRemovedSizeBytes += (static_cast<ULONGLONG>(findData->nFileSizeHigh) << 32) | findData->nFileSizeLow;
        ++level.removed;
        return S_OK;
    }
    if (Has(CLEANUP_IGNORE_FILE_ERRORS)) {
        return S_OK;
    }
    RETURN_HR(hr);
}

// Steps that end a level: cut the path back, decide and try the removal, close the enumeration.
// True when the folder was removed. A folder whose listing ended with an error is never removed:
// what it still holds is unknown.
bool Walk::Finish(Level& level, bool listedWhole)
{
    *level.end = L'\0';
    bool tryRemoval = false;
    if (level.depth == 0) {
        tryRemoval = Has(CLEANUP_REMOVE_ROOT);
    } else {
        const bool changed = RemovalCount() != level.removalSnapshot;
        tryRemoval = (Has(CLEANUP_REMOVE_EMPTIED_SUBFOLDERS) && changed) ||
                     (Has(CLEANUP_REMOVE_EMPTY_SUBFOLDERS) && (changed || level.seen == 0));
    }
    const bool tooYoung = Has(CLEANUP_AGE_FOLDERS) && TooYoung(level.folderTime);
    const bool removed = listedWhole && tryRemoval && !tooYoung &&
                         actions->RemoveFolder(workPath, {level.seen, level.removed, !level.filtered});
    if (removed) {
        ++statistics->FoldersRemoved;
    }
    level.find.Close();
    return removed;
}

} // namespace

HRESULT CleanupFolder(const CleanupParameters& parameters)
{
    WIN32_FIND_DATAW findData{};
    Walk walk{{parameters}, &findData};
    std::vector<Level> levels;
    HRESULT hr = S_OK;
    try {
        levels.reserve(64);
        levels.emplace_back().end = parameters.rootEnd;
        bool opened = false;
        hr = walk.Open(levels.back(), opened);
        if (FAILED(hr) || !opened) {
            RETURN_HR(hr);
        }
        while (!levels.empty()) {
            Level& level = levels.back();
            if (level.advance && !FindNextFileW(level.find.get(), &findData)) {
                // Only "no more files" is the end of a folder; any other error ends its listing
                // part-way: the folder's failure, or, when ignored, a folder passed over.
                const DWORD error = GetLastError();
                if (error != ERROR_NO_MORE_FILES && !walk.IgnoresFolderError(error)) {
                    hr = failure::HResultFromWin32(error);
                    ORVO_REPORT_HR(failure::FailureKind::ReturnHr, hr, "FindNextFileW");
                    break;
                }
                const bool removed = walk.Finish(level, error == ERROR_NO_MORE_FILES);
                levels.pop_back();
                if (removed && !levels.empty()) {
                    ++levels.back().removed;
                }
                continue;
            }
            level.advance = true;
            PWSTR childEnd = nullptr;
            hr = walk.ExamineEntry(level, childEnd);
            if (FAILED(hr)) {
                break;
            }
            if (childEnd != nullptr) {
                const DWORD childDepth = level.depth + 1;
                Level& child = levels.emplace_back();
                child.end = childEnd;
                child.depth = childDepth;
                hr = walk.Open(child, opened);
                if (FAILED(hr)) {
                    break;
                }
                if (!opened) {
                    levels.pop_back();
                }
            }
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    // A failure fails every level it passes through, each reporting it on the way up.
    for (size_t unwound = levels.size(); FAILED(hr) && unwound > 1; --unwound) {
        ORVO_REPORT_HR(failure::FailureKind::ReturnHr, hr, nullptr);
    }
    RETURN_HR(hr);
}
