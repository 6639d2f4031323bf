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

template <typename Kernel>
void AddDistinct(std::vector<Variant<Kernel>>& variants, Kernel kernel, int32_t processorClass,
                 const char* suffix, bool needsClmul)
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
        {"Class" + std::to_string(processorClass) + suffix, processorClass, needsClmul, kernel});
}

} // namespace

std::vector<CrcVariant> Crc32cVariants()
{
    std::vector<CrcVariant> variants;
    for (int32_t c = 0; c < kProcessorClassCount; ++c) {
        AddDistinct(variants, kKernelsByClass[c].crc32c, c, "", false);
        AddDistinct(variants, kKernelsByClass[c].crc32cClmul, c, "Clmul", true);
        AddDistinct(variants, kKernelsByClass[c].crc32cTables, c, "Tables", false);
    }
    return variants;
}

std::vector<CrcVariant> Crc32Variants()
{
    std::vector<CrcVariant> variants;
    for (int32_t c = 0; c < kProcessorClassCount; ++c) {
        AddDistinct(variants, kKernelsByClass[c].crc32, c, "", false);
        AddDistinct(variants, kKernelsByClass[c].crc32Fold, c, "Fold", true);
    }
    return variants;
}

std::vector<AdlerVariant> Adler32Variants()
{
    std::vector<AdlerVariant> variants;
    for (int32_t c = 0; c < kProcessorClassCount; ++c) {
        AddDistinct(variants, kKernelsByClass[c].adler32, c, "", false);
    }
    return variants;
}

std::vector<ByteSwapVariant> ByteSwapVariants()
{
    std::vector<ByteSwapVariant> variants;
    for (int32_t c = 0; c < kProcessorClassCount; ++c) {
        AddDistinct(variants, kKernelsByClass[c].byteSwap, c, "", false);
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
            cases.push_back({std::string(algorithm) + "_" + v.name, v.processorClass,
                             v.needsClmul, v.kernel, reference, initial});
        }
    };
    add(Crc32cVariants(), "Crc32c", ReferenceCrc32c, 0xFFFFFFFFu);
    add(Crc32Variants(), "Crc32", ReferenceCrc32, 0);
    add(Adler32Variants(), "Adler32", ReferenceAdler32, 1);
    return cases;
}

std::string WhyNotRunnable(int32_t processorClass, bool needsClmul)
{
    const checksum::ClassChoice machine =
        checksum::SelectProcessorClass(checksum::ProcessorFeatures());
    if (processorClass > machine.processorClass) {
        return "this processor is class " + std::to_string(machine.processorClass) +
               ", the variant needs class " + std::to_string(processorClass);
    }
    if (needsClmul && (machine.enabledFeatures & checksum::kFeaturePclmulqdq) == 0) {
        return "this processor lacks PCLMULQDQ";
    }
    // The per-call PCLMULQDQ test of the class 2 to 5 kernels reads the published mask.
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
