// Processor feature detection, the choice of one processor class (0 to 5) for the checksum
// kernels, and the process-wide values that record both.
//
// Detection and selection are pure functions of the CPUID and XGETBV values, so tests can
// classify synthetic processors; the process-wide part only reads the real ones and
// publishes the result.
#pragma once
#include <atomic>
#include <cstdint>

#include "tools/Sumwise/checksum/cpu_id.h"

namespace checksum {

// Bits of the processor feature mask.
inline constexpr uint64_t kFeatureMmx = 0x1;
inline constexpr uint64_t kFeatureSse = 0x2;
inline constexpr uint64_t kFeatureSse2 = 0x4;
inline constexpr uint64_t kFeatureSse3 = 0x8;
inline constexpr uint64_t kFeatureSsse3 = 0x10;
inline constexpr uint64_t kFeatureMovbe = 0x20;
inline constexpr uint64_t kFeatureSse41 = 0x40;
inline constexpr uint64_t kFeatureSse42 = 0x80;
inline constexpr uint64_t kFeatureAvx = 0x100;
inline constexpr uint64_t kFeatureAvxState = 0x200;      // the OS saves XMM and YMM state
inline constexpr uint64_t kFeatureAes = 0x400;
inline constexpr uint64_t kFeaturePclmulqdq = 0x800;
inline constexpr uint64_t kFeatureRdrand = 0x2000;
inline constexpr uint64_t kFeatureF16c = 0x4000;
inline constexpr uint64_t kFeatureAvx2Group = 0x8000;    // AVX2 with BMI1, BMI2 and FMA
inline constexpr uint64_t kFeatureAdx = 0x10000;
inline constexpr uint64_t kFeatureRdseed = 0x20000;
inline constexpr uint64_t kFeaturePrefetchw = 0x40000;
inline constexpr uint64_t kFeatureSha = 0x80000;
inline constexpr uint64_t kFeatureAvx512f = 0x100000;
inline constexpr uint64_t kFeatureAvx512cd = 0x200000;
inline constexpr uint64_t kFeatureAvx512er = 0x400000;
inline constexpr uint64_t kFeatureAvx512pf = 0x800000;
inline constexpr uint64_t kFeatureAvx512bw = 0x1000000;
inline constexpr uint64_t kFeatureAvx512dq = 0x2000000;
inline constexpr uint64_t kFeatureAvx512vl = 0x4000000;
inline constexpr uint64_t kFeatureAvx512vbmi = 0x8000000;
inline constexpr uint64_t kFeatureMpx = 0x10000000;
inline constexpr uint64_t kFeatureAvx5124fmaps = 0x20000000;
inline constexpr uint64_t kFeatureAvx5124vnniw = 0x40000000;
inline constexpr uint64_t kFeatureAvx512ifma = 0x100000000;
inline constexpr uint64_t kFeatureAvx512State = 0x200000000;  // the OS saves opmask and ZMM
inline constexpr uint64_t kFeatureAvx512vpopcntdq = 0x400000000;
inline constexpr uint64_t kFeatureAvx512bitalg = 0x800000000;
inline constexpr uint64_t kFeatureAvx512fp16 = 0x1000000000;
inline constexpr uint64_t kFeatureAvxVnni = 0x2000000000;
inline constexpr uint64_t kFeatureAvxVnniInt8 = 0x4000000000;
inline constexpr uint64_t kFeatureAvxVnniInt16 = 0x8000000000;
// Carry-less multiplication on 256- and 512-bit registers. Kept only with the AVX-512 state,
// since its one use here is the 512-bit form (the wide CRC kernels of class 5).
inline constexpr uint64_t kFeatureVpclmulqdq = 0x10000000000;

// The AVX-512 family: cleared together when the OS does not save the AVX-512 state.
inline constexpr uint64_t kFeatureAvx512Family = 0xC6FF00000;

// The five AVX-512 subsets of processor class 5.
inline constexpr uint64_t kClass5Features = kFeatureAvx512f | kFeatureAvx512cd |
                                            kFeatureAvx512bw | kFeatureAvx512dq |
                                            kFeatureAvx512vl;

// The CPUID leaves and the XGETBV value that detection reads. Leaves that the processor does
// not report (leaf 7 below a highest standard leaf of 7, leaf 0x80000001 below a highest
// extended leaf of 0x80000001) and XCR0 without OSXSAVE are never queried and stay zero.
struct ProcessorIdentity {
    CpuidRegisters leaf0;          // EAX: highest standard leaf
    CpuidRegisters leaf1;
    CpuidRegisters leaf7;          // sub-leaf 0
    CpuidRegisters leaf7Sub1;
    CpuidRegisters extendedLeaf0;  // EAX: highest extended leaf
    CpuidRegisters extendedLeaf1;
    uint64_t xcr0 = 0;
};

// Queries this processor.
ProcessorIdentity ReadProcessorIdentity();

// The processor feature mask of an identity. The vendor plays no part.
uint64_t FeaturesOfIdentity(const ProcessorIdentity& identity);

struct ClassChoice {
    int32_t processorClass;
    uint64_t enabledFeatures;  // detected features the OS supports, plus those the class implies
};

// Prunes what the OS does not support (AVX and the AVX2 group without the AVX state, the
// AVX-512 family and VPCLMULQDQ without the AVX-512 state) and picks the highest class the
// rest satisfies. VPCLMULQDQ plays no part in the choice of class.
ClassChoice SelectProcessorClass(uint64_t detectedFeatures);

// This processor's feature mask, detected on the first call and cached afterwards.
uint64_t ProcessorFeatures();

// The processor class, -1 until InitializeProcessorClass has run (acquire order: a thread
// that sees the class also sees the enabled-feature mask).
int32_t CurrentProcessorClass();

// Detects, selects, and publishes the enabled-feature mask and then the class. Lock-free:
// threads that race here store the same values.
void InitializeProcessorClass();

// True when every bit of `features` is in the enabled-feature mask.
bool HasEnabledFeatures(uint64_t features);

// The enabled-feature mask: written only by InitializeProcessorClass, before the class; read
// through EnabledFeatures.
extern std::atomic<uint64_t> g_enabledFeatures;

namespace {  // internal linkage: included by units with different instruction-set flags

// The enabled-feature mask itself (acquire order), for kernels that test several features.
// Inline, so that the CRC entries of classes 2 to 5 read it without a call before they pass
// the buffer on to their carry-less or table path.
inline uint64_t EnabledFeatures()
{
    return g_enabledFeatures.load(std::memory_order_acquire);
}

} // namespace

} // namespace checksum
