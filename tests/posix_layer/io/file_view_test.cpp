// Read-only file views of the POSIX layer: the bytes they show, files that grow or shrink before
// and after the mapping is made (never a crash: the documented bytes or an error), the lifetime
// of views against their mapping, the arguments refused, and many threads mapping at once.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "posix_layer/file_content.h"
#include "support/test_support.h"

namespace {
namespace fs = std::filesystem;
using testing_support::OpenForReading;
using testing_support::PatternMismatch;
using testing_support::WritePattern;

// The error CreateFileMappingW leaves for `size` bytes of `path`, or 0 with the view checked
// against the pattern and everything closed again.
DWORD MapError(const fs::path& path, DWORD size)
{
    const HANDLE file = OpenForReading(path);
    EXPECT_NE(INVALID_HANDLE_VALUE, file);
    const HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, size, nullptr);
    const DWORD error = mapping == nullptr ? GetLastError() : 0;
    if (mapping != nullptr) {
        const auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
        EXPECT_NE(nullptr, view);
        EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(view) % 4096);
        EXPECT_EQ(-1, PatternMismatch(view, 0, size == 0 ? fs::file_size(path) : size));
        EXPECT_TRUE(UnmapViewOfFile(view));
        EXPECT_TRUE(CloseHandle(mapping));
    }
    CloseHandle(file);
    return error;
}

TEST(FileView, SizesAgainstTheFile)
{
    testing_support::TempDir dir;
    const fs::path path = dir.path() / "file";
    WritePattern(path, 0, 100000);
    const fs::path empty = dir.File("empty");
    const struct {
        const fs::path* path;
        DWORD size;
        DWORD error;
    } rows[] = {
        {&path, 100000, 0},
        {&path, 0, 0},                            // the whole file
        {&path, 4096, 0},                         // the file is longer: the first bytes
        {&path, 100001, ERROR_NOT_ENOUGH_MEMORY}, // longer than the file
        {&empty, 0, ERROR_FILE_INVALID},
        {&empty, 1, ERROR_NOT_ENOUGH_MEMORY},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.error, MapError(*row.path, row.size)) << &row - rows;
    }
}

TEST(FileView, ViewsKeepTheirBytesWhateverHappensToTheFile)
{
    testing_support::TempDir dir;
    const fs::path path = dir.path() / "file";
    constexpr DWORD kSize = 3 * 65536 + 17;
    WritePattern(path, 0, kSize);
    const HANDLE file = OpenForReading(path);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    // The size the lookup saw; the file grows, then the mapping is made: the bytes of that size.
    WritePattern(path, kSize, 5000);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, kSize, nullptr);
    ASSERT_NE(nullptr, mapping);
    const auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(nullptr, view);
    // Shrunk to nothing and rewritten: a POSIX mapping would fault here; the view still reads.
    ASSERT_EQ(0, truncate(path.c_str(), 0));
    WritePattern(path, 1, 10);
    EXPECT_EQ(-1, PatternMismatch(view, 0, kSize));
    // A second view, the mapping's handle closed: each view lives until its own unmap.
    const auto* again = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kSize));
    EXPECT_EQ(view, again);
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_EQ(-1, PatternMismatch(again, 0, kSize));
    EXPECT_TRUE(UnmapViewOfFile(again));
    EXPECT_FALSE(UnmapViewOfFile(again));
    EXPECT_EQ(ERROR_INVALID_ADDRESS, GetLastError());
    // Now shorter than the size the lookup saw: the mapping fails, nothing crashes.
    EXPECT_EQ(nullptr, CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, kSize, nullptr));
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    EXPECT_TRUE(CloseHandle(file));
}

TEST(FileView, RefusedHandlesAndArguments)
{
    testing_support::TempDir dir;
    const fs::path path = dir.File("file", 5000);
    ASSERT_EQ(0, mkfifo((dir.path() / "fifo").c_str(), 0600));
    const HANDLE query = OpenForReading(path, 0, 0);
    const HANDLE folder = OpenForReading(dir.path(), FILE_FLAG_BACKUP_SEMANTICS);
    const HANDLE fifo = OpenForReading(dir.path() / "fifo");
    const HANDLE file = OpenForReading(path);
    const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const struct {
        HANDLE file;
        DWORD protect;
        LPCWSTR name;
        DWORD error;
    } rows[] = {
        {query, PAGE_READONLY, nullptr, ERROR_ACCESS_DENIED},
        {folder, PAGE_READONLY, nullptr, ERROR_ACCESS_DENIED},
        {fifo, PAGE_READONLY, nullptr, ERROR_INVALID_FUNCTION},
        {event, PAGE_READONLY, nullptr, ERROR_INVALID_HANDLE},
        {INVALID_HANDLE_VALUE, PAGE_READONLY, nullptr, ERROR_INVALID_HANDLE},
        {file, PAGE_READWRITE, nullptr, ERROR_INVALID_PARAMETER},
        {file, PAGE_READONLY, L"name", ERROR_INVALID_PARAMETER},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(nullptr, CreateFileMappingW(row.file, nullptr, row.protect, 0, 0, row.name)) << &row - rows;
        EXPECT_EQ(row.error, GetLastError()) << &row - rows;
    }

    const HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(nullptr, mapping);
    const struct {
        HANDLE mapping;
        DWORD access, offsetLow;
        SIZE_T bytes;
        DWORD error;
    } views[] = {
        {file, FILE_MAP_READ, 0, 0, ERROR_INVALID_HANDLE},
        {mapping, FILE_MAP_WRITE, 0, 0, ERROR_ACCESS_DENIED},
        {mapping, FILE_MAP_READ, 0, 5001, ERROR_ACCESS_DENIED},
        {mapping, FILE_MAP_READ, 65536, 0, ERROR_INVALID_PARAMETER},
        {mapping, FILE_MAP_COPY, 0, 0, ERROR_INVALID_PARAMETER},
    };
    for (const auto& row : views) {
        EXPECT_EQ(nullptr, MapViewOfFile(row.mapping, row.access, 0, row.offsetLow, row.bytes)) << &row - views;
        EXPECT_EQ(row.error, GetLastError()) << &row - views;
    }
    char local = 0;
    EXPECT_FALSE(UnmapViewOfFile(&local));
    EXPECT_EQ(ERROR_INVALID_ADDRESS, GetLastError());
    EXPECT_FALSE(UnmapViewOfFile(nullptr));
    for (const HANDLE handle : {mapping, file, fifo, folder, query, event}) {
        EXPECT_TRUE(CloseHandle(handle));
    }
}

TEST(FileView, ThreadsMapAtOnceAndUnmapEachOthersViews)
{
    testing_support::TempDir dir;
    std::vector<fs::path> files;
    for (int i = 0; i < 8; ++i) {
        files.push_back(dir.path() / ("f" + std::to_string(i)));
        WritePattern(files.back(), 0, 1000 + static_cast<size_t>(i) * 70000); // buffers of several sizes
    }
    std::atomic<int> failures {0};
    std::atomic<const void*> handedOver {nullptr};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round) {
                const fs::path& path = files[static_cast<size_t>(round + t) % files.size()];
                const auto size = static_cast<DWORD>(fs::file_size(path));
                const HANDLE file = OpenForReading(path);
                const HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, size, nullptr);
                const void* view = mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
                if (view == nullptr || PatternMismatch(static_cast<const char*>(view), 0, size) != -1) {
                    ++failures;
                }
                CloseHandle(mapping);
                CloseHandle(file);
                // Every other view is ended by whichever thread comes next.
                if (round % 2 == 0) {
                    view = handedOver.exchange(view);
                }
                if (view != nullptr && !UnmapViewOfFile(view)) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    if (const void* left = handedOver.load()) {
        EXPECT_TRUE(UnmapViewOfFile(left));
    }
    EXPECT_EQ(0, failures.load());
}

} // namespace
