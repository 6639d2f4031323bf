// DryRunCleanup: the listing actions and the call that drives the engine's walk
// with them.
#include "tools/Purgent/dry_run.h"

#include <cwchar>
#include <string>

#include "api-orvo-files/cleanup_call.h"
#include "common/handle_owners.h"
#include "common/path_names.h"

namespace {

// The path as the user gave it: without the long-path prefix the engine works
// with (a UNC path gets its two leading separators back) and without the
// separator that ends a folder's path.
std::wstring DisplayPath(PCWSTR path)
{
    const size_t prefixLength = wcslen(platform::kLongPathPrefix);
    std::wstring text = path;
    if (prefixLength != 0 && text.compare(0, prefixLength, platform::kLongPathPrefix) == 0) {
        text.erase(0, prefixLength);
        if (text.compare(0, 4, L"UNC\\") == 0) {
            text.replace(0, 3, L"\\");
        }
    }
    if (text.size() > 1 && text.back() == platform::kPathSeparator) {
        text.pop_back();
    }
    return text;
}

// The entries of the folder at `path` (ending in a separator) other than "."
// and "..": 0 when it cannot be listed, the same as the real removal would find
// nothing in its way or fail.
DWORD CountEntries(PCWSTR path)
{
    std::wstring pattern = path;
    pattern += L'*';
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
    if (!find.valid()) {
        return 0;
    }
    DWORD count = 0;
    do {
        count += IsDotOrDotDot(entry.cFileName) ? 0 : 1;
    } while (FindNextFileW(find.get(), &entry));
    return count;
}

class ListActions final : public CleanupActions {
public:
    HRESULT RemoveFile(PCWSTR path, const WIN32_FIND_DATAW&, bool) override
    {
        printf("%ls\n", DisplayPath(path).c_str());
        return S_OK;
    }

    // The folder would be removed when nothing stays in it: every entry the walk
    // saw was removed, and, where the walk saw only the names matching its
    // pattern, nothing else is there.
    bool RemoveFolder(PCWSTR path, const FolderContents& contents) override
    {
        const DWORD entries = contents.listedWhole ? contents.seen : CountEntries(path);
        if (entries != contents.removed) {
            return false;
        }
        printf("%ls\n", DisplayPath(path).c_str());
        return true;
    }
};

} // namespace

HRESULT DryRunCleanup(PCWSTR path, PCWSTR fileSpecs, ULONGLONG minimumAge, DWORD flags, DWORD maximumDurationMs,
    CleanupStatistics* statistics)
{
    ListActions actions;
    return RunCleanupCall(path, fileSpecs, minimumAge, flags, maximumDurationMs, statistics, GetProcessHeap(), actions);
}
