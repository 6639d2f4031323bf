// Provides GetLastError, SetLastError, FormatMessageW and the layer's one errno-to-Win32 mapping
// (thread-local state; fstatat to tell a missing file from a missing folder; a built-in message table).
#include "platform/posix/system/errors.h"

#include "platform/posix/files/path.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;

constexpr DWORD kMessageNotFound = 317;   // ERROR_MR_MID_NOT_FOUND
constexpr DWORD kOperationAborted = 995;  // ERROR_OPERATION_ABORTED

struct Message {
    DWORD id;
    std::string_view text;
};

// The system's documented texts for every code the layer reports and the HRESULTs the product
// raises (Win32 codes by number; other HRESULTs by their full value).
constexpr Message kMessages[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {14, "Not enough memory resources are available to complete this operation."},
    {17, "The system cannot move the file to a different disk drive."},
    {18, "There are no more files."},
    {19, "The media is write protected."},
    {21, "The device is not ready."},
    {31, "A device attached to the system is not functioning."},
    {32, "The process cannot access the file because it is being used by another process."},
    {38, "Reached the end of the file."},
    {50, "The request is not supported."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {109, "The pipe has been ended."},
    {112, "There is not enough space on the disk."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {145, "The directory is not empty."},
    {170, "The requested resource is in use."},
    {183, "Cannot create a file when that file already exists."},
    {206, "The filename or extension is too long."},
    {234, "More data is available."},
    {258, "The wait operation timed out."},
    {267, "The directory name is invalid."},
    {317, "The system cannot find message text for message number 0x%1 in the message file for %2."},
    {487, "Attempt to access invalid address."},
    {574, "{Application Error} The exception %s (0x%08lx) occurred in the application at location 0x%08lx."},
    {668, "Assertion Failure."},
    {995, "The I/O operation has been aborted because of either a thread exit or an application request."},
    {996, "Overlapped I/O event is not in a signaled state."},
    {997, "Overlapped I/O operation is in progress."},
    {998, "Invalid access to memory location."},
    {1006, "The volume for a file has been externally altered so that the opened file is no longer valid."},
    {1117, "The request could not be performed because of an I/O device error."},
    {1920, "The file cannot be accessed by the system."},
    {1921, "The name of the file cannot be resolved by the system."},
    {0x80004001, "Not implemented"},
    {0x80004003, "Invalid pointer"},
    {0x80004004, "Operation aborted"},
    {0x80004005, "Unspecified error"},
    {0x8000FFFF, "Catastrophic failure"},
    {0x80090001, "Bad UID."},
    {0x80090002, "Bad Hash."},
    {0x80090003, "Bad Key."},
    {0x80090004, "Bad Length."},
    {0x80090005, "Bad Data."},
    {0x80090008, "Invalid algorithm specified."},
    {0x80090009, "Invalid flags specified."},
    {0x8009000A, "Invalid type specified."},
    {0x8009000C, "Hash not valid for use in specified state."},
    {0x8009000E, "Insufficient memory available for the operation."},
    {0x80090014, "Invalid provider type specified."},
    {0x80090016, "Keyset does not exist"},
    {0x80090017, "Provider type not defined."},
    {0x8009001F, "The Keyset parameter is invalid."},
    {0x80090020, "An internal error occurred."},
};

const Message* FindMessage(DWORD id)
{
    // An HRESULT made from a Win32 code (facility 7, failure bit) reads as that code.
    if ((id & 0xFFFF0000) == 0x80070000) {
        id &= 0xFFFF;
    }
    for (const Message& message : kMessages) {
        if (message.id == id) {
            return &message;
        }
    }
    return nullptr;
}
} // namespace

DWORD WINAPI GetLastError()
{
    return t_lastError;
}

void WINAPI SetLastError(DWORD error)
{
    t_lastError = error;
}

DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPWSTR buffer, DWORD size, void*)
{
    // Texts have no inserts to fill, so IGNORE_INSERTS changes nothing. The width field is 0 (keep
    // the line break that ends every text) or FORMAT_MESSAGE_MAX_WIDTH_MASK (drop it).
    const DWORD width = flags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
    const DWORD source = flags & ~(FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK);
    if (source != FORMAT_MESSAGE_FROM_SYSTEM || (width != 0 && width != FORMAT_MESSAGE_MAX_WIDTH_MASK) ||
        (buffer == nullptr && size != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const Message* message = FindMessage(messageId);
    if (message == nullptr) {
        SetLastError(kMessageNotFound);
        return 0;
    }
    const std::string_view ending = width == 0 ? "\r\n" : "";
    const size_t length = message->text.size() + ending.size();
    if (length >= size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // The texts are ASCII: each byte is its character.
    LPWSTR out = buffer;
    for (const char ch : message->text) {
        *out++ = static_cast<wchar_t>(ch);
    }
    for (const char ch : ending) {
        *out++ = static_cast<wchar_t>(ch);
    }
    *out = L'\0';
    return static_cast<DWORD>(length);
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
    case ENOSYS:
        return ERROR_NOT_SUPPORTED;
    case EPIPE:
        return ERROR_BROKEN_PIPE;
    case ECANCELED:
        return kOperationAborted; // a cancelled read, as Win32 reports it
    default:
        // Every other failure still reports as a failure with a describable code.
        return ERROR_GEN_FAILURE;
    }
}

DWORD MissingPathError(int dirFd, const char* path)
{
    // The last component may be missing (2); when the folder that should hold it is missing or
    // is not a folder, Win32 reports the path as not found (3).
    std::string_view trimmed(path);
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.remove_suffix(1);
    }
    const std::string parent(CutAtLastSeparator(trimmed).folder);
    if (parent.empty()) {
        return ERROR_FILE_NOT_FOUND; // relative to dirFd, which exists
    }
    struct stat info {};
    if (fstatat(dirFd, parent.c_str(), &info, 0) == 0 && S_ISDIR(info.st_mode)) {
        return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_PATH_NOT_FOUND;
}

DWORD PathError(int err, int dirFd, const char* path)
{
    return err == ENOENT ? MissingPathError(dirFd, path) : Win32ErrorFromErrno(err);
}

DWORD PathError(int err)
{
    return err == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(err);
}

BOOL FailWithErrno(int err)
{
    SetLastError(Win32ErrorFromErrno(err));
    return FALSE;
}

} // namespace platform
