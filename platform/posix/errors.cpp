// Provides GetLastError, SetLastError and the layer's one errno-to-Win32 mapping
// (thread-local state; fstatat to tell a missing file from a missing folder).
#include "platform/platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
} // namespace

DWORD WINAPI GetLastError()
{
    return t_lastError;
}

void WINAPI SetLastError(DWORD error)
{
    t_lastError = error;
}

namespace platform {

DWORD Win32ErrorFromErrno(int err)
{
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EBUSY:
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case ENOTEMPTY:
    case EEXIST:
        return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ELOOP:
        return ERROR_CANT_RESOLVE_FILENAME;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EIO:
        return ERROR_IO_DEVICE;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case ENOTSUP:
        return ERROR_NOT_SUPPORTED;
    default:
        // Every other failure still reports as a failure with a describable code.
        return ERROR_GEN_FAILURE;
    }
}

DWORD MissingPathError(int dirFd, const char* path)
{
    // The last component may be missing (2); when the folder that should hold it is missing or
    // is not a folder, Win32 reports the path as not found (3).
    std::string parent(path);
    while (parent.size() > 1 && parent.back() == '/') {
        parent.pop_back();
    }
    const size_t slash = parent.rfind('/');
    if (slash == std::string::npos) {
        return ERROR_FILE_NOT_FOUND; // relative to dirFd, which exists
    }
    parent.resize(slash == 0 ? 1 : slash);
    struct stat info {};
    if (fstatat(dirFd, parent.c_str(), &info, 0) == 0 && S_ISDIR(info.st_mode)) {
        return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_PATH_NOT_FOUND;
}

BOOL FailWithErrno(int err)
{
    SetLastError(Win32ErrorFromErrno(err));
    return FALSE;
}

} // namespace platform
