// Provides InitOnceBeginInitialize and InitOnceComplete over one atomic word per record, with
// futex(2) sleeps on its low half: a caller that arrives during the initialization sleeps in the
// kernel until InitOnceComplete wakes it, and a completion that nobody waits for makes no
// system call.
#include "platform/posix/sync/init_once.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/sync/futex.h"
#include "platform/posix/sync/pointer_word.h"

#include <atomic>
#include <cstdint>

namespace {
// The low two bits of the record: not begun (0), in progress (1), completed (2).
constexpr std::uintptr_t kStateMask = (std::uintptr_t{1} << INIT_ONCE_CTX_RESERVED_BITS) - 1;
constexpr std::uintptr_t kInProgress = 1;
constexpr std::uintptr_t kCompleted = 2;
// Only while in progress, where the record holds no context yet: a caller sleeps on it.
constexpr std::uintptr_t kSleepers = 4;

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
            if ((Bits(seen) & kSleepers) != 0 ||
                word.compare_exchange_weak(seen, Word(kInProgress | kSleepers), std::memory_order_relaxed)) {
                // The low half of the word, which the completion changes (x86-64 is little-endian).
                platform::FutexWait(&initOnce->Ptr, static_cast<unsigned>(kInProgress | kSleepers));
            }
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
    void* seen = word.load(std::memory_order_relaxed);
    do {
        if ((Bits(seen) & kStateMask) != kInProgress) {
            SetLastError(ERROR_GEN_FAILURE);
            return FALSE;
        }
    } while (!word.compare_exchange_weak(seen, Word(Bits(context) | kCompleted), std::memory_order_release));
    if ((Bits(seen) & kSleepers) != 0) {
        platform::FutexWake(&initOnce->Ptr, true);
    }
    return TRUE;
}
