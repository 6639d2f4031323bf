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
}

TEST(InitOnce, CompletingWithoutABeginOrWithAMisalignedContextIsRefused)
{
    INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    EXPECT_FALSE(InitOnceComplete(&once, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    BOOL pending = FALSE;
    ASSERT_TRUE(InitOnceBeginInitialize(&once, 0, &pending, nullptr));
    ASSERT_TRUE(pending);
    char bytes[4];
    EXPECT_FALSE(InitOnceComplete(&once, 0, bytes + 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(InitOnceComplete(&once, 0, nullptr));
}

TEST(SrwLock, ExclusiveHoldersNeverOverlap)
{
    SRWLOCK lock = SRWLOCK_INIT;
    long counter = 0; // deliberately plain: the lock alone protects it
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            for (int n = 0; n < 20000; ++n) {
                AcquireSRWLockExclusive(&lock);
                ++counter;
                ReleaseSRWLockExclusive(&lock);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, kThreads * 20000L);
}

TEST(SrwLock, SharedHoldersOverlapAndAWriterWaitsForAllOfThem)
{
    SRWLOCK lock;
    InitializeSRWLock(&lock);
    std::atomic<int> inside{0};
    std::atomic<int> mostInside{0};
    std::atomic<bool> writerInside{false};
    std::atomic<bool> overlapWithWriter{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            AcquireSRWLockShared(&lock);
            const int now = ++inside;
            for (int seen = mostInside.load(); seen < now && !mostInside.compare_exchange_weak(seen, now);) {
            }
            overlapWithWriter = overlapWithWriter || writerInside;
            // Wait (bounded) until every reader is inside: shared holds must not exclude each other.
            for (int spin = 0; spin < 2000 && inside.load() < 4; ++spin) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            --inside;
            ReleaseSRWLockShared(&lock);
        });
    }
    threads.emplace_back([&] {
        for (int spin = 0; spin < 2000 && mostInside.load() < 4; ++spin) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        AcquireSRWLockExclusive(&lock);
        writerInside = true;
        overlapWithWriter = overlapWithWriter || inside.load() != 0;
        writerInside = false;
        ReleaseSRWLockExclusive(&lock);
    });
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mostInside.load(), 4);
    EXPECT_FALSE(overlapWithWriter.load());
}

} // namespace
