// Committed and reserved regions: zeroed, page-aligned and writable memory that goes back to the
// system on release, reserved pages that fault, and the refused arguments.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// True when no page of the range is mapped any more (mincore fails with ENOMEM for those).
bool Unmapped(void* address, size_t size)
{
    std::vector<unsigned char> pages(size / 4096 + 1);
    return mincore(address, size, pages.data()) != 0 && errno == ENOMEM;
}

TEST(VirtualMemory, CommittedRegionsAreZeroedAlignedAndReturned)
{
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    for (const SIZE_T size : {SIZE_T{1}, SIZE_T{4097}, SIZE_T{1} << 20, SIZE_T{2} << 20, SIZE_T{32} << 20}) {
        SCOPED_TRACE(size);
        for (const DWORD type : {MEM_COMMIT, MEM_COMMIT | MEM_RESERVE}) {
            auto* bytes = static_cast<unsigned char*>(VirtualAlloc(nullptr, size, type, PAGE_READWRITE));
            ASSERT_NE(nullptr, bytes);
            EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(bytes) % page);
            const size_t whole = (size + page - 1) / page * page; // the rounded size is usable
            EXPECT_TRUE(std::all_of(bytes, bytes + whole, [](unsigned char b) { return b == 0; }));
            std::memset(bytes, 0xA5, whole);
            EXPECT_TRUE(VirtualFree(bytes, 0, MEM_RELEASE));
            EXPECT_TRUE(Unmapped(bytes, whole));
        }
    }
}

TEST(VirtualMemoryDeathTest, ReservedPagesFaultOnAccess)
{
    auto* reserved = static_cast<volatile char*>(VirtualAlloc(nullptr, 1 << 16, MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(nullptr, reserved);
    EXPECT_DEATH(reserved[100] = 1, "");
    EXPECT_TRUE(VirtualFree(const_cast<char*>(reserved), 0, MEM_RELEASE));
}

TEST(VirtualMemory, RefusedArguments)
{
    int local = 0;
    const struct {
        LPVOID address;
        SIZE_T size;
        DWORD type;
        DWORD protection;
        DWORD code;
    } allocations[] = {
        {nullptr, 0, MEM_COMMIT, PAGE_READWRITE, ERROR_INVALID_PARAMETER},
        {&local, 4096, MEM_COMMIT, PAGE_READWRITE, ERROR_INVALID_PARAMETER},
        {nullptr, 4096, 0, PAGE_READWRITE, ERROR_INVALID_PARAMETER},
        {nullptr, 4096, MEM_RELEASE, PAGE_READWRITE, ERROR_INVALID_PARAMETER},
        {nullptr, 4096, MEM_COMMIT, PAGE_READONLY, ERROR_INVALID_PARAMETER},
        {nullptr, ~SIZE_T{0}, MEM_COMMIT, PAGE_READWRITE, ERROR_NOT_ENOUGH_MEMORY},
        {nullptr, SIZE_T{1} << 62, MEM_COMMIT, PAGE_READWRITE, ERROR_NOT_ENOUGH_MEMORY},
    };
    for (const auto& a : allocations) {
        SetLastError(0);
        EXPECT_EQ(nullptr, VirtualAlloc(a.address, a.size, a.type, a.protection)) << a.size << " " << a.type;
        EXPECT_EQ(a.code, GetLastError()) << a.size << " " << a.type;
    }

    auto* region = static_cast<char*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(nullptr, region);
    const struct {
        LPVOID address;
        SIZE_T size;
        DWORD type;
        DWORD code;
    } releases[] = {
        {nullptr, 0, MEM_RELEASE, ERROR_INVALID_PARAMETER},
        {region, 8192, MEM_RELEASE, ERROR_INVALID_PARAMETER},
        {region, 0, 0x4000 /* decommit */, ERROR_INVALID_PARAMETER},
        {region + 4096, 0, MEM_RELEASE, ERROR_INVALID_ADDRESS},
        {&local, 0, MEM_RELEASE, ERROR_INVALID_ADDRESS},
    };
    for (const auto& r : releases) {
        EXPECT_FALSE(VirtualFree(r.address, r.size, r.type));
        EXPECT_EQ(r.code, GetLastError());
    }
    std::memset(region, 1, 8192); // every refusal left the region alone
    EXPECT_TRUE(VirtualFree(region, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(region, 0, MEM_RELEASE));
    EXPECT_EQ(ERROR_INVALID_ADDRESS, GetLastError());
}

TEST(VirtualMemory, ThreadsAllocateAndReleaseAtOnce)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                auto* bytes = static_cast<unsigned char*>(VirtualAlloc(nullptr, 4096 * (1 + i % 5), MEM_COMMIT, PAGE_READWRITE));
                ASSERT_NE(nullptr, bytes);
                EXPECT_EQ(0, bytes[4095]);
                bytes[0] = static_cast<unsigned char>(t);
                EXPECT_TRUE(VirtualFree(bytes, 0, MEM_RELEASE));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
}

} // namespace
