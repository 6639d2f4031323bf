// Provides GetStdHandle, GetConsoleMode and WriteConsoleW. The standard handles are file objects
// over descriptors 0, 1 and 2, made once and kept for the life of the process.
#include "platform/posix/text/console_handle.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/io/file_object.h"
#include "platform/posix/text/text.h"

#include <cerrno>
#include <new>
#include <string>
#include <unistd.h>

namespace {
using namespace platform;

// Never freed: the handle is valid for the whole process (and the descriptor is never closed
// behind the runtime's back at exit). Null when memory is short.
FileObject* StandardObject(int fd)
{
    auto* object = new (std::nothrow) FileObject;
    if (object != nullptr) {
        object->fd.reset(fd);
        object->readable = fd == 0;
    }
    return object;
}

// The descriptor of a console handle, or -1 with ERROR_INVALID_HANDLE.
int ConsoleFd(HANDLE console)
{
    const FileObject* file = FileObjectOf(console);
    if (file == nullptr) {
        return -1;
    }
    if (isatty(file->fd.get()) != 1) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    return file->fd.get();
}
} // namespace

HANDLE WINAPI GetStdHandle(DWORD which)
{
    static FileObject* const input = StandardObject(0);
    static FileObject* const output = StandardObject(1);
    static FileObject* const error = StandardObject(2);
    FileObject* object = nullptr;
    switch (which) {
    case STD_INPUT_HANDLE:
        object = input;
        break;
    case STD_OUTPUT_HANDLE:
        object = output;
        break;
    case STD_ERROR_HANDLE:
        object = error;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (object == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    return object;
}

BOOL WINAPI GetConsoleMode(HANDLE console, LPDWORD mode)
{
    if (ConsoleFd(console) < 0) {
        return FALSE;
    }
    if (mode != nullptr) {
        *mode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    }
    return TRUE;
}

BOOL WINAPI WriteConsoleW(HANDLE console, const void* text, DWORD length, LPDWORD written, LPVOID)
{
    const int fd = ConsoleFd(console);
    if (fd < 0) {
        return FALSE;
    }
    std::string bytes;
    if (!BytesFromWide(static_cast<const wchar_t*>(text), length, bytes)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return FALSE;
    }
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t result = write(fd, bytes.data() + done, bytes.size() - done);
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            return FailWithErrno(errno);
        }
        done += static_cast<size_t>(result);
    }
    if (written != nullptr) {
        *written = length;
    }
    return TRUE;
}
