// Overlapped reads of the POSIX layer, each case on both engines (io_uring, where the ring can be
// set up here, and the reader threads): reads in flight round-robin as the hashing tool issues
// them, 64-bit offsets in a sparse file above 4 GiB, the end of the file, cancellation, closing a
// handle with reads in flight, and many threads at once.
#include "platform/platform.h"
#include "platform/posix/io/read_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "posix_layer/file_content.h"
#include "support/test_support.h"

namespace {
namespace fs = std::filesystem;
using testing_support::OpenForReading;
using testing_support::PatternMismatch;
using testing_support::WritePattern;

constexpr DWORD kBlock = 1 << 20;

enum class Engine { Ring, Threads };

class OverlappedRead : public testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == Engine::Threads) {
            platform::ForceThreadReads(true);
            return;
        }
        platform::ForceThreadReads(false);
        if (platform::UringReadEngine() == nullptr) {
            GTEST_SKIP() << "io_uring cannot be set up here (refused or disabled)";
        }
        if (&platform::CurrentReadEngine() != platform::UringReadEngine()) {
            GTEST_SKIP() << "ORVO_OVERLAPPED_READS chose the reader threads for this process";
        }
    }
    void TearDown() override { platform::ForceThreadReads(false); }

    HANDLE Open(const fs::path& path) { return OpenForReading(path, FILE_FLAG_OVERLAPPED | FILE_FLAG_SEQUENTIAL_SCAN); }
    // A new file of `size` bytes of the pattern, on the disk's file system (where buffered
    // io_uring reads of cached data are done inline unless they are made asynchronous).
    fs::path PatternFile(ULONGLONG size)
    {
        const fs::path path = dir_.path() / "file";
        WritePattern(path, 0, size);
        return path;
    }

    testing_support::TempDir dir_;
};

// A slot as the hashing tool keeps it: a record with its own auto-reset event and a buffer.
struct Slot {
    OVERLAPPED overlapped {};
    std::vector<char> buffer = std::vector<char>(kBlock);
    Slot() { overlapped.hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr); }
    ~Slot() { CloseHandle(overlapped.hEvent); }
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;

    // Starts a read of the block at `offset`; the error ReadFile left (997 when in flight).
    DWORD Start(HANDLE file, ULONGLONG offset, DWORD length = kBlock)
    {
        overlapped.Offset = static_cast<DWORD>(offset);
        overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
        EXPECT_FALSE(ReadFile(file, buffer.data(), length, nullptr, &overlapped));
        return GetLastError();
    }
    ULONGLONG Offset() const { return (static_cast<ULONGLONG>(overlapped.OffsetHigh) << 32) | overlapped.Offset; }
};

struct Result {
    BOOL ok;
    DWORD bytes;
    DWORD error;
};

Result Wait(HANDLE file, Slot& slot)
{
    Result result {};
    result.ok = GetOverlappedResult(file, &slot.overlapped, &result.bytes, TRUE);
    result.error = result.ok ? 0 : GetLastError();
    return result;
}

// Reads the whole file with `slots` reads in flight, round-robin, re-issuing each slot as soon
// as it has been checked; true when every byte came in order and the file's size was read.
::testing::AssertionResult ReadRoundRobin(HANDLE file, ULONGLONG size, size_t slotCount)
{
    std::vector<std::unique_ptr<Slot>> slots;
    ULONGLONG next = 0;
    size_t inFlight = 0;
    for (size_t i = 0; i < slotCount && next < size; ++i, next += kBlock, ++inFlight) {
        slots.push_back(std::make_unique<Slot>());
        if (slots.back()->Start(file, next) != ERROR_IO_PENDING) {
            return ::testing::AssertionFailure() << "start failed: " << GetLastError();
        }
    }
    ULONGLONG total = 0;
    for (size_t d = 0; inFlight > 0; d = (d + 1) % slots.size()) {
        Slot& slot = *slots[d];
        const Result result = Wait(file, slot);
        --inFlight;
        if (!result.ok) {
            return ::testing::AssertionFailure() << "read at " << slot.Offset() << " failed: " << result.error;
        }
        if (const long long bad = PatternMismatch(slot.buffer.data(), slot.Offset(), result.bytes); bad >= 0) {
            return ::testing::AssertionFailure() << "wrong byte at " << bad;
        }
        total += result.bytes;
        if (next < size) {
            if (slot.Start(file, next) != ERROR_IO_PENDING) {
                return ::testing::AssertionFailure() << "restart failed";
            }
            next += kBlock;
            ++inFlight;
        }
    }
    if (total != size) {
        return ::testing::AssertionFailure() << "read " << total << " of " << size << " bytes";
    }
    return ::testing::AssertionSuccess();
}

TEST_P(OverlappedRead, RoundRobinGivesEveryBlockInOrderAndTheEndOfFile)
{
    constexpr ULONGLONG kSize = 40ULL * kBlock + 12345; // more blocks than slots, a short last one
    const fs::path path = PatternFile(kSize);
    const HANDLE file = Open(path);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_TRUE(ReadRoundRobin(file, kSize, 32));

    // Status and count sit in the record as on Windows; at and beyond the end: ERROR_HANDLE_EOF.
    Slot slot;
    ASSERT_EQ(ERROR_IO_PENDING, slot.Start(file, kSize - 10));
    Result result = Wait(file, slot);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(10u, result.bytes);
    EXPECT_EQ(0u, slot.overlapped.Internal);
    EXPECT_EQ(10u, slot.overlapped.InternalHigh);
    for (const ULONGLONG offset : {kSize, kSize + 1, kSize + (ULONGLONG {5} << 32)}) {
        ASSERT_EQ(ERROR_IO_PENDING, slot.Start(file, offset));
        result = Wait(file, slot);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(ERROR_HANDLE_EOF, result.error);
        EXPECT_EQ(0u, result.bytes);
        EXPECT_EQ(STATUS_END_OF_FILE, slot.overlapped.Internal);
    }
    // Once completed the result is there without waiting, also with wait FALSE.
    DWORD bytes = 7;
    EXPECT_FALSE(GetOverlappedResult(file, &slot.overlapped, &bytes, FALSE));
    EXPECT_EQ(ERROR_HANDLE_EOF, GetLastError());
    EXPECT_EQ(0u, bytes);
    EXPECT_TRUE(CloseHandle(file));
}

// Reads beyond the first few are copied only as earlier ones are collected; a caller that waits
// on the events alone, newest first, must still see every read complete with its block.
TEST_P(OverlappedRead, ReadsCompleteForCallersThatOnlyWaitOnTheEvents)
{
    constexpr DWORD kSlots = 8;
    const fs::path path = PatternFile(ULONGLONG {kSlots} * kBlock);
    const HANDLE file = Open(path);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    std::vector<std::unique_ptr<Slot>> slots;
    for (DWORD k = 0; k < kSlots; ++k) {
        slots.push_back(std::make_unique<Slot>());
        ASSERT_EQ(ERROR_IO_PENDING, slots[k]->Start(file, ULONGLONG {k} * kBlock));
    }
    for (DWORD k = kSlots; k-- > 0;) {
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(slots[k]->overlapped.hEvent, 10000)) << k;
        EXPECT_EQ(0u, slots[k]->overlapped.Internal) << k;
        EXPECT_EQ(kBlock, slots[k]->overlapped.InternalHigh) << k;
        EXPECT_EQ(-1, PatternMismatch(slots[k]->buffer.data(), slots[k]->Offset(), kBlock)) << k;
    }
    EXPECT_TRUE(CloseHandle(file));
}

TEST_P(OverlappedRead, SparseFileAboveFourGiBUsesTheHighOffset)
{
    const fs::path path = dir_.path() / "sparse";
    constexpr ULONGLONG kFourGiB = 1ULL << 32;
    constexpr ULONGLONG kSize = kFourGiB + 3 * kBlock + 777;
    // Data just below 4 GiB, across the line and at the end; the rest reads as zeros.
    WritePattern(path, kFourGiB - kBlock, 2 * kBlock + 4096);
    WritePattern(path, kSize - kBlock - 777, kBlock + 777);
    const HANDLE file = Open(path);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD high = 0;
    EXPECT_EQ(static_cast<DWORD>(kSize), GetFileSize(file, &high));
    EXPECT_EQ(1u, high);

    std::vector<std::unique_ptr<Slot>> slots;
    const ULONGLONG offsets[] = {kFourGiB - kBlock, kFourGiB, kFourGiB + kBlock / 2, kSize - kBlock - 777, kSize - 777};
    for (const ULONGLONG offset : offsets) {
        slots.push_back(std::make_unique<Slot>());
        ASSERT_EQ(ERROR_IO_PENDING, slots.back()->Start(file, offset));
    }
    for (size_t i = 0; i < slots.size(); ++i) {
        SCOPED_TRACE(offsets[i]);
        const Result result = Wait(file, *slots[i]);
        ASSERT_TRUE(result.ok) << result.error;
        const DWORD expected = static_cast<DWORD>(std::min<ULONGLONG>(kBlock, kSize - offsets[i]));
        EXPECT_EQ(expected, result.bytes);
        const char* data = slots[i]->buffer.data();
        if (i == 2) {
            // Half of it written, then the hole.
            EXPECT_EQ(-1, PatternMismatch(data, offsets[i], kBlock / 2 + 4096));
            EXPECT_EQ(0, data[kBlock - 1]);
        } else {
            EXPECT_EQ(-1, PatternMismatch(data, offsets[i], result.bytes));
        }
    }
    EXPECT_TRUE(CloseHandle(file));
}

TEST_P(OverlappedRead, RecordsWithoutEventsAndWrongArguments)
{
    const fs::path path = PatternFile(3 * kBlock);
    const HANDLE file = Open(path);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);

    // No event: the wait is on the handle.
    std::vector<char> buffer(kBlock);
    OVERLAPPED record {};
    record.Offset = 2 * kBlock;
    EXPECT_FALSE(ReadFile(file, buffer.data(), kBlock, nullptr, &record));
    EXPECT_EQ(ERROR_IO_PENDING, GetLastError());
    DWORD bytes = 0;
    EXPECT_TRUE(GetOverlappedResult(file, &record, &bytes, TRUE));
    EXPECT_EQ(-1, PatternMismatch(buffer.data(), record.Offset, bytes));

    // A record still pending is reported as incomplete when the caller does not wait.
    OVERLAPPED pending {};
    pending.Internal = STATUS_PENDING;
    EXPECT_FALSE(GetOverlappedResult(file, &pending, &bytes, FALSE));
    EXPECT_EQ(ERROR_IO_INCOMPLETE, GetLastError());

    OVERLAPPED wrongEvent {};
    wrongEvent.hEvent = file; // a handle, but no event
    EXPECT_FALSE(ReadFile(file, buffer.data(), kBlock, nullptr, &wrongEvent));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_FALSE(ReadFile(file, buffer.data(), kBlock, &bytes, nullptr)); // a record is required
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_TRUE(CancelIo(file)); // nothing in flight
    EXPECT_TRUE(CloseHandle(file));

    // A folder opened for overlapped reads has nothing to read that way.
    const HANDLE folder = OpenForReading(dir_.path(), FILE_FLAG_OVERLAPPED | FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_NE(INVALID_HANDLE_VALUE, folder);
    EXPECT_FALSE(ReadFile(folder, buffer.data(), kBlock, nullptr, &record));
    EXPECT_EQ(ERROR_NOT_SUPPORTED, GetLastError());
    EXPECT_TRUE(CloseHandle(folder));
}

// Every read either completed whole with the right bytes or was cancelled with 995.
void ExpectCompletedOrAborted(HANDLE file, std::vector<std::unique_ptr<Slot>>& slots, int& aborted)
{
    for (auto& slot : slots) {
        const Result result = Wait(file, *slot);
        if (result.ok) {
            EXPECT_EQ(kBlock, result.bytes);
            EXPECT_EQ(-1, PatternMismatch(slot->buffer.data(), slot->Offset(), result.bytes));
        } else {
            EXPECT_EQ(ERROR_OPERATION_ABORTED, result.error);
            EXPECT_EQ(STATUS_CANCELLED, slot->overlapped.Internal);
            ++aborted;
        }
    }
}

TEST_P(OverlappedRead, CancelStopsOnlyTheCallingThreadsReads)
{
    const fs::path path = PatternFile(32 * kBlock);
    const HANDLE file = Open(path);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    // Written out and dropped from the cache, so that reads are still in flight when the cancel
    // comes.
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_EQ(0, fdatasync(fd));
    ASSERT_EQ(0, posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED));
    close(fd);

    std::vector<std::unique_ptr<Slot>> slots;
    for (ULONGLONG i = 0; i < 32; ++i) {
        slots.push_back(std::make_unique<Slot>());
        ASSERT_EQ(ERROR_IO_PENDING, slots.back()->Start(file, i * kBlock));
    }
    // Another thread's CancelIo leaves them alone.
    std::thread([file] { EXPECT_TRUE(CancelIo(file)); }).join();
    int aborted = 0;
    ExpectCompletedOrAborted(file, slots, aborted);
    EXPECT_EQ(0, aborted);

    for (ULONGLONG i = 0; i < 32; ++i) {
        ASSERT_EQ(ERROR_IO_PENDING, slots[i]->Start(file, i * kBlock));
    }
    EXPECT_TRUE(CancelIo(file));
    ExpectCompletedOrAborted(file, slots, aborted);
    // A cancel of the caller's own reads is best effort; the handle goes on working after it.
    EXPECT_TRUE(ReadRoundRobin(file, 32 * kBlock, 4));
    EXPECT_TRUE(CloseHandle(file));
}

TEST_P(OverlappedRead, ClosingWithReadsInFlightWaitsForThem)
{
    const fs::path path = PatternFile(32 * kBlock);
    for (int round = 0; round < 3; ++round) {
        const HANDLE file = Open(path);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        // Heap buffers freed right after the close: a late write into them is what AddressSanitizer
        // would report. The events are closed first, which Windows allows too.
        auto records = std::make_unique<OVERLAPPED[]>(32);
        auto buffers = std::make_unique<char[]>(32ULL * kBlock);
        for (DWORD i = 0; i < 32; ++i) {
            records[i].Offset = i * kBlock;
            records[i].hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            EXPECT_FALSE(ReadFile(file, buffers.get() + i * kBlock, kBlock, nullptr, &records[i]));
            EXPECT_EQ(ERROR_IO_PENDING, GetLastError());
            EXPECT_TRUE(CloseHandle(records[i].hEvent));
        }
        EXPECT_TRUE(CloseHandle(file));
        for (DWORD i = 0; i < 32; ++i) {
            const ULONG_PTR status = records[i].Internal;
            EXPECT_TRUE(status == 0 || status == STATUS_CANCELLED) << i << ": " << status;
        }
    }
}

TEST_P(OverlappedRead, ThreadsReadTheirOwnHandlesAtOnce)
{
    constexpr ULONGLONG kSize = 12 * kBlock + 1;
    const fs::path path = PatternFile(kSize);
    std::atomic<int> failures {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 3; ++round) {
                const HANDLE file = Open(path);
                if (file == INVALID_HANDLE_VALUE || !ReadRoundRobin(file, kSize, 8) || !CloseHandle(file)) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(0, failures.load());
}

INSTANTIATE_TEST_SUITE_P(, OverlappedRead, testing::Values(Engine::Ring, Engine::Threads),
                         [](const testing::TestParamInfo<Engine>& engine) {
                             return engine.param == Engine::Ring ? "Ring" : "Threads";
                         });

} // namespace
