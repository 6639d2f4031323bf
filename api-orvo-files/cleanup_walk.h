// The engine's tree walk: selects the files of one folder tree that pass the age and name tests
// and the folders the flags allow, and hands each to the caller's actions: the library deletes
// them, a dry run lists them. The selection is the same whichever actions run.
#pragma once
#include "api-orvo-files/orvo_files.h"
#include "platform/platform.h"

// What becomes of a selected entry. Each call is made with the work path naming the entry.
class CleanupActions {
public:
    // A folder as the walk leaves it: how many of its entries it saw and how many it removed.
    // `listedWhole` is false when the enumeration was filtered by the one pattern, so entries
    // that do not match were never seen.
    struct FolderContents {
        DWORD seen = 0;
        DWORD removed = 0;
        bool listedWhole = true;
    };

    virtual ~CleanupActions() = default;
    // Removes the file, clearing its read-only mark first when `clearReadOnly` (and restoring
    // it when the removal fails). S_OK when the file is gone; otherwise the failure.
    virtual HRESULT RemoveFile(PCWSTR path, const WIN32_FIND_DATAW& entry, bool clearReadOnly) = 0;
    // Removes the folder if it can be removed (it must be empty); true when it was.
    virtual bool RemoveFolder(PCWSTR path, const FolderContents& contents) = 0;
};

// The actions of a real cleanup: delete, and clear the read-only mark that stands in the way.
class DeleteActions final : public CleanupActions {
public:
    HRESULT RemoveFile(PCWSTR path, const WIN32_FIND_DATAW& entry, bool clearReadOnly) override;
    bool RemoveFolder(PCWSTR path, const FolderContents& contents) override;
};

// Everything one walk reads, set once by the call it belongs to.
struct CleanupParameters {
    PCWSTR fileSpecs = nullptr;          // the caller's patterns; tested when CLEANUP_HAS_FILESPECS is set
    ULONGLONG minimumAge = 0;            // 100-ns intervals before the start time; 0: no age test
    DWORD flags = 0;                     // the caller's CLEANUP_ bits and the engine's own two
    DWORD maximumDurationMs = CLEANUP_NO_TIME_LIMIT;
    const FILETIME* startTime = nullptr; // the call's start: ages and the time budget count from it
    PWSTR workPath = nullptr;            // the root's path, ending in the separator, in a buffer of
    size_t workPathChars = 0;            //   workPathChars characters that the walk writes behind it
    PWSTR rootEnd = nullptr;             // just behind the root's separator in workPath
    CleanupStatistics* statistics = nullptr;
    CleanupActions* actions = nullptr;
};

// Walks the root folder of `parameters`. Every level writes only behind its own folder's
// separator in the work path; one find record serves every level. Returns S_OK, 0x80070102 when
// the budget runs out, or the first failure the flags do not tell it to ignore; the statistics
// tell what was done up to then.
HRESULT CleanupFolder(const CleanupParameters& parameters);
