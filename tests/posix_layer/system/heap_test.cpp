// Win32 heaps of the POSIX layer: zero-filling, alignment, block ownership, destruction with
// blocks left, and concurrent use.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

bool AllZero(const void* block, size_t bytes)
{
    const auto* p = static_cast<const unsigned char*>(block);
    return std::all_of(p, p + bytes, [](unsigned char b) { return b == 0; });
}

// Dirties and frees blocks of `bytes`, so that a following allocation likely reuses dirty memory.
void Dirty(HANDLE heap, size_t bytes)
{
    std::vector<void*> blocks;
    for (int i = 0; i < 8; ++i) {
        blocks.push_back(HeapAlloc(heap, 0, bytes));
        std::memset(blocks.back(), 0xAB, bytes);
    }
    for (void* block : blocks) {
        HeapFree(heap, 0, block);
    }
}

TEST(Heap, ZeroMemoryFromTheAllocationOrTheHeap)
{
    HANDLE plain = HeapCreate(0, 0, 0);
    HANDLE zeroing = HeapCreate(HEAP_ZERO_MEMORY, 0, 0);
    ASSERT_NE(nullptr, plain);
    ASSERT_NE(nullptr, zeroing);
    for (const size_t bytes : {size_t(16), size_t(200), size_t(4096), size_t(1) << 20}) {
        Dirty(plain, bytes);
        void* asked = HeapAlloc(plain, HEAP_ZERO_MEMORY, bytes);
        Dirty(zeroing, bytes);
        void* inherited = HeapAlloc(zeroing, 0, bytes);
        EXPECT_TRUE(AllZero(asked, bytes)) << bytes;
        EXPECT_TRUE(AllZero(inherited, bytes)) << bytes;
    }
    // Both heaps still hold a block of every size: destroying them frees those (the leak check of
    // the sanitizer build would report them otherwise).
    EXPECT_TRUE(HeapDestroy(plain));
    EXPECT_TRUE(HeapDestroy(zeroing));
}

TEST(Heap, BlocksAreAlignedAndOwned)
{
    HANDLE first = HeapCreate(0, 0, 0);
    HANDLE second = HeapCreate(0, 0, 0);
    for (const size_t bytes : {0, 1, 33}) {
        void* block = HeapAlloc(first, 0, bytes);
        EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(block) % 16) << bytes;
    }
    auto* block = static_cast<char*>(HeapAlloc(first, 0, 64));
    std::strcpy(block, "kept");

    EXPECT_TRUE(HeapFree(first, 0, nullptr));
    SetLastError(0);
    EXPECT_FALSE(HeapFree(second, 0, block));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_FALSE(HeapFree(GetProcessHeap(), 0, block));
    EXPECT_STREQ("kept", block); // a refused free leaves the block alone
    EXPECT_TRUE(HeapFree(first, 0, block));
    EXPECT_FALSE(HeapFree(first, 0, block)); // a second free is refused, not a double free
    EXPECT_TRUE(HeapDestroy(first));
    EXPECT_TRUE(HeapDestroy(second));

    EXPECT_FALSE(HeapDestroy(GetProcessHeap()));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_FALSE(HeapDestroy(nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST(Heap, ThreadsShareOneHeap)
{
    HANDLE heap = HeapCreate(0, 0, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([heap, t] {
            std::vector<unsigned char*> held;
            for (int i = 0; i < 5000; ++i) {
                auto* block = static_cast<unsigned char*>(HeapAlloc(heap, 0, 32));
                block[0] = static_cast<unsigned char>(t);
                held.push_back(block);
                if (i % 3 == 0) {
                    EXPECT_EQ(t, held.front()[0]);
                    EXPECT_TRUE(HeapFree(heap, 0, held.front()));
                    held.erase(held.begin());
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(HeapDestroy(heap));
}

} // namespace
