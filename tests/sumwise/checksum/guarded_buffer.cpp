// GuardedBuffer and LargeBuffer over mmap/mprotect/madvise, or VirtualAlloc/VirtualProtect in
// the Windows build.
#include "guarded_buffer.h"

#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace checksum_tests {
namespace {

size_t PageSize()
{
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
}

} // namespace

GuardedBuffer::GuardedBuffer(size_t capacity)
{
    const size_t page = PageSize();
    size_ = (capacity + page - 1) / page * page;
    mapped_ = size_ + 2 * page;
#ifdef _WIN32
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, mapped_, MEM_RESERVE | MEM_COMMIT,
                                               PAGE_READWRITE));
    if (base_ == nullptr) {
        throw std::bad_alloc();
    }
    DWORD old;
    if (!VirtualProtect(base_, page, PAGE_NOACCESS, &old) ||
        !VirtualProtect(base_ + page + size_, page, PAGE_NOACCESS, &old)) {
        VirtualFree(base_, 0, MEM_RELEASE);
        throw std::bad_alloc();
    }
#else
    void* mapping = mmap(nullptr, mapped_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        throw std::bad_alloc();
    }
    base_ = static_cast<uint8_t*>(mapping);
    if (mprotect(base_ + page, size_, PROT_READ | PROT_WRITE) != 0) {
        munmap(base_, mapped_);
        throw std::bad_alloc();
    }
#endif
    usable_ = base_ + page;
}

GuardedBuffer::~GuardedBuffer()
{
#ifdef _WIN32
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    munmap(base_, mapped_);
#endif
}

LargeBuffer::LargeBuffer(size_t size) : size_(size)
{
#ifdef _WIN32
    data_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, size_, MEM_RESERVE | MEM_COMMIT,
                                               PAGE_READWRITE));
#else
    void* mapping = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping != MAP_FAILED) {
        madvise(mapping, size_, MADV_HUGEPAGE);  // a hint: without it, only slower
        data_ = static_cast<uint8_t*>(mapping);
    }
#endif
}

LargeBuffer::~LargeBuffer()
{
    if (data_ == nullptr) {
        return;
    }
#ifdef _WIN32
    VirtualFree(data_, 0, MEM_RELEASE);
#else
    munmap(data_, size_);
#endif
}

} // namespace checksum_tests
