// The dispatched entries: statuses and argument checks, the published values, the lazy choice
// of the class (also by a rejected first call, and by several threads at once), and a length
// of 2^31 and more for CRC-32C, through the entry and the wide kernel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "guarded_buffer.h"
#include "reference.h"
#include "tools/Sumwise/checksum/checksum.h"
#include "tools/Sumwise/checksum/cpu_features.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum_tests {
namespace {

using namespace checksum;

const uint8_t* Digits() { return reinterpret_cast<const uint8_t*>("123456789"); }

int32_t ThisProcessorClass() { return SelectProcessorClass(ProcessorFeatures()).processorClass; }

TEST(ChecksumEntryTest, PublishedValues)
{
    uint32_t crc32c = 0xFFFFFFFFu;
    ASSERT_EQ(Crc32cUpdate(Digits(), 9, &crc32c), kChecksumOk);
    EXPECT_EQ(~crc32c, 0xE3069283u);
    uint32_t crc32 = 0;
    ASSERT_EQ(Crc32Update(Digits(), 9, &crc32), kChecksumOk);
    EXPECT_EQ(crc32, 0xCBF43926u);
    uint32_t adler = 1;
    ASSERT_EQ(Adler32Update(Digits(), 9, &adler), kChecksumOk);
    EXPECT_EQ(adler, 0x091E01DEu);
    uint32_t word = 0xE3069283u;
    ASSERT_EQ(ByteSwap32(&word, 1), kChecksumOk);
    EXPECT_EQ(word, 0x839206E3u);
    EXPECT_EQ(CurrentProcessorClass(), ThisProcessorClass());
}

TEST(ChecksumEntryTest, Rejections)
{
    constexpr uint32_t kUntouched = 0x12345678u;
    struct Call {
        const char* what;
        int32_t (*call)(uint32_t* state);
        int32_t status;
        uint32_t stateAfter;
    };
    const Call calls[] = {
        {"crc32c null data", [](uint32_t* s) { return Crc32cUpdate(nullptr, 9, s); },
         kChecksumNullPointer, kUntouched},
        {"crc32c null state", [](uint32_t*) { return Crc32cUpdate(Digits(), 9, nullptr); },
         kChecksumNullPointer, kUntouched},
        {"crc32c length 0", [](uint32_t* s) { return Crc32cUpdate(Digits(), 0, s); },
         kChecksumBadLength, kUntouched},
        {"crc32 null data", [](uint32_t* s) { return Crc32Update(nullptr, 9, s); },
         kChecksumNullPointer, kUntouched},
        {"crc32 null state", [](uint32_t*) { return Crc32Update(Digits(), 9, nullptr); },
         kChecksumNullPointer, kUntouched},
        {"crc32 length 0", [](uint32_t* s) { return Crc32Update(Digits(), 0, s); },
         kChecksumBadLength, kUntouched},
        {"crc32 length -1", [](uint32_t* s) { return Crc32Update(Digits(), -1, s); },
         kChecksumBadLength, kUntouched},
        {"adler32 null state", [](uint32_t*) { return Adler32Update(Digits(), 9, nullptr); },
         kChecksumNullPointer, kUntouched},
        {"adler32 null data", [](uint32_t* s) { return Adler32Update(nullptr, 9, s); },
         kChecksumOk, 1},
        {"adler32 length -5", [](uint32_t* s) { return Adler32Update(Digits(), -5, s); },
         kChecksumOk, kUntouched},  // already reduced: normalising changes nothing
        {"byte swap null", [](uint32_t*) { return ByteSwap32(nullptr, 1); },
         kChecksumNullPointer, kUntouched},
        {"byte swap count 0", [](uint32_t* s) { return ByteSwap32(s, 0); }, kChecksumBadLength,
         kUntouched},
        {"byte swap count -1", [](uint32_t* s) { return ByteSwap32(s, -1); }, kChecksumBadLength,
         kUntouched},
    };
    for (const Call& c : calls) {
        uint32_t state = kUntouched;
        EXPECT_EQ(c.call(&state), c.status) << c.what;
        EXPECT_EQ(state, c.stateAfter) << c.what;
    }
}

// The first call of each entry, with arguments it then rejects, still chooses the class.
// Each case runs in a fresh child process (death-test machinery), where no call came before.
TEST(ChecksumFirstCallDeathTest, RejectedFirstCallChoosesClass)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct FirstCall {
        const char* entry;
        int32_t (*call)();
        int32_t status;
    };
    const FirstCall calls[] = {
        {"crc32c", [] { return Crc32cUpdate(nullptr, 1, nullptr); }, kChecksumNullPointer},
        {"crc32", [] { return Crc32Update(Digits(), 0, nullptr); }, kChecksumNullPointer},
        {"adler32", [] {
             uint32_t state = 77;
             const int32_t status = Adler32Update(nullptr, 9, &state);
             return state == 1 ? status : -100;
         },
         kChecksumOk},
        {"byte swap", [] { return ByteSwap32(nullptr, 1); }, kChecksumNullPointer},
    };
    for (const FirstCall& c : calls) {
        EXPECT_EXIT(
            {
                const bool unchosen = CurrentProcessorClass() == -1;
                const bool statusOk = c.call() == c.status;
                const bool chosen = CurrentProcessorClass() == ThisProcessorClass();
                std::exit((unchosen ? 0 : 1) | (statusOk ? 0 : 2) | (chosen ? 0 : 4));
            },
            testing::ExitedWithCode(0), "")
            << c.entry;
    }
}

// Several threads make the first calls at once; every result is right and one class results.
TEST(ChecksumFirstCallDeathTest, ConcurrentFirstCalls)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            int failures = CurrentProcessorClass() == -1 ? 0 : 1;
            const std::vector<uint8_t> bytes = RandomBytes(100000, 81);
            const uint32_t expected = ReferenceCrc32(0, bytes.data(), bytes.size());
            std::vector<std::thread> threads;
            std::vector<uint32_t> results(8, 0);
            for (size_t t = 0; t < results.size(); ++t) {
                threads.emplace_back([&, t] {
                    Crc32Update(bytes.data(), static_cast<int32_t>(bytes.size()), &results[t]);
                });
            }
            for (auto& thread : threads) {
                thread.join();
            }
            for (uint32_t r : results) {
                failures += r == expected ? 0 : 1;
            }
            failures += CurrentProcessorClass() == ThisProcessorClass() ? 0 : 1;
            std::exit(failures);
        },
        testing::ExitedWithCode(0), "");
}

// A length above 2^31 is an unsigned count: one call over 2^31 + 77 bytes gives the register
// of the same bytes fed to the entry in pieces below 2^31. Run for the entry and for the wide
// kernel that the class 5 entry hands long buffers to.
uint32_t Crc32cEntryAsKernel(const uint8_t* data, size_t length, uint32_t crc)
{
    EXPECT_EQ(Crc32cUpdate(data, static_cast<uint32_t>(length), &crc), kChecksumOk);
    return crc;
}

class Crc32cLengthBeyond2To31 : public testing::TestWithParam<CrcVariant> {
protected:
    void SetUp() override { ORVO_SKIP_UNLESS_RUNNABLE(GetParam()); }
};

TEST_P(Crc32cLengthBeyond2To31, WholeEqualsPieces)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || !defined(NDEBUG)
    GTEST_SKIP() << "2 GiB of checksums are left to the optimized, uninstrumented build";
#else
    const size_t length = (size_t{1} << 31) + 77;
    const LargeBuffer memory(length);
    if (memory.data() == nullptr) {
        GTEST_SKIP() << "cannot allocate 2 GiB here";
    }
    // Mostly zeros: random bytes at the start, around 2^31 and at the end.
    uint8_t* const bytes = memory.data();
    const std::vector<uint8_t> random = RandomBytes(4096, 91);
    for (size_t at : {size_t{0}, (size_t{1} << 31) - 2048, length - 4096}) {
        std::memcpy(bytes + at, random.data(), random.size());
    }
    const uint32_t whole = GetParam().kernel(bytes, length, 0xFFFFFFFFu);
    uint32_t pieces = 0xFFFFFFFFu;
    constexpr uint32_t kHalf = uint32_t{1} << 30;
    ASSERT_EQ(Crc32cUpdate(bytes, kHalf, &pieces), kChecksumOk);
    ASSERT_EQ(Crc32cUpdate(bytes + kHalf, kHalf, &pieces), kChecksumOk);
    ASSERT_EQ(Crc32cUpdate(bytes + 2 * size_t{kHalf}, 77, &pieces), kChecksumOk);
    EXPECT_EQ(whole, pieces);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    EntryAndWideKernel, Crc32cLengthBeyond2To31,
    testing::Values(CrcVariant{"Entry", 0, 0, Crc32cEntryAsKernel},
                    CrcVariant{"Class5Wide", 5, kWideCrcFeatures, kKernelsByClass[5].crc32cWide}),
    ParamName<CrcVariant>);

} // namespace
} // namespace checksum_tests
