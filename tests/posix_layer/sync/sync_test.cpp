// Semaphores, events, waits, handle closing, critical sections, the processor count and the
// interlocked operations: the Win32 results callers rely on, also under contention.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <pthread.h>
#include <thread>
#include <vector>
#include <sched.h>

namespace {

struct SemaphoreArguments {
    LONG initial;
    LONG maximum;
    bool created;
};

TEST(Semaphore, CreationChecksCounts)
{
    const SemaphoreArguments cases[] = {
        {0, 1, true}, {1, 1, true}, {1023, 1024, true}, {-1, 1, false}, {0, 0, false}, {2, 1, false}, {0, -5, false},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        HANDLE semaphore = CreateSemaphoreW(nullptr, c.initial, c.maximum, nullptr);
        EXPECT_EQ(semaphore != nullptr, c.created) << c.initial << "/" << c.maximum;
        if (semaphore != nullptr) {
            EXPECT_TRUE(CloseHandle(semaphore));
        } else {
            EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        }
    }
    EXPECT_EQ(CreateSemaphoreW(nullptr, 0, 1, L"named"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Semaphore, CountsTakesAndReleases)
{
    HANDLE semaphore = CreateSemaphoreW(nullptr, 2, 3, nullptr);
    ASSERT_NE(semaphore, nullptr);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(semaphore, 20), WAIT_TIMEOUT);

    LONG previous = -1;
    EXPECT_TRUE(ReleaseSemaphore(semaphore, 3, &previous));
    EXPECT_EQ(previous, 0);
    // Past the maximum: refused, and the count stays where it was.
    EXPECT_FALSE(ReleaseSemaphore(semaphore, 1, &previous));
    EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);
    EXPECT_FALSE(ReleaseSemaphore(semaphore, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    int taken = 0;
    while (WaitForSingleObject(semaphore, 0) == WAIT_OBJECT_0) {
        ++taken;
    }
    EXPECT_EQ(taken, 3);
    EXPECT_TRUE(CloseHandle(semaphore));
}

TEST(Event, ManualResetReleasesEveryWait)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    std::vector<std::thread> waiters;
    std::atomic<int> released{0};
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) {
                ++released;
            }
        });
    }
    EXPECT_TRUE(SetEvent(event));
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released.load(), 4);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Event, AutoResetSatisfiesOneWait)
{
    HANDLE event = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(event));
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Handles, WrongHandlesAreRefused)
{
    HANDLE semaphore = CreateSemaphoreW(nullptr, 1, 1, nullptr);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        SetLastError(0);
        EXPECT_EQ(WaitForSingleObject(bad, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(CloseHandle(bad));
        EXPECT_FALSE(SetEvent(bad));
        EXPECT_FALSE(ReleaseSemaphore(bad, 1, nullptr));
    }
    SetLastError(0);
    EXPECT_FALSE(SetEvent(semaphore));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ReleaseSemaphore(event, 1, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CloseHandle(semaphore));
    EXPECT_TRUE(CloseHandle(event));
}

// The pattern of a parallel search: the waiter closes the event as soon as its wait returns,
// while the signaling thread may still be inside SetEvent.
TEST(Handles, CloseRightAfterTheWaitReturns)
{
    for (int round = 0; round < 500; ++round) {
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(event, nullptr);
        std::thread signaler([event] { SetEvent(event); });
        EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
        EXPECT_TRUE(CloseHandle(event));
        signaler.join();
    }
}

TEST(Semaphore, WaitersWakeForEveryRelease)
{
    HANDLE semaphore = CreateSemaphoreW(nullptr, 0, 100, nullptr);
    ASSERT_NE(semaphore, nullptr);
    constexpr int kThreads = 8;
    constexpr int kRounds = 200;
    std::atomic<int> taken{0};
    std::vector<std::thread> takers;
    for (int i = 0; i < kThreads; ++i) {
        takers.emplace_back([&] {
            for (int r = 0; r < kRounds; ++r) {
                if (WaitForSingleObject(semaphore, INFINITE) == WAIT_OBJECT_0) {
                    ++taken;
                }
            }
        });
    }
    for (int released = 0; released < kThreads * kRounds;) {
        if (ReleaseSemaphore(semaphore, 1, nullptr)) {
            ++released;
        } else {
            std::this_thread::yield(); // full: the takers are behind
        }
    }
    for (auto& taker : takers) {
        taker.join();
    }
    EXPECT_EQ(taken.load(), kThreads * kRounds);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(semaphore));
}

TEST(Interlocked, ResultsAndContention)
{
    LONG value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 0), 5); // no match: unchanged
    EXPECT_EQ(value, 5);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 5), 5);
    EXPECT_EQ(value, 1);
    LONG64 big = 0x100000000LL;
    EXPECT_EQ(InterlockedExchangeAdd64(&big, 0x200000000LL), 0x100000000LL);
    EXPECT_EQ(big, 0x300000000LL);

    LONG counter = 0;
    LONG64 total = 0;
    LONG firstWinner = 0;
    std::vector<std::thread> threads;
    for (LONG id = 1; id <= 8; ++id) {
        threads.emplace_back([&, id] {
            InterlockedCompareExchange(&firstWinner, id, 0);
            for (int i = 0; i < 20000; ++i) {
                InterlockedIncrement(&counter);
                InterlockedExchangeAdd64(&total, 3);
                InterlockedDecrement(&counter);
                InterlockedIncrement(&counter);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, 8 * 20000);
    EXPECT_EQ(total, 8LL * 20000 * 3);
    EXPECT_GE(firstWinner, 1);
    EXPECT_LE(firstWinner, 8);
}

TEST(CriticalSection, ExcludesOtherThreadsAndReenters)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    long plain = 0; // guarded only by the section
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                EnterCriticalSection(&section);
                EnterCriticalSection(&section); // the owner may enter again
                ++plain;
                LeaveCriticalSection(&section);
                LeaveCriticalSection(&section);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(plain, 40000);
}

// The processor time a thread used, from its CPU clock.
std::chrono::nanoseconds CpuTimeOf(pthread_t thread)
{
    clockid_t clock;
    timespec used{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &used) != 0) {
        ADD_FAILURE() << "no CPU clock for the thread";
    }
    return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

// Runs `wait` on a thread that blocks in it until `release` runs 200 ms later, and returns the
// processor time the thread used meanwhile (a bound on work done while waiting, not on time).
std::chrono::nanoseconds CpuTimeWhileBlocked(const std::function<void()>& wait, const std::function<void()>& release)
{
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        wait();
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let it reach its wait
    const auto before = CpuTimeOf(waiter.native_handle());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto after = CpuTimeOf(waiter.native_handle());
    EXPECT_FALSE(returned.load()) << "the wait returned before its release";
    release();
    waiter.join();
    return after - before;
}

// A blocked thread sleeps in the kernel: no polling, spinning or yielding while it waits.
TEST(Waits, BlockedThreadsUseNoProcessorTime)
{
    constexpr auto kBound = std::chrono::milliseconds(20);
    HANDLE semaphore = CreateSemaphoreW(nullptr, 0, 1, nullptr);
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(semaphore, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_LT(CpuTimeWhileBlocked([&] { WaitForSingleObject(semaphore, INFINITE); },
                                  [&] { ReleaseSemaphore(semaphore, 1, nullptr); }), kBound);
    EXPECT_LT(CpuTimeWhileBlocked([&] { WaitForSingleObject(event, 5000); }, [&] { SetEvent(event); }), kBound);

    SRWLOCK lock = SRWLOCK_INIT;
    AcquireSRWLockExclusive(&lock);
    EXPECT_LT(CpuTimeWhileBlocked([&] { AcquireSRWLockShared(&lock); ReleaseSRWLockShared(&lock); },
                                  [&] { ReleaseSRWLockExclusive(&lock); }), kBound);
    AcquireSRWLockShared(&lock);
    EXPECT_LT(CpuTimeWhileBlocked([&] { AcquireSRWLockExclusive(&lock); ReleaseSRWLockExclusive(&lock); },
                                  [&] { ReleaseSRWLockShared(&lock); }), kBound);

    INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    BOOL pending = FALSE;
    ASSERT_TRUE(InitOnceBeginInitialize(&once, 0, &pending, nullptr));
    ASSERT_TRUE(pending);
    int context = 0;
    LPVOID published = nullptr;
    EXPECT_LT(CpuTimeWhileBlocked([&] { InitOnceBeginInitialize(&once, 0, &pending, &published); },
                                  [&] { InitOnceComplete(&once, 0, &context); }), kBound);
    EXPECT_FALSE(pending);
    EXPECT_EQ(published, &context);
    EXPECT_TRUE(CloseHandle(semaphore));
    EXPECT_TRUE(CloseHandle(event));
}

TEST(SystemInfo, ProcessorCountFollowsAffinity)
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    cpu_set_t allowed;
    ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    EXPECT_EQ(info.dwNumberOfProcessors, static_cast<DWORD>(CPU_COUNT(&allowed)));
    EXPECT_GE(info.dwNumberOfProcessors, 1u);
    EXPECT_GE(info.dwPageSize, 4096u);
    EXPECT_EQ(info.dwAllocationGranularity, 0x10000u);
}

} // namespace
