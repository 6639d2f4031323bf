// Feature detection and class selection for synthetic processors: the operating-system
// checks, the AVX2 group, the leaf limits, that the vendor plays no part, and when the class 5
// CRC kernels take their wide kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>

#include "reference.h"
#include "tools/Sumwise/checksum/cpu_features.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum_tests {
namespace {

using namespace checksum;

// Leaf 1 ECX/EDX bits and leaf 7.0 EBX bits used below.
constexpr uint32_t kEdxSseFamily = (1u << 23) | (1u << 25) | (1u << 26);  // MMX, SSE, SSE2
constexpr uint32_t kEcxSse3 = 1u << 0;
constexpr uint32_t kEcxPclmul = 1u << 1;
constexpr uint32_t kEcxSsse3 = 1u << 9;
constexpr uint32_t kEcxFma = 1u << 12;
constexpr uint32_t kEcxSse41 = 1u << 19;
constexpr uint32_t kEcxSse42 = 1u << 20;
constexpr uint32_t kEcxMovbe = 1u << 22;
constexpr uint32_t kEcxOsxsave = 1u << 27;
constexpr uint32_t kEcxAvx = 1u << 28;
constexpr uint32_t kEbxBmi1 = 1u << 3;
constexpr uint32_t kEbxAvx2 = 1u << 5;
constexpr uint32_t kEbxBmi2 = 1u << 8;
constexpr uint32_t kEbxAvx512Five =
    (1u << 16) | (1u << 17) | (1u << 28) | (1u << 30) | (1u << 31);  // F, DQ, CD, BW, VL
constexpr uint32_t kEcx7Vpclmulqdq = 1u << 10;  // leaf 7.0 ECX

constexpr uint32_t kEcxUpToSse42 = kEcxSse3 | kEcxSsse3 | kEcxSse41 | kEcxSse42 | kEcxPclmul;
constexpr uint32_t kEcxUpToAvx = kEcxUpToSse42 | kEcxOsxsave | kEcxAvx | kEcxFma;
constexpr uint32_t kEbxAvx2Group = kEbxBmi1 | kEbxAvx2 | kEbxBmi2;

struct Processor {
    const char* name;
    uint32_t leaf1Ecx;
    uint32_t leaf7Ebx;
    uint64_t xcr0;
    int32_t expectedClass;
    uint64_t mustHave;     // in the enabled-feature mask
    uint64_t mustNotHave;  // not in it
    uint32_t leaf7Ecx = kEcx7Vpclmulqdq;
};

ProcessorIdentity Identity(const Processor& p, uint32_t highestLeaf = 0xD)
{
    ProcessorIdentity identity;
    identity.leaf0.eax = highestLeaf;
    identity.leaf1.ecx = p.leaf1Ecx;
    identity.leaf1.edx = kEdxSseFamily;
    identity.leaf7.ebx = p.leaf7Ebx;
    identity.leaf7.ecx = p.leaf7Ecx;
    identity.xcr0 = p.xcr0;
    return identity;
}

constexpr Processor kProcessors[] = {
    {"FullAvx512", kEcxUpToAvx, kEbxAvx2Group | kEbxAvx512Five, 0xE7, 5,
     kClass5Features | kFeatureAvx2Group | kFeatureAvxState | kFeaturePclmulqdq |
         kFeatureVpclmulqdq,
     0},
    {"Avx512WithoutVpclmulqdq", kEcxUpToAvx, kEbxAvx2Group | kEbxAvx512Five, 0xE7, 5,
     kClass5Features | kFeaturePclmulqdq, kFeatureVpclmulqdq, 0},
    {"VpclmulqdqWithoutPclmul", kEcxUpToAvx & ~kEcxPclmul, kEbxAvx2Group | kEbxAvx512Five, 0xE7,
     5, kClass5Features | kFeatureVpclmulqdq, kFeaturePclmulqdq},
    {"AvxWithoutOsSupport", kEcxUpToAvx, kEbxAvx2Group, 0x3, 2, kFeatureSse42,
     kFeatureAvx | kFeatureAvx2Group | kFeatureAvxState},
    {"Avx512WithoutOpmaskState", kEcxUpToAvx, kEbxAvx2Group | kEbxAvx512Five, 0x7, 4,
     kFeatureAvx2Group | kFeaturePclmulqdq,
     kFeatureAvx512Family | kFeatureAvx512State | kFeatureVpclmulqdq},
    {"Avx2WithoutFma", kEcxUpToAvx & ~kEcxFma, kEbxAvx2Group, 0x7, 3, kFeatureAvx,
     kFeatureAvx2Group},
    {"Avx2WithoutBmi1", kEcxUpToAvx, kEbxAvx2Group & ~kEbxBmi1, 0x7, 3, kFeatureAvx,
     kFeatureAvx2Group},
    {"Avx2WithoutBmi2", kEcxUpToAvx, kEbxAvx2Group & ~kEbxBmi2, 0x7, 3, kFeatureAvx,
     kFeatureAvx2Group},
    {"Avx2Group", kEcxUpToAvx, kEbxAvx2Group, 0x7, 4, 0x81DF, 0},
    {"Sse42WithoutPclmul", kEcxUpToSse42 & ~kEcxPclmul, 0, 0, 2, 0xDF, kFeaturePclmulqdq},
    {"Avx512FiveBitsAlone", kEcxOsxsave, kEbxAvx512Five, 0xE0, 5, 0x73081DF,
     kFeatureAvxState | kFeaturePclmulqdq},
    {"Sse41", kEcxSse3 | kEcxSsse3 | kEcxSse41, 0, 0, 1, 0x5F, kFeatureSse42},
    {"MovbeWithoutSse41", kEcxSse3 | kEcxMovbe, 0, 0, 1, 0x3F, kFeatureSse41},
    {"Ssse3", kEcxSse3 | kEcxSsse3, 0, 0, 1, 0x1F, kFeatureMovbe | kFeatureSse41},
    {"Sse3", kEcxSse3, 0, 0, 0, 0xF, kFeatureSsse3},
    {"Sse2Only", 0, 0, 0, 0, 0x7, kFeatureSse3},
};

void PrintTo(const Processor& processor, std::ostream* out)
{
    *out << processor.name;
}

class ClassSelectionTest : public testing::TestWithParam<Processor> {};

TEST_P(ClassSelectionTest, ClassAndEnabledFeatures)
{
    const Processor& p = GetParam();
    const ClassChoice choice = SelectProcessorClass(FeaturesOfIdentity(Identity(p)));
    EXPECT_EQ(choice.processorClass, p.expectedClass);
    EXPECT_EQ(choice.enabledFeatures & p.mustHave, p.mustHave) << std::hex << choice.enabledFeatures;
    EXPECT_EQ(choice.enabledFeatures & p.mustNotHave, 0u) << std::hex << choice.enabledFeatures;
}

TEST_P(ClassSelectionTest, VendorPlaysNoPart)
{
    const char* vendors[] = {"GenuineIntel", "AuthenticAMD", "HygonGenuine", "CentaurHauls",
                             "  Shanghai  ", "VIA VIA VIA "};
    const ProcessorIdentity plain = Identity(GetParam());
    const uint64_t expected = FeaturesOfIdentity(plain);
    for (const char* vendor : vendors) {
        ProcessorIdentity identity = plain;
        std::memcpy(&identity.leaf0.ebx, vendor, 4);
        std::memcpy(&identity.leaf0.edx, vendor + 4, 4);
        std::memcpy(&identity.leaf0.ecx, vendor + 8, 4);
        EXPECT_EQ(FeaturesOfIdentity(identity), expected) << vendor;
    }
}

INSTANTIATE_TEST_SUITE_P(SyntheticProcessors, ClassSelectionTest, testing::ValuesIn(kProcessors),
                         ParamName<Processor>);

TEST(FeatureDetectionTest, Leaf7IgnoredBelowHighestLeaf7)
{
    const Processor p = kProcessors[0];
    EXPECT_EQ(SelectProcessorClass(FeaturesOfIdentity(Identity(p, 6))).processorClass, 3);
    const uint64_t features = FeaturesOfIdentity(Identity(p, 6));
    EXPECT_EQ(features & (kFeatureAvx2Group | kFeatureAvx512Family | kFeatureAvx512State |
                          kFeatureVpclmulqdq),
              0u);
}

// The class 5 CRC kernels take their wide kernels only with VPCLMULQDQ and PCLMULQDQ enabled,
// and only from the crossover length on; every other processor keeps the 128-bit kernels.
TEST(WideCrcChoiceTest, ByFeaturesAndLength)
{
    const std::pair<const char*, bool> kChoices[] = {
        {"FullAvx512", true},
        {"Avx512WithoutVpclmulqdq", false},
        {"VpclmulqdqWithoutPclmul", false},
        {"Avx512WithoutOpmaskState", false},
        {"Avx2Group", false},
    };
    for (const auto& [name, wide] : kChoices) {
        const Processor* p = std::find_if(std::begin(kProcessors), std::end(kProcessors),
                                          [&](const Processor& q) { return q.name == std::string(name); });
        ASSERT_NE(p, std::end(kProcessors)) << name;
        const uint64_t enabled = SelectProcessorClass(FeaturesOfIdentity(Identity(*p))).enabledFeatures;
        for (size_t crossover : {kWideCrc32Crossover, kWideCrc32cCrossover}) {
            EXPECT_FALSE(UsesWideCrcKernel(enabled, crossover - 1, crossover)) << name;
            EXPECT_EQ(UsesWideCrcKernel(enabled, crossover, crossover), wide) << name;
            EXPECT_EQ(UsesWideCrcKernel(enabled, size_t{1} << 32, crossover), wide) << name;
        }
    }
}

TEST(FeatureDetectionTest, PrefetchwOnlyWithExtendedLeaf)
{
    ProcessorIdentity identity = Identity(kProcessors[0]);
    identity.extendedLeaf1.ecx = 1u << 8;
    identity.extendedLeaf0.eax = 0x80000000u;
    EXPECT_EQ(FeaturesOfIdentity(identity) & kFeaturePrefetchw, 0u);
    identity.extendedLeaf0.eax = 0x80000008u;
    EXPECT_NE(FeaturesOfIdentity(identity) & kFeaturePrefetchw, 0u);
}

TEST(FeatureDetectionTest, XgetbvNeedsOsxsave)
{
    Processor p = kProcessors[0];
    p.leaf1Ecx &= ~kEcxOsxsave;  // the XCR0 value is stale: the OS did not enable XSAVE
    const uint64_t features = FeaturesOfIdentity(Identity(p));
    EXPECT_EQ(features & (kFeatureAvxState | kFeatureAvx512State), 0u);
    EXPECT_EQ(SelectProcessorClass(features).processorClass, 2);
}

TEST(FeatureDetectionTest, ThisProcessor)
{
    const uint64_t features = ProcessorFeatures();
    EXPECT_EQ(features & kFeatureSse2, kFeatureSse2);  // baseline of x86-64
    EXPECT_EQ(ProcessorFeatures(), features);          // cached
    EXPECT_EQ(FeaturesOfIdentity(ReadProcessorIdentity()), features);
    const ClassChoice choice = SelectProcessorClass(features);
    std::printf("processor features %#llx, class %d, wide CRC kernels %s\n",
                static_cast<unsigned long long>(features), choice.processorClass,
                choice.processorClass == 5 &&
                        (choice.enabledFeatures & kWideCrcFeatures) == kWideCrcFeatures
                    ? "used"
                    : "not used");
}

} // namespace
} // namespace checksum_tests
