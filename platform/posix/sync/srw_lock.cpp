// Provides the exclusive and shared acquire and release of slim reader-writer locks over one
// atomic word per lock, with futex(2) sleeps on its low half.
#include "platform/posix/sync/srw_lock.h"

#include "platform/posix/sync/futex.h"
#include "platform/posix/sync/pointer_word.h"

#include <atomic>
#include <cstdint>

// The word holds the writer bit, the sleeper bit and, above them, the number of shared holders;
// all of it lies in the low 32 bits that the futex calls compare (x86-64 is little-endian). A
// thread that finds the lock taken sets the sleeper bit and sleeps on the word's value; a release
// that finds the bit set clears it and wakes every sleeper, and those that lose the race set it
// again before they sleep. A release with nobody asleep is one atomic operation and no system
// call, and a waiting thread never spins. The lock has no fairness guarantee, which suits the
// short critical sections it guards.
namespace {
constexpr std::uintptr_t kWriter = 1;
constexpr std::uintptr_t kSleepers = 2;
constexpr std::uintptr_t kReader = 4;

using platform::Bits;
using platform::Word;

// With the lock seen taken as `seen`: sets the sleeper bit (unless the word has changed) and
// sleeps until the word changes.
void SleepWhileTaken(std::atomic_ref<void*> word, void* seen, void* const* address)
{
    if ((Bits(seen) & kSleepers) == 0) {
        if (!word.compare_exchange_strong(seen, Word(Bits(seen) | kSleepers), std::memory_order_relaxed)) {
            return;
        }
        seen = Word(Bits(seen) | kSleepers);
    }
    platform::FutexWait(address, static_cast<unsigned>(Bits(seen)));
}
} // namespace

void WINAPI AcquireSRWLockExclusive(PSRWLOCK lock)
{
    std::atomic_ref<void*> word(lock->Ptr);
    for (;;) {
        void* seen = word.load(std::memory_order_relaxed);
        if ((Bits(seen) & ~kSleepers) != 0) {
            SleepWhileTaken(word, seen, &lock->Ptr);
        } else if (word.compare_exchange_weak(seen, Word(Bits(seen) | kWriter), std::memory_order_acquire)) {
            return;
        }
    }
}

void WINAPI ReleaseSRWLockExclusive(PSRWLOCK lock)
{
    std::atomic_ref<void*> word(lock->Ptr);
    if ((Bits(word.exchange(nullptr, std::memory_order_release)) & kSleepers) != 0) {
        platform::FutexWake(&lock->Ptr, true);
    }
}

void WINAPI AcquireSRWLockShared(PSRWLOCK lock)
{
    std::atomic_ref<void*> word(lock->Ptr);
    for (;;) {
        void* seen = word.load(std::memory_order_relaxed);
        if ((Bits(seen) & kWriter) != 0) {
            SleepWhileTaken(word, seen, &lock->Ptr);
        } else if (word.compare_exchange_weak(seen, Word(Bits(seen) + kReader), std::memory_order_acquire)) {
            return;
        }
    }
}

void WINAPI ReleaseSRWLockShared(PSRWLOCK lock)
{
    std::atomic_ref<void*> word(lock->Ptr);
    void* seen = word.load(std::memory_order_relaxed);
    std::uintptr_t left;
    do {
        left = Bits(seen) - kReader;
        if (left == kSleepers) {
            left = 0; // the last holder leaves: the sleepers are woken below
        }
    } while (!word.compare_exchange_weak(seen, Word(left), std::memory_order_release));
    if (Bits(seen) - kReader == kSleepers) {
        platform::FutexWake(&lock->Ptr, true);
    }
}
