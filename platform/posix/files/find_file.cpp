// Provides FindFirstFileExW, FindNextFileW, FindClose and CompleteFindData over
// openat, getdents64 (32 KiB batches per handle) and one fstatat per returned entry, a statx for a
// folder (which also tells a mount point: folder_mount.h); with kFindLazyData, regular files are
// stat'ed only when completed (the type comes from the folder's own records).
//
// A handle is a heap object holding the folder's descriptor, registered with the thread's open
// enumerations (folder_registry.h) so that calls on paths inside the folder resolve through it
// (path_resolution.h), and so that deep walks can park it; it keeps the entry it returned last
// for the file calls on that entry (last_entry.h). "." and ".." are produced by the handle itself,
// first, both with the folder's own data (as the Windows file systems give them), and skipped
// wherever getdents64 returns them.
#include "platform/posix/files/find_file.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/files/file_attributes.h"
#include "platform/posix/files/folder_entries.h"
#include "platform/posix/files/folder_mount.h"
#include "platform/posix/resolution/folder_registry.h"
#include "platform/posix/resolution/looked_up_file.h"
#include "platform/posix/resolution/path_resolution.h"
#include "platform/posix/files/path.h"
#include "platform/posix/system/time.h"
#include "platform/posix/text/text.h"
#include "platform/posix/text/wildcard.h"

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace {
using namespace platform;

struct FindHandle {
    OpenFolder folder;
    std::wstring pattern;
    bool matchAll = false;  // "*": every name, no matching needed
    struct stat self {};    // the folder's own data, returned for "." and ".."
    int dotsLeft = 0;       // 2 while "." is still to come, 1 while "..", then 0
    std::wstring decodedName; // the current entry's name, decoded into the same storage each time
    bool followLinks = false; // kFindFollowLinks
    bool lazy = false;        // kFindLazyData
    // What the last lazy entry still lacks: the stat of folder.last's name or of the folder.
    enum class Pending { None, Entry, Self } pending = Pending::None;

    FindHandle() = default;
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    // Runs under the registry's lock, like every change of the registry.
    ~FindHandle()
    {
        if (folder.registry != nullptr) {
            UnregisterFolder(folder);
        }
    }

    bool Matches(const wchar_t* name, size_t length) const
    {
        return matchAll || MatchSinglePattern(name, length, pattern.data(), pattern.size());
    }
};

// Everything but the name.
void FillStatData(const struct stat& info, DWORD attributes, WIN32_FIND_DATAW& data)
{
    data.dwFileAttributes = attributes;
    data.ftLastWriteTime = FileTimeFrom(info.st_mtim);
    // fstatat has no birth time; the last write is the closest stand-in.
    data.ftCreationTime = data.ftLastWriteTime;
    data.ftLastAccessTime = FileTimeFrom(info.st_atim);
    const auto size = S_ISREG(info.st_mode) ? static_cast<unsigned long long>(info.st_size) : 0ULL;
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
    data.dwReserved0 = 0;
    data.dwReserved1 = 0;
    data.cAlternateFileName[0] = L'\0';
}

void FillFindData(const struct stat& info, DWORD attributes, const wchar_t* name, size_t length,
                  WIN32_FIND_DATAW& data)
{
    FillStatData(info, attributes, data);
    // Names are at most 255 bytes, so at most 255 characters: they always fit.
    length = std::min<size_t>(length, MAX_PATH - 1);
    std::wmemcpy(data.cFileName, name, length);
    data.cFileName[length] = L'\0';
}

// An entry of a lazy enumeration: its name and what its type says.
void FillLazyFindData(DWORD attributes, const wchar_t* name, size_t length, WIN32_FIND_DATAW& data)
{
    // Field by field: clearing the whole record (most of it the name buffer) costs more than the
    // rest of a lazy entry.
    data.dwFileAttributes = attributes;
    data.ftCreationTime = FILETIME {};
    data.ftLastAccessTime = FILETIME {};
    data.ftLastWriteTime = FILETIME {};
    data.nFileSizeHigh = 0;
    data.nFileSizeLow = 0;
    data.dwReserved0 = 0;
    data.dwReserved1 = 0;
    data.cAlternateFileName[0] = L'\0';
    length = std::min<size_t>(length, MAX_PATH - 1);
    std::wmemcpy(data.cFileName, name, length);
    data.cFileName[length] = L'\0';
}

// The wide form of an entry's name in `storage`, which keeps its capacity from entry to entry:
// plain ASCII, which most names are, is widened in place; anything else goes through the codec.
const std::wstring& DecodeName(const RawEntry& entry, std::wstring& storage)
{
    storage.resize(entry.length);
    for (size_t i = 0; i < entry.length; ++i) {
        const auto byte = static_cast<unsigned char>(entry.name[i]);
        if (byte >= 0x80) {
            storage = WideFromBytes(entry.name, entry.length);
            break;
        }
        storage[i] = static_cast<wchar_t>(byte);
    }
    return storage;
}

bool IsDotName(const RawEntry& entry)
{
    return entry.name[0] == '.' && (entry.length == 1 || (entry.length == 2 && entry.name[1] == '.'));
}

// The next entry that matches, or ERROR_NO_MORE_FILES / the error that ended the folder.
DWORD NextMatch(FolderRegistry& registry, FindHandle& find, WIN32_FIND_DATAW& data)
{
    OpenFolder& folder = find.folder;
    while (find.dotsLeft > 0) {
        const size_t length = find.dotsLeft == 2 ? 1 : 2; // "." or ".."
        --find.dotsLeft;
        if (!find.Matches(L"..", length)) {
            continue;
        }
        find.pending = FindHandle::Pending::None;
        folder.last.Forget();
        if (find.lazy) {
            FillLazyFindData(FILE_ATTRIBUTE_DIRECTORY, L"..", length, data);
            find.pending = FindHandle::Pending::Self;
            return ERROR_SUCCESS;
        }
        FillFindData(find.self, AttributesOf(find.self, -1, nullptr, false), L"..", length, data);
        return ERROR_SUCCESS;
    }
    for (;;) {
        if (folder.entries.Exhausted()) {
            const int err = folder.entries.EndError();
            return err == 0 ? ERROR_NO_MORE_FILES : Win32ErrorFromErrno(err);
        }
        // Records already in memory need no descriptor: a parked folder, whose records were all
        // read when it was parked, is reopened only for an entry that needs a stat.
        int fd = -1;
        if (!folder.entries.Buffered()) {
            if (const DWORD error = FolderFd(registry, folder, fd); error != ERROR_SUCCESS) {
                return error;
            }
        }
        RawEntry entry;
        if (folder.entries.Next(fd, entry) <= 0 || IsDotName(entry)) {
            continue;
        }
        const std::wstring& name = DecodeName(entry, find.decodedName);
        if (!find.Matches(name.data(), name.size())) {
            continue;
        }
        folder.last.Returned(std::string_view(entry.name, entry.length));
        // A folder comes complete even so: telling a mount point takes its stat.
        if (find.lazy && entry.type == DT_REG) {
            FillLazyFindData(0, name.data(), name.size(), data);
            find.pending = FindHandle::Pending::Entry;
            return ERROR_SUCCESS;
        }
        find.pending = FindHandle::Pending::None;
        if (fd < 0) {
            if (const DWORD error = FolderFd(registry, folder, fd); error != ERROR_SUCCESS) {
                return error;
            }
        }
        struct stat info {};
        bool mountPoint = false;
        const bool mayBeFolder = entry.type == DT_DIR || entry.type == DT_UNKNOWN;
        if (const int err = StatEntry(fd, entry.name, mayBeFolder, info, mountPoint); err != 0) {
            if (err == ENOENT) {
                continue; // removed since the folder was read
            }
            return Win32ErrorFromErrno(err);
        }
        FillFindData(info, AttributesOf(info, fd, entry.name, mountPoint), name.data(), name.size(), data);
        folder.last.SetMode(info.st_mode);
        return ERROR_SUCCESS;
    }
}

// A name without wildcards: one fstatat of that name, no reading of the folder. Outside every
// enumeration a short path goes to the kernel whole, so a file costs that one call; only a folder
// needs one more (statx), to tell a mount point. (20,000 cached files, two threads: 0.0162 s
// against 0.0288 s when the parent was opened, stat'ed and closed for every name; medians of 9,
// bench/read_paths/run_read_paths_bench.sh 9 small <list> none lookup.)
DWORD LookUp(FolderRegistry& registry, const std::string& path, const std::wstring& name, WIN32_FIND_DATAW& data)
{
    ForgetLookedUpFile();
    Location location;
    const DWORD error = ResolvePath(registry, path, false, location);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    struct stat info {};
    bool mountPoint = false;
    if (const int err = StatEntry(location.dirFd, location.name, false, info, mountPoint); err != 0) {
        return PathError(err, location.dirFd, location.name);
    }
    NoteLookedUpFile(path, info);
    FillFindData(info, AttributesOf(info, location.dirFd, location.name, mountPoint), name.data(), name.size(), data);
    return ERROR_SUCCESS;
}

// Opens the folder of `folderPath` and registers the handle as an open enumeration.
DWORD OpenFolderEnumeration(const std::shared_ptr<FolderRegistry>& registry, std::string folderPath, FindHandle& find)
{
    Location location;
    DWORD error = ResolvePath(*registry, folderPath, false, location);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    MakeRoom(*registry, location.folder);
    // Below an enumeration the folder itself must not be a link either, unless the caller follows links.
    const bool noFollow = location.belowEnumeration && !find.followLinks;
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0);
    find.folder.fd.reset(OpenAtLocation(*registry, folderPath, location, flags));
    if (!find.folder.fd.valid()) {
        return PathError(errno); // a folder to enumerate that is missing is a path not found
    }
    // Below an enumeration, a folder that became a mount point after its parent listed it is
    // refused as the walk would have passed it over: as a folder that is no longer there (3),
    // which a walk takes for a subfolder gone meanwhile. A lazy enumeration reads the folder's own
    // data only when something asks for it, unless this check needs it.
    if (noFollow) {
        bool mountPoint = false;
        if (const int err = StatOpenFolder(find.folder.fd.get(), find.self, mountPoint); err != 0) {
            return Win32ErrorFromErrno(err);
        }
        if (mountPoint) {
            return ERROR_PATH_NOT_FOUND;
        }
    } else if (find.lazy) {
        find.folder.identityKnown = false;
    } else if (fstat(find.folder.fd.get(), &find.self) != 0) {
        return Win32ErrorFromErrno(errno);
    }
    SetFolderPath(*registry, find.folder, std::move(folderPath), location.folder);
    find.folder.followLinks = find.followLinks;
    find.folder.device = find.self.st_dev;
    find.folder.inode = find.self.st_ino;
    find.dotsLeft = 2;
    RegisterFolder(registry, find.folder);
    return ERROR_SUCCESS;
}

DWORD FindFirst(LPCWSTR fileName, DWORD flags, WIN32_FIND_DATAW& data, HANDLE& handle)
{
    std::string path;
    bool trailingSeparator = false;
    DWORD error = PathBytes(fileName, path, trailingSeparator);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    const PathCut cut = CutAtLastSeparator(path);
    const std::string_view patternBytes = cut.name;
    // "<dir>/" and "/" hold no pattern: they find nothing, as on Windows.
    if (trailingSeparator || patternBytes.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const std::shared_ptr<FolderRegistry>& registry = ThreadFolders();
    std::lock_guard<std::mutex> lock(registry->mutex);
    auto find = std::make_unique<FindHandle>(); // declared after the lock: destroyed under it
    find->pattern = WideFromBytes(patternBytes.data(), patternBytes.size());
    find->matchAll = find->pattern == L"*";
    find->followLinks = (flags & kFindFollowLinks) != 0;
    find->lazy = (flags & kFindLazyData) != 0;
    if ((flags & kFindLiteralName) != 0 || find->pattern.find_first_of(L"*?") == std::wstring::npos) {
        error = LookUp(*registry, path, find->pattern, data); // the handle stays unregistered
    } else {
        std::string folderPath = cut.folder.empty() ? std::string(".") : std::string(cut.folder);
        error = OpenFolderEnumeration(registry, std::move(folderPath), *find);
        if (error == ERROR_SUCCESS) {
            error = NextMatch(*registry, *find, data);
            // Nothing matches in an existing folder: "file not found", not the end of a list.
            error = error == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : error;
        }
    }
    if (error == ERROR_SUCCESS) {
        handle = find.release();
    }
    return error; // a failed handle is destroyed here, under the lock
}

bool IsHandle(HANDLE find)
{
    return find != nullptr && find != INVALID_HANDLE_VALUE;
}
} // namespace

HANDLE WINAPI FindFirstFileExW(LPCWSTR fileName, FINDEX_INFO_LEVELS infoLevel, LPVOID findFileData,
                               FINDEX_SEARCH_OPS searchOp, LPVOID searchFilter, DWORD additionalFlags)
{
    // FIND_FIRST_EX_LARGE_FETCH is what every handle does anyway; FIND_FIRST_EX_CASE_SENSITIVE is
    // not offered (patterns always ignore case) and is accepted as a hint, like Windows does on
    // folders that are not case-sensitive. The layer's own flags are read by FindFirst.
    if (findFileData == nullptr || infoLevel < FindExInfoStandard || infoLevel >= FindExInfoMaxInfoLevel ||
        searchOp < FindExSearchNameMatch || searchOp > FindExSearchLimitToDirectories || searchFilter != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = INVALID_HANDLE_VALUE;
    const DWORD error = WithoutThrowing(DWORD{ERROR_NOT_ENOUGH_MEMORY}, [&] {
        return FindFirst(fileName, additionalFlags, *static_cast<WIN32_FIND_DATAW*>(findFileData), handle);
    });
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

BOOL WINAPI FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW findFileData)
{
    if (!IsHandle(find) || findFileData == nullptr) {
        SetLastError(IsHandle(find) ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto& handle = *static_cast<FindHandle*>(find);
    const std::shared_ptr<FolderRegistry> registry = handle.folder.registry;
    if (registry == nullptr) {
        SetLastError(ERROR_NO_MORE_FILES); // a single looked-up name
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(registry->mutex);
    const DWORD error = WithoutThrowing(DWORD{ERROR_NOT_ENOUGH_MEMORY}, [&] { return NextMatch(*registry, handle, *findFileData); });
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE find)
{
    if (!IsHandle(find)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto* handle = static_cast<FindHandle*>(find);
    // Keeps the registry alive past the unlock, even when its thread has ended.
    const std::shared_ptr<FolderRegistry> registry = handle->folder.registry;
    std::unique_lock<std::mutex> lock;
    if (registry != nullptr) {
        lock = std::unique_lock<std::mutex>(registry->mutex);
    }
    delete handle;
    return TRUE;
}

BOOL platform::CompleteFindData(HANDLE find, WIN32_FIND_DATAW* data)
{
    if (!IsHandle(find) || data == nullptr) {
        SetLastError(IsHandle(find) ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto& handle = *static_cast<FindHandle*>(find);
    if (handle.pending == FindHandle::Pending::None || handle.folder.registry == nullptr) {
        return TRUE;
    }
    FolderRegistry& registry = *handle.folder.registry;
    std::lock_guard<std::mutex> lock(registry.mutex);
    OpenFolder& folder = handle.folder;
    int fd = -1;
    if (const DWORD error = FolderFd(registry, folder, fd); error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    struct stat info {};
    bool mountPoint = false;
    const bool entry = handle.pending == FindHandle::Pending::Entry;
    const char* const name = entry ? folder.last.name() : ".";
    // Only files are left pending: a folder among the entries is a file swapped for one meanwhile.
    const int err = entry ? StatEntry(fd, name, false, info, mountPoint) : (fstatat(fd, name, &info, 0) == 0 ? 0 : errno);
    if (err != 0) {
        return err == ENOENT ? TRUE : FailWithErrno(err);
    }
    const DWORD attributes = AttributesOf(info, entry ? fd : -1, entry ? name : nullptr, mountPoint);
    FillStatData(info, attributes, *data); // the name is already there
    if (entry) {
        folder.last.SetMode(info.st_mode);
    }
    handle.pending = FindHandle::Pending::None;
    return TRUE;
}
