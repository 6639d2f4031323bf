// Variant lists and helpers of reference.h.
#include <gtest/gtest.h>

#include "reference.h"

#include <random>

#include "tools/Sumwise/checksum/cpu_features.h"

namespace checksum_tests {
namespace {

using checksum::ClassKernels;
using checksum::kKernelsByClass;
using checksum::kProcessorClassCount;

constexpr uint64_t kNone = 0;
constexpr uint64_t kClmul = checksum::kFeaturePclmulqdq;
constexpr uint64_t kWide = checksum::kWideCrcFeatures;

template <typename Kernel>
void AddDistinct(std::vector<Variant<Kernel>>& variants, Kernel kernel, int32_t processorClass,
                 const char* suffix, uint64_t needs)
{
    if (kernel == nullptr) {
        return;
    }
    for (const auto& known : variants) {
        if (known.kernel == kernel) {
            return;
        }
    }
    variants.push_back(
        {"Class" + std::to_string(processorClass) + suffix, processorClass, needs, kernel});
}

} // namespace

std::vector<CrcVariant> Crc32cVariants()
{
    std::vector<CrcVariant> variants;
    for (int32_t c = 0; c < kProcessorClassCount; ++c) {
        AddDistinct(variants, kKernelsByClass[c].crc32c, c, "", kNone);
        AddDistinct(variants, kKernelsByClass[c].crc32cClmul, c, "Clmul", kClmul);
        AddDistinct(variants, kKernelsByClass[c].crc32cTables, c, "Tables", kNone);
        AddDistinct(variants, kKernelsByClass[c].crc32cWide, c, "Wide", kWide);
    }
    return variants;
}

std::vector<CrcVariant> Crc32Variants()
{
    std::vector<CrcVariant> variants;
    for (int32_t c = 0; c < kProcessorClassCount; ++c) {
        AddDistinct(variants, kKernelsByClass[c].crc32, c, "", kNone);
        AddDistinct(variants, kKernelsByClass[c].crc32Fold, c, "Fold", kClmul);
        AddDistinct(variants, kKernelsByClass[c].crc32Wide, c, "Wide", kWide);
    }
    return variants;
}

std::vector<AdlerVariant> Adler32Variants()
{
    std::vector<AdlerVariant> variants;
    for (int32_t c = 0; c < kProcessorClassCount; ++c) {
        AddDistinct(variants, kKernelsByClass[c].adler32, c, "", kNone);
    }
    return variants;
}

std::vector<ByteSwapVariant> ByteSwapVariants()
{
    std::vector<ByteSwapVariant> variants;
    for (int32_t c = 0; c < kProcessorClassCount; ++c) {
        AddDistinct(variants, kKernelsByClass[c].byteSwap, c, "", kNone);
    }
    return variants;
}

std::vector<ChecksumCase> AllChecksumCases()
{
    std::vector<ChecksumCase> cases;
    const auto add = [&cases](const std::vector<CrcVariant>& variants, const char* algorithm,
                              uint32_t (*reference)(uint32_t, const uint8_t*, size_t),
                              uint32_t initial) {
        for (const auto& v : variants) {
            cases.push_back({std::string(algorithm) + "_" + v.name, v.processorClass, v.needs,
                             v.kernel, reference, initial});
        }
    };
    add(Crc32cVariants(), "Crc32c", ReferenceCrc32c, 0xFFFFFFFFu);
    add(Crc32Variants(), "Crc32", ReferenceCrc32, 0);
    add(Adler32Variants(), "Adler32", ReferenceAdler32, 1);
    return cases;
}

std::string WhyNotRunnable(int32_t processorClass, uint64_t needs)
{
    const checksum::ClassChoice machine =
        checksum::SelectProcessorClass(checksum::ProcessorFeatures());
    if (processorClass > machine.processorClass) {
        return "this processor is class " + std::to_string(machine.processorClass) +
               ", the variant needs class " + std::to_string(processorClass);
    }
    if ((needs & checksum::kFeaturePclmulqdq) != 0 &&
        (machine.enabledFeatures & checksum::kFeaturePclmulqdq) == 0) {
        return "this processor lacks PCLMULQDQ";
    }
    if ((machine.enabledFeatures & needs) != needs) {
        return "this processor lacks VPCLMULQDQ with the AVX-512 state";
    }
    // The per-call feature tests of the class 2 to 5 kernels read the published mask.
    checksum::InitializeProcessorClass();
    return {};
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes) {
        b = static_cast<uint8_t>(generator());
    }
    return bytes;
}

} // namespace checksum_tests
