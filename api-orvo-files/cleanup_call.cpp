// RunCleanupCall: request validation, the work path on the caller's heap, canonicalization of
// the root, the walk with the caller's actions, and the hand-back of the statistics on every way
// out once the work buffer was requested.
#include "api-orvo-files/cleanup_call.h"

#include <cwchar>
#include <cwctype>
#include <new>

#include "api-orvo-time/orvo_time.h"
#include "common/failure_macros.h"
#include "common/hresults.h"
#include "common/path_names.h"

namespace {
constexpr DWORD kFolderModeBits = CLEANUP_REMOVE_EMPTY_SUBFOLDERS | CLEANUP_REMOVE_EMPTIED_SUBFOLDERS |
                                  CLEANUP_REMOVE_ROOT | CLEANUP_AGE_FOLDERS;

bool FlagsAreValid(DWORD flags)
{
    if ((flags & ~CLEANUP_VALID_FLAGS) != 0) {
        return false;
    }
    const DWORD bothModes = CLEANUP_REMOVE_EMPTY_SUBFOLDERS | CLEANUP_REMOVE_EMPTIED_SUBFOLDERS;
    if ((flags & bothModes) == bothModes) {
        return false;
    }
    // Aging folders needs a folder removal to apply to.
    return (flags & kFolderModeBits) != CLEANUP_AGE_FOLDERS;
}

// Hands the statistics back and frees the work path when the call leaves, whichever way.
class HandBack {
public:
    HandBack(const FILETIME& startTime, const CleanupStatistics& work, CleanupStatistics* caller)
        : startTime_(startTime), work_(work), caller_(caller)
    {
    }
    HandBack(const HandBack&) = delete;
    HandBack& operator=(const HandBack&) = delete;
    ~HandBack()
    {
        if (workPath_ != nullptr) {
            HeapFree(heap_, 0, workPath_);
        }
        if (caller_ != nullptr) {
            FILETIME endTime;
            GetSystemTimeAsFileTime(&endTime);
            *caller_ = work_;
            caller_->ElapsedTimeMs = static_cast<DWORD>(OrvoTimeElapsedSince(&startTime_, &endTime) / 10000);
        }
    }
    PWSTR Allocate(HANDLE heap)
    {
        heap_ = heap;
        workPath_ = static_cast<PWSTR>(HeapAlloc(heap_, 0, kPathBufferChars * sizeof(wchar_t)));
        return workPath_;
    }

private:
    const FILETIME& startTime_;
    const CleanupStatistics& work_;
    CleanupStatistics* caller_;
    HANDLE heap_ = nullptr;
    PWSTR workPath_ = nullptr;
};

HRESULT Cleanup(PCWSTR Path, PCWSTR FileSpecs, ULONGLONG MinimumAge, DWORD Flags, DWORD MaximumDurationMs,
                CleanupStatistics* Statistics, HANDLE heap, CleanupActions& actions)
{
    CleanupStatistics work{};
    if (Statistics != nullptr) {
        *Statistics = CleanupStatistics{};
    }
    RETURN_HR_IF(E_INVALIDARG, !FlagsAreValid(Flags));
    RETURN_HR_IF(kHrTimeout, MaximumDurationMs == 0);

    FILETIME startTime;
    GetSystemTimeAsFileTime(&startTime);

    DWORD flags = Flags;
    if (FileSpecs != nullptr && FileSpecs[0] != L'\0') {
        flags |= CLEANUP_HAS_FILESPECS;
        if (StrChrW(FileSpecs, L';') != nullptr) {
            flags |= CLEANUP_MULTIPLE_FILESPECS;
        }
    }

    RETURN_HR_IF(E_INVALIDARG, Path == nullptr || Path[0] == L'\0');
    size_t length = wcsnlen(Path, kPathBufferChars);
    RETURN_HR_IF(E_INVALIDARG, length == kPathBufferChars);
    PCWSTR root = Path;
    while (length > 0 && iswspace(static_cast<wint_t>(*root))) {
        ++root;
        --length;
    }
    RETURN_HR_IF(E_INVALIDARG, length == 0);
    // Relative forms the caller must resolve: ".", ".." and anything below them, "./x".
    RETURN_HR_IF(E_INVALIDARG,
                 root[0] == L'.' && (length == 1 || root[1] == L'.' || root[1] == platform::kPathSeparator));

    HandBack handBack(startTime, work, Statistics);
    const PWSTR workPath = handBack.Allocate(heap);
    RETURN_IF_NULL_ALLOC(workPath);
    RETURN_IF_FAILED(PathCchCanonicalizeEx(workPath, kPathBufferChars, root, PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH));
    PWSTR end = nullptr;
    RETURN_IF_FAILED(PathCchAddBackslashEx(workPath, kPathBufferChars, &end, nullptr));

    const HRESULT hr = CleanupFolder({.fileSpecs = FileSpecs,
                                      .minimumAge = MinimumAge,
                                      .flags = flags,
                                      .maximumDurationMs = MaximumDurationMs,
                                      .startTime = &startTime,
                                      .workPath = workPath,
                                      .workPathChars = kPathBufferChars,
                                      .rootEnd = end,
                                      .statistics = &work,
                                      .actions = &actions});
    if (FAILED(hr)) {
        RETURN_HR_MSG(hr, L"WorkPath=\"%ls\"", workPath);
    }
    return S_OK;
}
} // namespace

// Every outcome is an HRESULT: no exception leaves the call (the statistics are handed back as
// the call unwinds).
HRESULT RunCleanupCall(PCWSTR Path, PCWSTR FileSpecs, ULONGLONG MinimumAge, DWORD Flags, DWORD MaximumDurationMs,
                       CleanupStatistics* Statistics, HANDLE heap, CleanupActions& actions)
{
    try {
        return Cleanup(Path, FileSpecs, MinimumAge, Flags, MaximumDurationMs, Statistics, heap, actions);
    } catch (const std::bad_alloc&) {
        RETURN_HR(E_OUTOFMEMORY);
    } catch (...) {
        RETURN_HR(kHrUnhandledException);
    }
}
