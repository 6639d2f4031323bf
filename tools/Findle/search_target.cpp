// LocateSearchTarget: the folder and pattern rules of the search argument.
#include "tools/Findle/search_target.h"

#include <cwchar>

#include "common/failure_macros.h"
#include "common/path_names.h"
#include "tools/Findle/long_path.h"

namespace {
constexpr wchar_t kEveryName[] = L"*";
} // namespace

HRESULT LocateSearchTarget(wchar_t* searchPath, SearchTarget& target)
{
    SetLastError(ERROR_SUCCESS);
    const BOOL isFolder = PathIsDirectoryW(searchPath);
    // A folder that cannot be told for lack of memory must not be taken for a pattern: the
    // search would look somewhere else.
    RETURN_HR_IF(E_OUTOFMEMORY, !isFolder && failure::HResultFromLastError() == E_OUTOFMEMORY);
    if (isFolder) {
        target.folder = searchPath;
        target.pattern = kEveryName;
        return S_OK;
    }
    const size_t prefixLength = std::wcslen(platform::kLongPathPrefix);
    wchar_t* const path = searchPath + prefixLength; // the full path behind the prefix
    wchar_t* const cut = std::wcsrchr(path, platform::kPathSeparator);
    if (cut == nullptr) {
        // Only the prefix's own separator: the full path names no folder.
        RETURN_IF_FAILED(ResolveFullPath(L".", target.currentFolder));
        target.folder = target.currentFolder.get();
        target.pattern = path;
    } else if (cut == path) {
        // The root: cutting there would leave no folder, so it keeps its separator.
        target.folder = kSeparatorText;
        target.pattern = cut + 1;
    } else {
        *cut = L'\0';
        target.folder = searchPath;
        target.pattern = cut + 1;
    }
    if (target.pattern[0] == L'\0') {
        target.pattern = kEveryName;
    }
    return S_OK;
}
