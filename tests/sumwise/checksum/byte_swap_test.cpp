// Every byte-swap variant at counts around its short-input limits (11 and 19 words) and
// beyond, at every byte offset within 16 bytes (4-byte aligned and not), leaving the
// neighbouring bytes alone.
#include <gtest/gtest.h>

#include <cstring>

#include "reference.h"

namespace checksum_tests {
namespace {

class ByteSwapTest : public testing::TestWithParam<ByteSwapVariant> {
protected:
    void SetUp() override { ORVO_SKIP_UNLESS_RUNNABLE(GetParam()); }
};

TEST_P(ByteSwapTest, EveryCountAndStart)
{
    constexpr size_t kMaxCount = 80;
    constexpr size_t kMargin = 32;
    const std::vector<uint8_t> original = RandomBytes(kMaxCount * 4 + 2 * kMargin + 16, 71);
    alignas(64) uint8_t buffer[kMaxCount * 4 + 2 * kMargin + 16];
    for (size_t offset = 0; offset < 16; ++offset) {
        for (size_t count = 1; count <= kMaxCount; ++count) {
            std::memcpy(buffer, original.data(), sizeof buffer);
            uint8_t* words = buffer + kMargin + offset;
            GetParam().kernel(reinterpret_cast<uint32_t*>(words), count);
            for (size_t i = 0; i < sizeof buffer; ++i) {
                const size_t pos = i - (kMargin + offset);  // wraps for bytes in front
                const bool inside = i >= kMargin + offset && pos < 4 * count;
                const size_t source = inside ? kMargin + offset + (pos / 4) * 4 + 3 - pos % 4 : i;
                ASSERT_EQ(buffer[i], original[source])
                    << "offset " << offset << ", count " << count << ", byte " << i;
            }
        }
    }
}

TEST_P(ByteSwapTest, OneWord)
{
    uint32_t word = 0x11223344u;
    GetParam().kernel(&word, 1);
    EXPECT_EQ(word, 0x44332211u);
}

INSTANTIATE_TEST_SUITE_P(AllVariants, ByteSwapTest, testing::ValuesIn(ByteSwapVariants()),
                         ParamName<ByteSwapVariant>);

} // namespace
} // namespace checksum_tests
