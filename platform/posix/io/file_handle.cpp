// Provides CreateFileW, GetFileSize, GetFileType, GetFileInformationByHandle and the closing of file handles
// over openat, fstat, fcntl and posix_fadvise.
//
// Paths resolve through the thread's open enumerations (path_resolution.h) like the other file calls,
// which keeps long paths working and lets a finder open the entries of the folder it enumerates.
// The last component is followed when it is a link, as Windows follows reparse points.
#include "platform/posix/io/file_handle.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/files/file_attributes.h"
#include "platform/posix/io/file_object.h"
#include "platform/posix/resolution/folder_registry.h"
#include "platform/posix/resolution/looked_up_file.h"
#include "platform/posix/sync/kernel_object.h"
#include "platform/posix/system/time.h"
#include "platform/posix/resolution/path_resolution.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <sys/stat.h>

namespace {
using namespace platform;

constexpr DWORD kQueryAccess = FILE_READ_ATTRIBUTES;
constexpr DWORD kOfferedAccess = GENERIC_READ | kQueryAccess;
constexpr off_t kDefaultReadAhead = 128 * 1024; // the kernel's default read-ahead window

// Path text of the current call, kept per thread so that its buffer is reused.
thread_local std::string t_path;

DWORD FileTypeOf(mode_t mode)
{
    if (S_ISREG(mode) || S_ISDIR(mode)) {
        return FILE_TYPE_DISK;
    }
    if (S_ISCHR(mode)) {
        return FILE_TYPE_CHAR;
    }
    return S_ISFIFO(mode) || S_ISSOCK(mode) ? FILE_TYPE_PIPE : FILE_TYPE_UNKNOWN;
}

DWORD OpenFile(LPCWSTR fileName, DWORD access, DWORD disposition, DWORD flags, HANDLE templateFile,
               std::unique_ptr<FileObject>& file)
{
    if ((access & ~kOfferedAccess) != 0 || disposition != OPEN_EXISTING || templateFile != nullptr ||
        (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    const bool readable = (access & GENERIC_READ) != 0;
    FolderRegistry& registry = *ThreadFolders();
    std::lock_guard<std::mutex> lock(registry.mutex);
    bool trailingSeparator = false;
    if (const DWORD error = PathBytes(fileName, t_path, trailingSeparator); error != ERROR_SUCCESS) {
        return error;
    }
    Location location;
    if (const DWORD error = ResolvePath(registry, t_path, false, location); error != ERROR_SUCCESS) {
        return error;
    }
    // O_NONBLOCK: a FIFO without a writer would otherwise hold the open forever. It is cleared
    // again below, so reads block as they do on Windows.
    const int openFlags = readable ? O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY : O_PATH | O_CLOEXEC;
    file = std::make_unique<FileObject>();
    struct stat info {};
    if (readable && location.dirFd == AT_FDCWD) {
        file->fd.reset(OpenLookedUpFile(t_path, openFlags, info));
    } else {
        ForgetLookedUpFile();
    }
    if (!file->fd.valid()) {
        file->fd.reset(OpenAtLocation(registry, t_path, location, openFlags));
        if (!file->fd.valid()) {
            return PathError(errno, location.dirFd, location.name);
        }
        if (fstat(file->fd.get(), &info) != 0) {
            return Win32ErrorFromErrno(errno);
        }
    }
    if (S_ISDIR(info.st_mode)) {
        // Windows opens a folder only for backup semantics.
        if ((flags & FILE_FLAG_BACKUP_SEMANTICS) == 0) {
            return ERROR_ACCESS_DENIED;
        }
    } else if (trailingSeparator) {
        return ERROR_INVALID_NAME;
    }
    file->readable = readable;
    file->overlapped = (flags & FILE_FLAG_OVERLAPPED) != 0;
    file->regular = S_ISREG(info.st_mode);
    file->type = FileTypeOf(info.st_mode);
    // O_NONBLOCK changes nothing for the synchronous reads of a regular file, so only other files
    // (and the overlapped reads, which io_uring would fail with EAGAIN) need it cleared: one system
    // call less for every file that is hashed.
    if (readable && (!file->regular || file->overlapped) && fcntl(file->fd.get(), F_SETFL, 0) != 0) {
        return Win32ErrorFromErrno(errno);
    }
    // Doubling the read-ahead window changes nothing for a file that fits in the default window.
    if (readable && file->regular && (flags & FILE_FLAG_SEQUENTIAL_SCAN) != 0 && info.st_size > kDefaultReadAhead) {
        posix_fadvise(file->fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL); // a hint: its result changes nothing
    }
    if (readable && file->regular && file->overlapped) {
        file->reads = NewOverlappedReads(file->fd.get());
        if (file->reads == nullptr) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    return ERROR_SUCCESS;
}

ULONGLONG SizeOf(const FileObject& file, const struct stat& info)
{
    return file.regular ? static_cast<ULONGLONG>(info.st_size) : 0;
}
} // namespace

namespace platform {

FileObject* FileObjectOf(HANDLE handle)
{
    if (SignatureOf(handle) != kFileObjectSignature) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<FileObject*>(handle);
}

BOOL CloseFileObject(HANDLE handle)
{
    delete static_cast<FileObject*>(handle);
    return TRUE;
}

} // namespace platform

HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile)
{
    std::unique_ptr<FileObject> file;
    const DWORD error = platform::WithoutThrowing(DWORD{ERROR_NOT_ENOUGH_MEMORY}, [&] {
        return OpenFile(fileName, desiredAccess, creationDisposition, flagsAndAttributes, templateFile, file);
    });
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return file.release();
}

DWORD WINAPI GetFileSize(HANDLE handle, LPDWORD sizeHigh)
{
    const FileObject* file = FileObjectOf(handle);
    if (file == nullptr) {
        return INVALID_FILE_SIZE;
    }
    struct stat info {};
    if (fstat(file->fd.get(), &info) != 0) {
        FailWithErrno(errno);
        return INVALID_FILE_SIZE;
    }
    const ULONGLONG size = SizeOf(*file, info);
    if (sizeHigh != nullptr) {
        *sizeHigh = static_cast<DWORD>(size >> 32);
    }
    if (static_cast<DWORD>(size) == INVALID_FILE_SIZE) {
        SetLastError(ERROR_SUCCESS);
    }
    return static_cast<DWORD>(size);
}

DWORD WINAPI GetFileType(HANDLE handle)
{
    const FileObject* file = FileObjectOf(handle);
    if (file == nullptr) {
        return FILE_TYPE_UNKNOWN;
    }
    SetLastError(ERROR_SUCCESS); // an unknown kind is then told from a failure
    return file->type;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION information)
{
    const FileObject* file = FileObjectOf(handle);
    if (file == nullptr) {
        return FALSE;
    }
    if (information == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat info {};
    if (fstat(file->fd.get(), &info) != 0) {
        return FailWithErrno(errno);
    }
    const ULONGLONG size = SizeOf(*file, info);
    const auto device = static_cast<ULONGLONG>(info.st_dev);
    const auto inode = static_cast<ULONGLONG>(info.st_ino);
    *information = BY_HANDLE_FILE_INFORMATION {};
    information->dwFileAttributes = AttributesOf(info, -1, nullptr, false); // no parent: a folder is DIRECTORY
    information->ftLastWriteTime = FileTimeFrom(info.st_mtim);
    information->ftCreationTime = information->ftLastWriteTime; // as the enumeration gives it
    information->ftLastAccessTime = FileTimeFrom(info.st_atim);
    information->dwVolumeSerialNumber = static_cast<DWORD>(device ^ (device >> 32));
    information->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    information->nFileSizeLow = static_cast<DWORD>(size);
    information->nNumberOfLinks = static_cast<DWORD>(info.st_nlink);
    information->nFileIndexHigh = static_cast<DWORD>(inode >> 32);
    information->nFileIndexLow = static_cast<DWORD>(inode);
    return TRUE;
}
