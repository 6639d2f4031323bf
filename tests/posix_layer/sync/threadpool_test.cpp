// The layer's thread pool: every item runs once on a pool thread, a thread per processor runs
// at once, and items queued behind blocked items still start.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <new>
#include <stdexcept>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Waits (polling) until `done` reaches `expected` or the time runs out.
bool WaitForCount(const std::atomic<int>& done, int expected, std::chrono::seconds limit = std::chrono::seconds(20))
{
    const auto deadline = Clock::now() + limit;
    while (done.load() < expected) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct CountingContext {
    std::atomic<int> runs{0};
    std::atomic<int> onCaller{0};
    std::thread::id caller;
};

DWORD CountRun(LPVOID context)
{
    auto& counting = *static_cast<CountingContext*>(context);
    if (std::this_thread::get_id() == counting.caller) {
        ++counting.onCaller;
    }
    ++counting.runs;
    return 0;
}

TEST(ThreadPool, RunsEveryItemOnceOnPoolThreads)
{
    CountingContext counting;
    counting.caller = std::this_thread::get_id();
    constexpr int kItems = 20000;
    for (int i = 0; i < kItems; ++i) {
        ASSERT_TRUE(QueueUserWorkItem(&CountRun, &counting, WT_EXECUTEDEFAULT));
    }
    ASSERT_TRUE(WaitForCount(counting.runs, kItems));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(counting.runs.load(), kItems);
    EXPECT_EQ(counting.onCaller.load(), 0);
}

// An item that throws ends neither the process nor its pool thread's service.
DWORD Throw(LPVOID context)
{
    if (++*static_cast<std::atomic<int>*>(context) % 2 == 0) {
        throw std::bad_alloc();
    }
    throw std::runtime_error("item failure");
}

TEST(ThreadPool, AnItemThatThrowsEndsNothing)
{
    std::atomic<int> thrown{0};
    CountingContext counting;
    for (int i = 0; i < 64; ++i) {
        ASSERT_TRUE(QueueUserWorkItem(&Throw, &thrown, WT_EXECUTEDEFAULT));
    }
    ASSERT_TRUE(WaitForCount(thrown, 64));
    for (int i = 0; i < 64; ++i) {
        ASSERT_TRUE(QueueUserWorkItem(&CountRun, &counting, WT_EXECUTEDEFAULT));
    }
    EXPECT_TRUE(WaitForCount(counting.runs, 64));
}

// Idle pool threads sleep until an item comes: the process uses next to no processor time
// while the pool has nothing to do (a bound on work done while idle, not on time).
TEST(ThreadPool, IdleThreadsUseNoProcessorTime)
{
    CountingContext counting;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(QueueUserWorkItem(&CountRun, &counting, WT_EXECUTEDEFAULT));
    }
    ASSERT_TRUE(WaitForCount(counting.runs, 1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    timespec before{};
    timespec after{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
    const double usedMilliseconds = (after.tv_sec - before.tv_sec) * 1e3 + (after.tv_nsec - before.tv_nsec) / 1e6;
    EXPECT_LT(usedMilliseconds, 20.0);
}

TEST(ThreadPool, RefusesANullFunction)
{
    SetLastError(0);
    EXPECT_FALSE(QueueUserWorkItem(nullptr, nullptr, WT_EXECUTEDEFAULT));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// Items that block until `needed` items have started, then finish.
struct GateContext {
    HANDLE open = nullptr; // manual-reset event, set by the last item to start
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    int needed = 0;
};

DWORD WaitAtGate(LPVOID context)
{
    auto& gate = *static_cast<GateContext*>(context);
    if (gate.started.fetch_add(1) + 1 == gate.needed) {
        SetEvent(gate.open);
    }
    WaitForSingleObject(gate.open, INFINITE);
    ++gate.finished;
    return 0;
}

void RunGate(int items)
{
    GateContext gate;
    gate.open = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(gate.open, nullptr);
    gate.needed = items;
    for (int i = 0; i < items; ++i) {
        ASSERT_TRUE(QueueUserWorkItem(&WaitAtGate, &gate, WT_EXECUTEDEFAULT));
    }
    const bool allFinished = WaitForCount(gate.finished, items);
    if (!allFinished) {
        SetEvent(gate.open); // let the blocked items go before the context goes away
        WaitForCount(gate.finished, items, std::chrono::seconds(60));
    }
    EXPECT_TRUE(allFinished) << gate.started.load() << " of " << items << " started";
    EXPECT_TRUE(CloseHandle(gate.open));
}

TEST(ThreadPool, RunsOneItemPerProcessorAtOnce)
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const auto started = Clock::now();
    RunGate(static_cast<int>(info.dwNumberOfProcessors));
    // No waiting for the starvation monitor: a thread per processor starts with the items.
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
}

TEST(ThreadPool, ItemsBehindBlockedItemsStillStart)
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    // Every item blocks until the last one starts: only added threads can get there.
    RunGate(static_cast<int>(info.dwNumberOfProcessors) * 3 + 2);
}

} // namespace
