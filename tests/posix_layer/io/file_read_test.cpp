// Synchronous ReadFile of the POSIX layer: a file read to its end in blocks, the handles and
// arguments it refuses, and a FIFO, whose reads block until data or the end comes.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>
#include <vector>

#include "posix_layer/file_content.h"
#include "support/test_support.h"

namespace {
namespace fs = std::filesystem;
using testing_support::OpenForReading;
using testing_support::PatternMismatch;

TEST(ReadFile, ReadsToTheEndInBlocksThenGivesZero)
{
    testing_support::TempDir dir;
    const fs::path path = dir.path() / "file";
    constexpr DWORD kBlock = 1 << 20;
    constexpr ULONGLONG kSize = 4ULL * kBlock + 1;
    testing_support::WritePattern(path, 0, kSize);
    const HANDLE file = OpenForReading(path);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    std::vector<char> buffer(kBlock);
    std::vector<DWORD> counts;
    ULONGLONG total = 0;
    for (int i = 0; i < 8; ++i) {
        DWORD read = 12345;
        ASSERT_TRUE(ReadFile(file, buffer.data(), kBlock, &read, nullptr)) << GetLastError();
        counts.push_back(read);
        EXPECT_EQ(-1, PatternMismatch(buffer.data(), total, read));
        total += read;
        if (read == 0) {
            break;
        }
    }
    EXPECT_EQ((std::vector<DWORD> {kBlock, kBlock, kBlock, kBlock, 1, 0}), counts);
    // At the end it stays at the end.
    DWORD read = 1;
    EXPECT_TRUE(ReadFile(file, buffer.data(), kBlock, &read, nullptr));
    EXPECT_EQ(0u, read);
    EXPECT_TRUE(CloseHandle(file));
}

TEST(ReadFile, RefusedHandlesAndArguments)
{
    testing_support::TempDir dir;
    const fs::path path = dir.File("file", 10);
    char buffer[16];
    DWORD read = 99;
    const HANDLE query = OpenForReading(path, 0, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, query);
    EXPECT_FALSE(ReadFile(query, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ(0u, read);
    CloseHandle(query);

    const HANDLE folder = OpenForReading(dir.path(), FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_NE(INVALID_HANDLE_VALUE, folder);
    EXPECT_FALSE(ReadFile(folder, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    CloseHandle(folder);

    const HANDLE file = OpenForReading(path);
    OVERLAPPED overlapped {};
    const struct {
        LPVOID buffer;
        LPDWORD read;
        LPOVERLAPPED overlapped;
        DWORD error;
    } rows[] = {
        {buffer, nullptr, nullptr, ERROR_INVALID_PARAMETER},   // the count is required
        {buffer, &read, &overlapped, ERROR_INVALID_PARAMETER}, // not opened for overlapped reads
        {nullptr, &read, nullptr, ERROR_NOACCESS},
    };
    for (const auto& row : rows) {
        EXPECT_FALSE(ReadFile(file, row.buffer, sizeof buffer, row.read, row.overlapped)) << &row - rows;
        EXPECT_EQ(row.error, GetLastError()) << &row - rows;
    }
    EXPECT_TRUE(ReadFile(file, nullptr, 0, &read, nullptr)); // nothing asked, nothing to write
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(10u, read);
    CloseHandle(file);
    EXPECT_FALSE(ReadFile(nullptr, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST(ReadFile, FifoReadsBlockUntilDataThenEnd)
{
    testing_support::TempDir dir;
    const fs::path fifo = dir.path() / "fifo";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    const HANDLE file = OpenForReading(fifo); // opens at once, with no writer yet
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    // The writer comes, writes, waits and goes; each read waits for what comes next.
    const int writer = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    std::thread([writer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(5, write(writer, "hello", 5));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        close(writer);
    }).detach();
    char buffer[64];
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ("hello", std::string(buffer, read));
    // Then the end, once the writer has gone.
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(0u, read);
    CloseHandle(file);
}

} // namespace
