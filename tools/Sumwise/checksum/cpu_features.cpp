// Feature detection from CPUID/XGETBV values, class selection, and the process-wide
// processor class with its feature masks.
//
// Publication without a lock: several threads may make the first dispatched call at once.
// Each then detects and selects on its own and stores the same values; the enabled-feature
// mask is stored before the class and the cached feature mask before its valid flag, the
// second store of each pair with release order and its reads with acquire order.
#include "tools/Sumwise/checksum/cpu_features.h"

#include <atomic>

namespace checksum {
namespace {

constexpr uint32_t kLeafHighestStandard = 0;
constexpr uint32_t kLeafFeatures = 1;
constexpr uint32_t kLeafExtendedFeatures = 7;
constexpr uint32_t kLeafHighestExtended = 0x80000000u;
constexpr uint32_t kLeafExtendedProcessorInfo = 0x80000001u;

constexpr int kOsxsaveBit = 27;  // leaf 1 ECX: the OS enabled XSETBV/XGETBV
constexpr int kAvxBit = 28;      // leaf 1 ECX
constexpr uint64_t kXcr0AvxState = 0x6;       // XMM and YMM state
constexpr uint64_t kXcr0Avx512State = 0xE0;   // opmask, upper halves of ZMM0-15, ZMM16-31

bool HasBit(uint32_t value, int bit) { return ((value >> bit) & 1u) != 0; }

// One feature bit taken from one register bit of one CPUID leaf.
struct FeatureSource {
    uint64_t feature;
    uint32_t CpuidRegisters::*reg;
    int bit;
};

constexpr FeatureSource kLeaf1Sources[] = {
    {kFeatureMmx, &CpuidRegisters::edx, 23},       {kFeatureSse, &CpuidRegisters::edx, 25},
    {kFeatureSse2, &CpuidRegisters::edx, 26},      {kFeatureSse3, &CpuidRegisters::ecx, 0},
    {kFeatureSsse3, &CpuidRegisters::ecx, 9},      {kFeatureMovbe, &CpuidRegisters::ecx, 22},
    {kFeatureSse41, &CpuidRegisters::ecx, 19},     {kFeatureSse42, &CpuidRegisters::ecx, 20},
    {kFeatureAvx, &CpuidRegisters::ecx, 28},       {kFeatureAes, &CpuidRegisters::ecx, 25},
    {kFeaturePclmulqdq, &CpuidRegisters::ecx, 1},  {kFeatureRdrand, &CpuidRegisters::ecx, 30},
    {kFeatureF16c, &CpuidRegisters::ecx, 29},
};

constexpr FeatureSource kLeaf7Sources[] = {
    {kFeatureAdx, &CpuidRegisters::ebx, 19},
    {kFeatureRdseed, &CpuidRegisters::ebx, 18},
    {kFeatureSha, &CpuidRegisters::ebx, 29},
    {kFeatureAvx512f, &CpuidRegisters::ebx, 16},
    {kFeatureAvx512cd, &CpuidRegisters::ebx, 28},
    {kFeatureAvx512er, &CpuidRegisters::ebx, 27},
    {kFeatureAvx512pf, &CpuidRegisters::ebx, 26},
    {kFeatureAvx512bw, &CpuidRegisters::ebx, 30},
    {kFeatureAvx512dq, &CpuidRegisters::ebx, 17},
    {kFeatureAvx512vl, &CpuidRegisters::ebx, 31},
    {kFeatureAvx512vbmi, &CpuidRegisters::ecx, 1},
    {kFeatureMpx, &CpuidRegisters::ebx, 14},
    {kFeatureAvx5124fmaps, &CpuidRegisters::edx, 3},
    {kFeatureAvx5124vnniw, &CpuidRegisters::edx, 2},
    {kFeatureAvx512ifma, &CpuidRegisters::ebx, 21},
    {kFeatureAvx512vpopcntdq, &CpuidRegisters::ecx, 14},
    {kFeatureAvx512bitalg, &CpuidRegisters::ecx, 12},
    {kFeatureAvx512fp16, &CpuidRegisters::edx, 23},
    {kFeatureVpclmulqdq, &CpuidRegisters::ecx, 10},
};

constexpr FeatureSource kLeaf7Sub1Sources[] = {
    {kFeatureAvxVnni, &CpuidRegisters::eax, 4},
    {kFeatureAvxVnniInt8, &CpuidRegisters::edx, 4},
    {kFeatureAvxVnniInt16, &CpuidRegisters::edx, 10},
};

template <size_t N>
uint64_t FeaturesFrom(const CpuidRegisters& leaf, const FeatureSource (&sources)[N])
{
    uint64_t features = 0;
    for (const FeatureSource& source : sources) {
        if (HasBit(leaf.*source.reg, source.bit)) {
            features |= source.feature;
        }
    }
    return features;
}

// Class selection, first matching rule: the features required (all of them) and the features
// the class implies. Class 0 implies the best SSE level present.
struct ClassRule {
    int32_t processorClass;
    uint64_t required;
    uint64_t implied;
};

constexpr ClassRule kClassRules[] = {
    {5, kClass5Features, 0x73081DF},
    {4, kFeatureAvx2Group, 0x81DF},
    {3, kFeatureAvx, 0x1DF},
    {2, kFeatureSse42, 0xDF},
    {1, kFeatureSse41, 0x5F},
    {1, kFeatureMovbe, 0x3F},
    {1, kFeatureSsse3, 0x1F},
    {0, kFeatureSse3, 0xF},
    {0, kFeatureSse2, 0x7},
    {0, kFeatureSse, 0x3},
    {0, 0, kFeatureMmx},
};

std::atomic<uint64_t> g_cachedFeatures{0};
std::atomic<uint8_t> g_cachedFeaturesValid{0};
std::atomic<int32_t> g_processorClass{-1};

} // namespace

std::atomic<uint64_t> g_enabledFeatures{0};

ProcessorIdentity ReadProcessorIdentity()
{
    ProcessorIdentity identity;
    identity.leaf0 = Cpuid(kLeafHighestStandard, 0);
    identity.extendedLeaf0 = Cpuid(kLeafHighestExtended, 0);
    identity.leaf1 = Cpuid(kLeafFeatures, 0);
    if (HasBit(identity.leaf1.ecx, kOsxsaveBit)) {
        identity.xcr0 = Xgetbv(0);
    }
    if (identity.leaf0.eax >= kLeafExtendedFeatures) {
        identity.leaf7 = Cpuid(kLeafExtendedFeatures, 0);
        // Sub-leaf 1 without checking the highest sub-leaf: processors report zeros there.
        identity.leaf7Sub1 = Cpuid(kLeafExtendedFeatures, 1);
    }
    if (identity.extendedLeaf0.eax >= kLeafExtendedProcessorInfo) {
        identity.extendedLeaf1 = Cpuid(kLeafExtendedProcessorInfo, 0);
    }
    return identity;
}

uint64_t FeaturesOfIdentity(const ProcessorIdentity& identity)
{
    const uint32_t ecx1 = identity.leaf1.ecx;
    const bool osxsave = HasBit(ecx1, kOsxsaveBit);
    uint64_t features = FeaturesFrom(identity.leaf1, kLeaf1Sources);
    if (osxsave && HasBit(ecx1, kAvxBit) && (identity.xcr0 & kXcr0AvxState) == kXcr0AvxState) {
        features |= kFeatureAvxState;
    }
    if (identity.leaf0.eax >= kLeafExtendedFeatures) {
        const uint32_t ebx7 = identity.leaf7.ebx;
        features |= FeaturesFrom(identity.leaf7, kLeaf7Sources);
        if (osxsave && (identity.xcr0 & kXcr0Avx512State) == kXcr0Avx512State) {
            features |= kFeatureAvx512State;
        }
        features |= FeaturesFrom(identity.leaf7Sub1, kLeaf7Sub1Sources);
        // AVX2 counts only together with BMI1 (bit 3), BMI2 (bit 8) and FMA.
        if (HasBit(ebx7, 3) && HasBit(ebx7, 5) && HasBit(ebx7, 8) && HasBit(ecx1, 12)) {
            features |= kFeatureAvx2Group;
        }
    }
    if (identity.extendedLeaf0.eax >= kLeafExtendedProcessorInfo &&
        HasBit(identity.extendedLeaf1.ecx, 8)) {
        features |= kFeaturePrefetchw;
    }
    return features;
}

ClassChoice SelectProcessorClass(uint64_t detectedFeatures)
{
    uint64_t features = detectedFeatures;
    // Without the OS saving YMM state, AVX instructions fault.
    if ((features & (kFeatureAvx | kFeatureAvx2Group)) != 0 && (features & kFeatureAvxState) == 0) {
        features &= ~(kFeatureAvx | kFeatureAvx2Group);
    }
    // Without the OS saving opmask and ZMM state, no AVX-512 instruction may be used, nor
    // carry-less multiplication on ZMM registers.
    if ((features & kFeatureAvx512State) == 0) {
        features &= ~(kFeatureAvx512Family | kFeatureVpclmulqdq);
    }
    const ClassRule* rule = kClassRules;  // the last rule requires nothing, so one matches
    while ((features & rule->required) != rule->required) {
        ++rule;
    }
    return {rule->processorClass, features | rule->implied};
}

uint64_t ProcessorFeatures()
{
    if (g_cachedFeaturesValid.load(std::memory_order_acquire) != 0) {
        return g_cachedFeatures.load(std::memory_order_relaxed);
    }
    const uint64_t features = FeaturesOfIdentity(ReadProcessorIdentity());
    g_cachedFeatures.store(features, std::memory_order_relaxed);
    g_cachedFeaturesValid.store(1, std::memory_order_release);
    return features;
}

int32_t CurrentProcessorClass()
{
    return g_processorClass.load(std::memory_order_acquire);
}

void InitializeProcessorClass()
{
    const ClassChoice choice = SelectProcessorClass(ProcessorFeatures());
    g_enabledFeatures.store(choice.enabledFeatures, std::memory_order_relaxed);
    g_processorClass.store(choice.processorClass, std::memory_order_release);
}

bool HasEnabledFeatures(uint64_t features)
{
    return (EnabledFeatures() & features) == features;
}

} // namespace checksum
