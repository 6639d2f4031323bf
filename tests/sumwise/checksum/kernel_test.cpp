// One suite for every checksum kernel variant against the byte-at-a-time references: every
// start offset with every short length, long random buffers, chaining, buffers against guard
// pages, and the lengths where the kernels change paths.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "guarded_buffer.h"
#include "reference.h"

namespace checksum_tests {
namespace {

constexpr size_t kAlign = 64;

// A copy of `bytes` starting `offset` bytes after a 64-byte boundary.
class PlacedBytes {
public:
    PlacedBytes(const std::vector<uint8_t>& bytes, size_t offset)
        : storage_(bytes.size() + offset + kAlign)
    {
        const auto address = reinterpret_cast<uintptr_t>(storage_.data());
        data_ = storage_.data() + (kAlign - address % kAlign) % kAlign + offset;
        std::memcpy(data_, bytes.data(), bytes.size());
    }
    const uint8_t* data() const { return data_; }

private:
    std::vector<uint8_t> storage_;
    uint8_t* data_;
};

class ChecksumKernelTest : public testing::TestWithParam<ChecksumCase> {
protected:
    void SetUp() override { ORVO_SKIP_UNLESS_RUNNABLE(GetParam()); }

    uint32_t Kernel(const uint8_t* data, size_t length, uint32_t value) const
    {
        return GetParam().kernel(data, length, value);
    }
    uint32_t Reference(const uint8_t* data, size_t length, uint32_t value) const
    {
        return GetParam().reference(value, data, length);
    }
};

TEST_P(ChecksumKernelTest, PublishedCheckValues)
{
    const auto* digits = reinterpret_cast<const uint8_t*>("123456789");
    const uint8_t zero = 0;
    const std::string& name = GetParam().name;
    if (name.rfind("Crc32c_", 0) == 0) {
        EXPECT_EQ(~Kernel(digits, 9, 0xFFFFFFFFu), 0xE3069283u);
    } else if (name.rfind("Crc32_", 0) == 0) {
        EXPECT_EQ(Kernel(digits, 9, 0), 0xCBF43926u);
        EXPECT_EQ(Kernel(&zero, 1, 0), 0xD202EF8Du);
    } else {
        EXPECT_EQ(Kernel(digits, 9, 1), 0x091E01DEu);
        EXPECT_EQ(Kernel(digits, 0, 1), 1u);
        // A zero-length call only reduces each half modulo 65521.
        EXPECT_EQ(Kernel(digits, 0, 0xFFFFFFFFu), 0x000E000Eu);
    }
}

// Every start offset 0 to 63 with every length 0 to 1200, from a different start value per
// offset; the reference advances one byte per length.
TEST_P(ChecksumKernelTest, EveryOffsetAndShortLength)
{
    constexpr size_t kMaxLength = 1200;
    const std::vector<uint8_t> bytes = RandomBytes(kMaxLength, 11);
    std::mt19937 generator(12);
    for (size_t offset = 0; offset < 64; ++offset) {
        const PlacedBytes placed(bytes, offset);
        const uint32_t start = offset == 0 ? GetParam().initial : generator();
        uint32_t expected = Reference(placed.data(), 0, start);
        for (size_t length = 0; length <= kMaxLength; ++length) {
            if (length > 0) {
                expected = Reference(placed.data() + length - 1, 1, expected);
            }
            ASSERT_EQ(Kernel(placed.data(), length, start), expected)
                << "offset " << offset << ", length " << length;
        }
    }
}

TEST_P(ChecksumKernelTest, LongRandomBuffers)
{
    for (uint32_t seed : {21u, 22u, 23u}) {
        std::mt19937 generator(seed);
        const size_t length = 100000 + generator() % 200000;
        const std::vector<uint8_t> bytes = RandomBytes(length, seed);
        const PlacedBytes placed(bytes, seed % 16);
        const uint32_t start = generator();
        EXPECT_EQ(Kernel(placed.data(), length, start), Reference(placed.data(), length, start))
            << "length " << length;
    }
}

// Feeding pieces of random sizes gives the value of the whole.
TEST_P(ChecksumKernelTest, PiecesChainToTheWhole)
{
    const std::vector<uint8_t> bytes = RandomBytes(300000, 31);
    const uint32_t whole = Reference(bytes.data(), bytes.size(), GetParam().initial);
    std::mt19937 generator(32);
    for (int round = 0; round < 4; ++round) {
        const size_t maxPiece = round % 2 == 0 ? 100 : 20000;
        uint32_t value = GetParam().initial;
        for (size_t done = 0; done < bytes.size();) {
            const size_t piece = std::min(bytes.size() - done, size_t{1} + generator() % maxPiece);
            value = Kernel(bytes.data() + done, piece, value);
            done += piece;
        }
        EXPECT_EQ(value, whole) << "pieces up to " << maxPiece << " bytes";
    }
}

// No kernel reads a byte before or after its buffer: the neighbouring pages are inaccessible.
TEST_P(ChecksumKernelTest, BuffersAgainstGuardPages)
{
    GuardedBuffer buffer(70000);
    const std::vector<uint8_t> bytes = RandomBytes(buffer.size(), 41);
    std::memcpy(buffer.StartingAtGuard(), bytes.data(), bytes.size());
    std::vector<size_t> lengths;
    for (size_t length = 0; length <= 600; ++length) {
        lengths.push_back(length);
    }
    for (size_t length : {3071u, 3072u, 3073u, 5551u, 5552u, 65535u, 65536u, 65537u}) {
        lengths.push_back(length);
    }
    for (size_t length : lengths) {
        const uint8_t* atEnd = buffer.EndingAtGuard(length);
        ASSERT_EQ(Kernel(atEnd, length, GetParam().initial),
                  Reference(atEnd, length, GetParam().initial))
            << "ending at the guard, length " << length;
        // Offsets within 16, and 61 to 63, where the wide kernels take their head bytes first.
        for (size_t offset : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u,
                              15u, 61u, 62u, 63u}) {
            const uint8_t* atStart = buffer.StartingAtGuard() + offset;
            ASSERT_EQ(Kernel(atStart, length, GetParam().initial),
                      Reference(atStart, length, GetParam().initial))
                << "starting " << offset << " bytes after the guard, length " << length;
        }
    }
}

// The bytes next to the data within its 64-byte unit do not influence the result (the 128-bit
// kernels treat the bytes in front within 16, the wide kernels within 64 as zero).
TEST_P(ChecksumKernelTest, NeighbouringBytesIgnored)
{
    std::vector<uint8_t> storage = RandomBytes(4096, 51);
    const auto address = reinterpret_cast<uintptr_t>(storage.data());
    uint8_t* base = storage.data() + (kAlign - address % kAlign) % kAlign;
    for (size_t offset = 0; offset < kAlign; ++offset) {
        for (size_t length : {1u, 17u, 31u, 32u, 63u, 64u, 67u, 127u, 128u, 255u, 300u, 1000u}) {
            uint8_t* data = base + offset;
            std::memset(base, 0x00, offset);
            std::memset(data + length, 0x00, 64);
            const uint32_t withZeros = Kernel(data, length, GetParam().initial);
            std::memset(base, 0xA5, offset);
            std::memset(data + length, 0x5A, 64);
            EXPECT_EQ(Kernel(data, length, GetParam().initial), withZeros)
                << "offset " << offset << ", length " << length;
        }
    }
}

// Lengths and placements where the kernels switch paths: CRC-32C full and partial blocks of
// three streams (3072, 3071), every multiply-table block once after a head (3455 + 7), the
// Adler-32 run boundaries (5536, 5552) and the byte-step limit (30, 31).
TEST_P(ChecksumKernelTest, PathBoundaries)
{
    struct Placement {
        size_t offset;
        size_t length;
    };
    constexpr Placement kPlacements[] = {
        {0, 3072}, {0, 3071}, {8, 3072 * 3}, {1, 3455 + 7}, {7, 3455 + 1}, {0, 3455},
        {0, 215}, {0, 216}, {0, 1728}, {0, 1727}, {0, 24}, {0, 95}, {0, 96},
        {0, 5536}, {0, 5552}, {0, 5536 * 3 + 15}, {15, 5551}, {1, 30}, {1, 31}, {0, 30}, {0, 31},
        {3, 64 - 3}, {3, 128 - 3}, {3, 127 - 3}, {13, 32 - 13}, {13, 31 - 13},
    };
    const std::vector<uint8_t> bytes = RandomBytes(20000, 61);
    for (const Placement& p : kPlacements) {
        const PlacedBytes placed(bytes, p.offset);
        EXPECT_EQ(Kernel(placed.data(), p.length, GetParam().initial),
                  Reference(placed.data(), p.length, GetParam().initial))
            << "offset " << p.offset << ", length " << p.length;
    }
}

// The largest Adler-32 sums: 5551 bytes of 255 starting 15 bytes before a 16-byte boundary,
// from s1 = s2 = 65520 (and from the out-of-range halves 65535). Harmless for the CRCs.
TEST_P(ChecksumKernelTest, LargestSums)
{
    const std::vector<uint8_t> bytes(5551 * 3, 0xFF);
    const PlacedBytes placed(bytes, 1);
    for (uint32_t start : {0xFFF0FFF0u, 0xFFFFFFFFu}) {
        for (size_t length : {5551u, 5551u * 3}) {
            EXPECT_EQ(Kernel(placed.data(), length, start), Reference(placed.data(), length, start))
                << "length " << length << ", start " << std::hex << start;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllVariants, ChecksumKernelTest, testing::ValuesIn(AllChecksumCases()),
                         ParamName<ChecksumCase>);

} // namespace
} // namespace checksum_tests
