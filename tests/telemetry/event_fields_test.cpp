// The self-describing layout of one event: metadata bytes, descriptor types and value blocks.
#include "common/telemetry/event_fields.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<unsigned char> Block(const EVENT_DATA_DESCRIPTOR& descriptor)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(static_cast<ULONG_PTR>(descriptor.Ptr));
    return {bytes, bytes + descriptor.Size};
}

std::vector<unsigned char> Bytes(std::initializer_list<int> values)
{
    std::vector<unsigned char> out;
    for (const int value : values) {
        out.push_back(static_cast<unsigned char>(value));
    }
    return out;
}

TEST(EventFields, MetadataNamesEveryFieldAndEachValueHasItsBlock)
{
    telemetry::EventFields fields("Ev");
    fields.UInt64("t", 0x3000000);
    fields.Struct("s", 2);
    fields.UInt32("h", 0x80070005);
    fields.AnsiString("f", nullptr);
    fields.UnicodeString("w", L"\u00e9\U0001F600");
    const char provider[] = {4, 0, 'P', 0};
    const EVENT_DATA_DESCRIPTOR* descriptors = fields.Descriptors(provider, sizeof provider);

    ASSERT_EQ(fields.DescriptorCount(), 6u);
    EXPECT_EQ(descriptors[0].Reserved & 0xFF, 2u);
    EXPECT_EQ(Block(descriptors[0]), Bytes({4, 0, 'P', 0}));
    EXPECT_EQ(descriptors[1].Reserved & 0xFF, 1u);
    std::vector<unsigned char> expected = Bytes({0, 0, 0, 'E', 'v', 0, 't', 0, 10, 's', 0, 24 | 0x80, 2, 'h', 0, 8,
                                                 'f', 0, 2, 'w', 0, 1});
    expected[0] = static_cast<unsigned char>(expected.size());
    EXPECT_EQ(Block(descriptors[1]), expected);
    for (int i = 2; i < 6; ++i) {
        EXPECT_EQ(descriptors[i].Reserved & 0xFF, 0u) << i;
    }
    EXPECT_EQ(Block(descriptors[2]), Bytes({0, 0, 0, 3, 0, 0, 0, 0}));
    EXPECT_EQ(Block(descriptors[3]), Bytes({5, 0, 7, 0x80}));
    EXPECT_EQ(Block(descriptors[4]), Bytes({0})); // an absent text is the empty text
    // U+00E9, then U+1F600 as the surrogate pair D83D DE00, then the terminator.
    EXPECT_EQ(Block(descriptors[5]), Bytes({0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
}

} // namespace
