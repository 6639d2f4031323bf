// Provides InitOnceBeginInitialize and InitOnceComplete
// over one atomic word per record (C++20 atomic wait and notify, futex on Linux).
#include "platform/posix/init_once.h"

#include "platform/posix/errors.h"
#include "platform/posix/pointer_word.h"

#include <atomic>
#include <cstdint>

namespace {
// The low two bits of the record: not begun (0), in progress (1), completed (2).
constexpr std::uintptr_t kStateMask = (std::uintptr_t{1} << INIT_ONCE_CTX_RESERVED_BITS) - 1;
constexpr std::uintptr_t kInProgress = 1;
constexpr std::uintptr_t kCompleted = 2;

using platform::Bits;
using platform::Word;
} // namespace

BOOL WINAPI InitOnceBeginInitialize(LPINIT_ONCE initOnce, DWORD flags, BOOL* pending, LPVOID* context)
{
    if (initOnce == nullptr || pending == nullptr || flags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::atomic_ref<void*> word(initOnce->Ptr);
    for (;;) {
        void* seen = word.load(std::memory_order_acquire);
        const std::uintptr_t state = Bits(seen) & kStateMask;
        if (state == kCompleted) {
            *pending = FALSE;
            if (context != nullptr) {
                *context = Word(Bits(seen) & ~kStateMask);
            }
            return TRUE;
        }
        if (state == kInProgress) {
            word.wait(seen, std::memory_order_acquire);
            continue;
        }
        if (word.compare_exchange_weak(seen, Word(kInProgress), std::memory_order_acquire)) {
            *pending = TRUE;
            return TRUE;
        }
    }
}

BOOL WINAPI InitOnceComplete(LPINIT_ONCE initOnce, DWORD flags, LPVOID context)
{
    if (initOnce == nullptr || flags != 0 || (Bits(context) & kStateMask) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::atomic_ref<void*> word(initOnce->Ptr);
    void* expected = Word(kInProgress);
    if (!word.compare_exchange_strong(expected, Word(Bits(context) | kCompleted), std::memory_order_release)) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    word.notify_all();
    return TRUE;
}
