// Provides DeleteFileW, RemoveDirectoryW and SetFileAttributesW over unlinkat, fchmodat and
// fstatat, relative to the directory that path resolution gives.
//
// Every path is resolved through the thread's open enumerations (path_resolution.h), so a walk's
// calls act relative to the folder it is enumerating and never follow a link below its root.
// DeleteFileW and SetFileAttributesW on the entry that the enumeration has just returned reuse
// the mode that the enumeration read for it (last_entry.h), so deleting a file costs one unlink
// and no stat.
#include "platform/posix/files/file_ops.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/resolution/folder_registry.h"
#include "platform/posix/files/last_entry.h"
#include "platform/posix/resolution/path_resolution.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
using namespace platform;

// Path text of the current call, kept per thread so that its buffer is reused.
thread_local std::string t_path;

BOOL Finish(DWORD error)
{
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

// The enumeration's record of the entry at `location` when that is the entry it has just returned
// and it knows the entry's mode; null otherwise.
LastEntry* KnownEntry(const Location& location)
{
    return location.folder != nullptr && location.folder->last.Knows(location.name) ? &location.folder->last : nullptr;
}

// The mode of the entry at `location`, without following a link.
DWORD ModeOf(const Location& location, unsigned& mode)
{
    if (const LastEntry* last = KnownEntry(location)) {
        mode = last->mode();
        return ERROR_SUCCESS;
    }
    struct stat info {};
    if (fstatat(location.dirFd, location.name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return PathError(errno, location.dirFd, location.name);
    }
    mode = info.st_mode;
    return ERROR_SUCCESS;
}

void ForgetEntry(const Location& location)
{
    if (LastEntry* last = KnownEntry(location)) {
        last->Forget();
    }
}

// Resolves `path` through the thread's open enumerations, under their lock, and runs
// `action(location)` on it. A name ending in a separator cannot name a file: with
// `refuseTrailingSeparator` it fails with 123 before anything is resolved.
template <typename Action>
DWORD AtLocation(LPCWSTR path, bool refuseTrailingSeparator, Action&& action)
{
    FolderRegistry& registry = *ThreadFolders();
    std::lock_guard<std::mutex> lock(registry.mutex);
    bool trailingSeparator = false;
    if (const DWORD error = PathBytes(path, t_path, trailingSeparator); error != ERROR_SUCCESS) {
        return error;
    }
    if (refuseTrailingSeparator && trailingSeparator) {
        return ERROR_INVALID_NAME;
    }
    Location location;
    if (const DWORD error = ResolvePath(registry, t_path, false, location); error != ERROR_SUCCESS) {
        return error;
    }
    return action(location);
}

DWORD DeleteFile(LPCWSTR fileName)
{
    return AtLocation(fileName, true, [](const Location& location) {
        unsigned mode = 0;
        if (const DWORD error = ModeOf(location, mode); error != ERROR_SUCCESS) {
            return error;
        }
        // Windows refuses to delete a read-only file or a folder; a link goes as a link.
        if (S_ISDIR(mode) || (!S_ISLNK(mode) && (mode & S_IWUSR) == 0)) {
            return ERROR_ACCESS_DENIED;
        }
        if (unlinkat(location.dirFd, location.name, 0) != 0) {
            return PathError(errno, location.dirFd, location.name);
        }
        ForgetEntry(location);
        return ERROR_SUCCESS;
    });
}

DWORD RemoveDirectory(LPCWSTR pathName)
{
    // "<dir>/<sub>/" resolves against <dir>: <sub>'s own enumeration may still be open.
    return AtLocation(pathName, false, [](const Location& location) {
        if (unlinkat(location.dirFd, location.name, AT_REMOVEDIR) != 0) {
            const int err = errno;
            if (err == ENOTDIR) {
                // The entry is there but is no folder (267), or a folder on the way is not one (3).
                struct stat info {};
                return fstatat(location.dirFd, location.name, &info, AT_SYMLINK_NOFOLLOW) == 0 ? ERROR_DIRECTORY
                                                                                               : ERROR_PATH_NOT_FOUND;
            }
            return PathError(err, location.dirFd, location.name);
        }
        ForgetEntry(location);
        return ERROR_SUCCESS;
    });
}

DWORD SetAttributes(LPCWSTR fileName, DWORD attributes)
{
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return ERROR_INVALID_PARAMETER;
    }
    return AtLocation(fileName, false, [attributes](const Location& location) {
        unsigned mode = 0;
        if (const DWORD error = ModeOf(location, mode); error != ERROR_SUCCESS) {
            return error;
        }
        // A link has no permission bits of its own, and a folder without its owner write bit would
        // refuse the deletion of its entries, which READONLY never does on Windows: both keep their
        // mode and the call succeeds.
        if (S_ISLNK(mode) || S_ISDIR(mode)) {
            return ERROR_SUCCESS;
        }
        const unsigned wanted = (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? mode & ~S_IWUSR : mode | S_IWUSR;
        if (wanted == mode) {
            return ERROR_SUCCESS;
        }
        // AT_SYMLINK_NOFOLLOW: an entry swapped for a link meanwhile fails instead of changing the target.
        if (fchmodat(location.dirFd, location.name, wanted & 07777, AT_SYMLINK_NOFOLLOW) != 0) {
            return PathError(errno, location.dirFd, location.name);
        }
        if (LastEntry* last = KnownEntry(location)) {
            last->SetMode(wanted);
        }
        return ERROR_SUCCESS;
    });
}
} // namespace

BOOL WINAPI DeleteFileW(LPCWSTR fileName)
{
    return Finish(WithoutThrowing(DWORD{ERROR_NOT_ENOUGH_MEMORY}, [&] { return DeleteFile(fileName); }));
}

BOOL WINAPI RemoveDirectoryW(LPCWSTR pathName)
{
    return Finish(WithoutThrowing(DWORD{ERROR_NOT_ENOUGH_MEMORY}, [&] { return RemoveDirectory(pathName); }));
}

BOOL WINAPI SetFileAttributesW(LPCWSTR fileName, DWORD attributes)
{
    return Finish(WithoutThrowing(DWORD{ERROR_NOT_ENOUGH_MEMORY}, [&] { return SetAttributes(fileName, attributes); }));
}
