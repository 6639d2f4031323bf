// Clocks of the POSIX layer: the FILETIME epoch, the performance counter and Sleep.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <pthread.h>
#include <thread>

namespace {

ULONGLONG NowAsFileTime()
{
    FILETIME time {};
    GetSystemTimeAsFileTime(&time);
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

LONGLONG Counter()
{
    LARGE_INTEGER count {};
    EXPECT_TRUE(QueryPerformanceCounter(&count));
    return count.QuadPart;
}

TEST(Clock, FileTimeCountsFrom1601)
{
    using namespace std::chrono;
    // 1601-01-01 lies 11,644,473,600 seconds before 1970-01-01.
    const auto since1970 = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    const auto expected = static_cast<ULONGLONG>(since1970) * 10 + 116444736000000000ull;
    const ULONGLONG actual = NowAsFileTime();
    const ULONGLONG tolerance = 2 * 10000000ull; // two seconds
    EXPECT_LT(actual > expected ? actual - expected : expected - actual, tolerance);
}

TEST(Clock, PerformanceCounterIsMonotonicInNanoseconds)
{
    LARGE_INTEGER frequency {};
    EXPECT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(1000000000, frequency.QuadPart);

    LONGLONG previous = Counter();
    for (int i = 0; i < 100000; ++i) {
        const LONGLONG next = Counter();
        ASSERT_GE(next, previous);
        previous = next;
    }
}

TEST(Clock, SleepWaitsTheWholeTimeEvenWhenSignalled)
{
    struct sigaction action {};
    action.sa_handler = [](int) {};
    struct sigaction previous {};
    sigaction(SIGUSR1, &action, &previous);

    const pthread_t sleeper = pthread_self();
    std::thread signaller([sleeper] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        pthread_kill(sleeper, SIGUSR1);
    });
    const LONGLONG start = Counter();
    Sleep(150);
    const LONGLONG elapsed = Counter() - start;
    signaller.join();
    sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_GE(elapsed, 150 * 1000000LL);

    const LONGLONG yieldStart = Counter();
    Sleep(0);
    EXPECT_LT(Counter() - yieldStart, 1000000000LL);
}

} // namespace
