// Provides InitializeSRWLock and the exclusive and shared acquire and release of slim
// reader-writer locks over one atomic word per lock (C++20 atomic wait and notify, futex on Linux).
#include "platform/posix/srw_lock.h"

#include "platform/posix/pointer_word.h"

#include <atomic>
#include <cstdint>

// The word holds the writer bit and, above it, the number of shared holders. Waiters sleep on
// the word's value and are woken whenever the lock becomes free; the lock has no fairness
// guarantee, which suits the short critical sections it guards.
namespace {
constexpr std::uintptr_t kWriter = 1;
constexpr std::uintptr_t kReader = 2;

using platform::Bits;
using platform::Word;
} // namespace

void WINAPI InitializeSRWLock(PSRWLOCK lock)
{
    lock->Ptr = nullptr;
}

void WINAPI AcquireSRWLockExclusive(PSRWLOCK lock)
{
    std::atomic_ref<void*> word(lock->Ptr);
    for (;;) {
        void* seen = word.load(std::memory_order_relaxed);
        if (seen != nullptr) {
            word.wait(seen, std::memory_order_relaxed);
        } else if (word.compare_exchange_weak(seen, Word(kWriter), std::memory_order_acquire)) {
            return;
        }
    }
}

void WINAPI ReleaseSRWLockExclusive(PSRWLOCK lock)
{
    std::atomic_ref<void*> word(lock->Ptr);
    word.store(nullptr, std::memory_order_release);
    word.notify_all();
}

void WINAPI AcquireSRWLockShared(PSRWLOCK lock)
{
    std::atomic_ref<void*> word(lock->Ptr);
    for (;;) {
        void* seen = word.load(std::memory_order_relaxed);
        if ((Bits(seen) & kWriter) != 0) {
            word.wait(seen, std::memory_order_relaxed);
        } else if (word.compare_exchange_weak(seen, Word(Bits(seen) + kReader), std::memory_order_acquire)) {
            return;
        }
    }
}

void WINAPI ReleaseSRWLockShared(PSRWLOCK lock)
{
    std::atomic_ref<void*> word(lock->Ptr);
    void* seen = word.load(std::memory_order_relaxed);
    while (!word.compare_exchange_weak(seen, Word(Bits(seen) - kReader), std::memory_order_release)) {
    }
    if (Bits(seen) == kReader) {
        word.notify_all();
    }
}
