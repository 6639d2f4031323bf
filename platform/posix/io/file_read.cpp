// Provides ReadFile: synchronous reads over read(2), and overlapped reads handed to
// overlapped_read.cpp.
#include "platform/posix/io/file_read.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/io/file_object.h"

#include <cerrno>
#include <unistd.h>

namespace {
using namespace platform;

// Reads at the file position. A regular file is read until the count is reached or its end, as
// Windows reads files (read(2) may stop short, e.g. beyond 2 GiB in one call); anything else
// gives the result of one read.
DWORD ReadAtPosition(const FileObject& file, char* buffer, DWORD bytesToRead, DWORD& bytesRead)
{
    while (bytesRead < bytesToRead) {
        const ssize_t got = read(file.fd.get(), buffer + bytesRead, bytesToRead - bytesRead);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Win32ErrorFromErrno(errno);
        }
        bytesRead += static_cast<DWORD>(got);
        if (got == 0 || !file.regular) {
            break;
        }
    }
    return ERROR_SUCCESS;
}

DWORD Read(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped)
{
    FileObject* const file = FileObjectOf(handle);
    if (file == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (bytesRead != nullptr) {
        *bytesRead = 0;
    }
    if (!file->readable) {
        return ERROR_ACCESS_DENIED; // a query handle: its descriptor cannot be read
    }
    if (file->overlapped != (overlapped != nullptr) || (overlapped == nullptr && bytesRead == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (buffer == nullptr && bytesToRead > 0) {
        return ERROR_NOACCESS;
    }
    if (overlapped == nullptr) {
        return ReadAtPosition(*file, static_cast<char*>(buffer), bytesToRead, *bytesRead);
    }
    if (file->reads == nullptr) {
        return ERROR_NOT_SUPPORTED; // not a regular file
    }
    return StartOverlappedRead(*file->reads, buffer, bytesToRead, *overlapped);
}
} // namespace

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped)
{
    const DWORD error = Read(file, buffer, bytesToRead, bytesRead, overlapped);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}
