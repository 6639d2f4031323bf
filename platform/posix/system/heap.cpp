// Provides HeapCreate, HeapDestroy, HeapAlloc, HeapFree and GetProcessHeap over malloc/calloc/free,
// with each heap keeping the set of its blocks under its own mutex.
//
// A heap owns its blocks: HeapDestroy frees what its user left, and HeapFree refuses a pointer the
// heap did not hand out (instead of corrupting the allocator, as a foreign free would).
#include "platform/posix/system/heap.h"

#include "platform/posix/system/errors.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_set>

namespace {

class Heap {
public:
    explicit Heap(DWORD options) : zeroAll_((options & HEAP_ZERO_MEMORY) != 0) {}
    ~Heap()
    {
        for (void* block : blocks_) {
            std::free(block);
        }
    }
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    void* Allocate(DWORD flags, SIZE_T bytes)
    {
        // A zero-byte request still gets a distinct block, as on Win32. malloc's blocks are
        // 16-byte aligned on the 64-bit targets (alignof(max_align_t)).
        const size_t size = bytes == 0 ? 1 : bytes;
        void* block = zeroAll_ || (flags & HEAP_ZERO_MEMORY) != 0 ? std::calloc(1, size) : std::malloc(size);
        if (block == nullptr) {
            return nullptr;
        }
        try {
            const std::lock_guard lock(mutex_);
            blocks_.insert(block);
        } catch (const std::bad_alloc&) {
            std::free(block);
            return nullptr;
        }
        return block;
    }

    bool Free(void* block)
    {
        {
            const std::lock_guard lock(mutex_);
            if (blocks_.erase(block) == 0) {
                return false;
            }
        }
        std::free(block);
        return true;
    }

private:
    const bool zeroAll_;
    std::mutex mutex_;
    std::unordered_set<void*> blocks_;
};

// Created on first use, in static storage (so that making it allocates nothing and cannot fail),
// and never destroyed: blocks of the process heap stay valid until exit, even while static
// destructors run.
Heap& ProcessHeap()
{
    alignas(Heap) static unsigned char storage[sizeof(Heap)];
    static Heap* const heap = new (storage) Heap(0);
    return *heap;
}

} // namespace

HANDLE WINAPI HeapCreate(DWORD options, SIZE_T, SIZE_T)
{
    Heap* heap = new (std::nothrow) Heap(options);
    if (heap == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return heap;
}

BOOL WINAPI HeapDestroy(HANDLE heap)
{
    if (heap == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (heap == &ProcessHeap()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    delete static_cast<Heap*>(heap);
    return TRUE;
}

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes)
{
    return heap == nullptr ? nullptr : static_cast<Heap*>(heap)->Allocate(flags, bytes);
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD, LPVOID block)
{
    if (block == nullptr) {
        return TRUE;
    }
    if (heap == nullptr || !static_cast<Heap*>(heap)->Free(block)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

HANDLE WINAPI GetProcessHeap()
{
    return &ProcessHeap();
}
