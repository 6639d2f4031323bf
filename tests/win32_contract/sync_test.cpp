// One-time initialization and slim reader-writer locks, as the telemetry registration and the
// activity state use them, under threads that race for them.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 8;

TEST(InitOnce, OneThreadInitializesAndEveryOtherWaitsForItsContext)
{
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    static int target = 0;
    std::atomic<int> initializers{0};
    std::atomic<int> sawContext{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            BOOL pending = FALSE;
            void* context = nullptr;
            ASSERT_TRUE(InitOnceBeginInitialize(&once, 0, &pending, &context));
            if (pending) {
                ++initializers;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                ASSERT_TRUE(InitOnceComplete(&once, 0, &target));
                context = &target;
            }
            if (context == &target) {
                ++sawContext;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(initializers.load(), 1);
    EXPECT_EQ(sawContext.load(), kThreads);

    BOOL pending = TRUE;
    EXPECT_TRUE(InitOnceBeginInitialize(&once, 0, &pending, nullptr));
    EXPECT_FALSE(pending);
    EXPECT_FALSE(InitOnceComplete(&once, 0, nullptr)); // nothing in progress any more
}

TEST(SrwLock, ExclusiveHoldersExcludeEveryOtherHolder)
{
    SRWLOCK lock = SRWLOCK_INIT;
    volatile long counter = 0; // not atomic: the lock alone protects it; volatile keeps both stores
    std::atomic<bool> sharedSawWriter{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            for (int n = 0; n < 20000; ++n) {
                if (i % 2 == 0) {
                    AcquireSRWLockShared(&lock);
                    sharedSawWriter = sharedSawWriter || counter < 0;
                    ReleaseSRWLockShared(&lock);
                    continue;
                }
                AcquireSRWLockExclusive(&lock);
                counter = -counter - 1; // negative only while a writer holds the lock
                counter = -counter;
                ReleaseSRWLockExclusive(&lock);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, kThreads / 2 * 20000L);
    EXPECT_FALSE(sharedSawWriter.load());
}

} // namespace
