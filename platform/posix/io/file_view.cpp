// Provides CreateFileMappingW, MapViewOfFile, UnmapViewOfFile and the closing of mappings over
// pread, fstat and anonymous mmap.
//
// A mapping object holds the file's bytes in a buffer of anonymous pages and one reference for
// its handle plus one per view; the last reference gives the buffer back. Each thread keeps the
// largest buffer given back on it, so that a run over many small files reads each one into
// memory that is already mapped and touched (no page faults, no mmap per file). Views are found
// again by address in the process's list of mappings that have views (a handful at a time, one
// per thread at work), under one lock.
#include "platform/posix/io/file_view.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/io/file_object.h"
#include "platform/posix/sync/kernel_object.h"

#include <atomic>
#include <cerrno>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
using namespace platform;

constexpr ULONGLONG kMaximumMapping = 1ULL << 30;
constexpr std::size_t kBufferGranularity = 0x10000;

// Anonymous pages that hold a mapping's bytes.
struct Buffer {
    char* data = nullptr;
    std::size_t capacity = 0;

    void Release()
    {
        if (data != nullptr) {
            munmap(data, capacity);
            data = nullptr;
            capacity = 0;
        }
    }
};

// The buffer that the thread's last released mapping left, ready for its next one.
struct BufferCache {
    Buffer kept;
    ~BufferCache() { kept.Release(); }
};
thread_local BufferCache t_cache;

bool TakeBuffer(std::size_t size, Buffer& buffer)
{
    if (t_cache.kept.capacity >= size) {
        buffer = t_cache.kept;
        t_cache.kept = Buffer {};
        return true;
    }
    const std::size_t capacity = (size + kBufferGranularity - 1) & ~(kBufferGranularity - 1);
    void* const data = mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) {
        return false;
    }
    buffer = Buffer {static_cast<char*>(data), capacity};
    return true;
}

void GiveBackBuffer(Buffer& buffer)
{
    if (buffer.capacity > t_cache.kept.capacity) {
        t_cache.kept.Release();
        t_cache.kept = buffer;
    } else {
        buffer.Release();
    }
    buffer = Buffer {};
}

struct MappingObject {
    std::uint32_t signature = kMappingObjectSignature;
    std::atomic<int> references {1};
    Buffer buffer;
    std::size_t size = 0;
    // Under g_viewsLock: the number of views, and the links of the list of mappings with views.
    int views = 0;
    MappingObject* previous = nullptr;
    MappingObject* next = nullptr;

    MappingObject() = default;
    MappingObject(const MappingObject&) = delete;
    MappingObject& operator=(const MappingObject&) = delete;
    ~MappingObject()
    {
        signature = kDeadObjectSignature;
        GiveBackBuffer(buffer);
    }

    void Release()
    {
        if (references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete this;
        }
    }
};

std::mutex g_viewsLock;
MappingObject* g_viewed = nullptr;

MappingObject* MappingOf(HANDLE handle)
{
    if (SignatureOf(handle) != kMappingObjectSignature) {
        return nullptr;
    }
    return static_cast<MappingObject*>(handle);
}

// Reads exactly `size` bytes from the start of the file; fewer means the file is shorter.
DWORD ReadWhole(int fd, char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, data + done, size - done, static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Win32ErrorFromErrno(errno);
        }
        if (got == 0) {
            return ERROR_NOT_ENOUGH_MEMORY; // shorter than the mapping
        }
        done += static_cast<std::size_t>(got);
    }
    return ERROR_SUCCESS;
}

DWORD CreateMapping(HANDLE handle, DWORD protect, ULONGLONG size, LPCWSTR name, MappingObject*& mapping)
{
    FileObject* const file = FileObjectOf(handle);
    if (file == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (protect != PAGE_READONLY || name != nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!file->readable) {
        return ERROR_ACCESS_DENIED;
    }
    if (!file->regular) {
        struct stat info {};
        const bool folder = fstat(file->fd.get(), &info) == 0 && S_ISDIR(info.st_mode);
        return folder ? ERROR_ACCESS_DENIED : ERROR_INVALID_FUNCTION;
    }
    if (size == 0) {
        struct stat info {};
        if (fstat(file->fd.get(), &info) != 0) {
            return Win32ErrorFromErrno(errno);
        }
        if (info.st_size == 0) {
            return ERROR_FILE_INVALID;
        }
        size = static_cast<ULONGLONG>(info.st_size);
    }
    if (size > kMaximumMapping) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    auto* const object = new (std::nothrow) MappingObject;
    if (object == nullptr || !TakeBuffer(size, object->buffer)) {
        delete object;
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    object->size = size;
    if (const DWORD error = ReadWhole(file->fd.get(), object->buffer.data, size); error != ERROR_SUCCESS) {
        delete object;
        return error;
    }
    mapping = object;
    return ERROR_SUCCESS;
}

DWORD MapView(HANDLE handle, DWORD access, ULONGLONG offset, SIZE_T bytes, LPVOID& view)
{
    MappingObject* const mapping = MappingOf(handle);
    if (mapping == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if ((access & FILE_MAP_WRITE) != 0) {
        return ERROR_ACCESS_DENIED; // a read-only mapping
    }
    if (access != FILE_MAP_READ || offset != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    if (bytes > mapping->size) {
        return ERROR_ACCESS_DENIED; // more than the mapping holds, as Windows reports it
    }
    mapping->references.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard<std::mutex> lock(g_viewsLock);
    if (mapping->views++ == 0) {
        mapping->previous = nullptr;
        mapping->next = g_viewed;
        if (g_viewed != nullptr) {
            g_viewed->previous = mapping;
        }
        g_viewed = mapping;
    }
    view = mapping->buffer.data;
    return ERROR_SUCCESS;
}

// The mapping whose view starts at `address`, with one view taken off; null when none does.
MappingObject* EndView(LPCVOID address)
{
    std::lock_guard<std::mutex> lock(g_viewsLock);
    MappingObject* mapping = g_viewed;
    while (mapping != nullptr && mapping->buffer.data != address) {
        mapping = mapping->next;
    }
    if (mapping != nullptr && --mapping->views == 0) {
        (mapping->previous != nullptr ? mapping->previous->next : g_viewed) = mapping->next;
        if (mapping->next != nullptr) {
            mapping->next->previous = mapping->previous;
        }
    }
    return mapping;
}
} // namespace

BOOL platform::CloseMappingObject(HANDLE handle)
{
    static_cast<MappingObject*>(handle)->Release();
    return TRUE;
}

HANDLE WINAPI CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                                 DWORD maximumSizeLow, LPCWSTR name)
{
    MappingObject* mapping = nullptr;
    const ULONGLONG size = (static_cast<ULONGLONG>(maximumSizeHigh) << 32) | maximumSizeLow;
    const DWORD error = CreateMapping(file, protect, size, name, mapping);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    return mapping;
}

LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes)
{
    LPVOID view = nullptr;
    const ULONGLONG offset = (static_cast<ULONGLONG>(offsetHigh) << 32) | offsetLow;
    const DWORD error = MapView(mapping, desiredAccess, offset, bytes, view);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    return view;
}

BOOL WINAPI UnmapViewOfFile(LPCVOID address)
{
    MappingObject* const mapping = address != nullptr ? EndView(address) : nullptr;
    if (mapping == nullptr) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    mapping->Release();
    return TRUE;
}
