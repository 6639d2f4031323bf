// Byte-at-a-time references of the three checksums straight from their definitions (bit by
// bit, no tables), and the variant lists that the kernel suites are instantiated over.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/Sumwise/checksum/kernels.h"

namespace checksum_tests {

// One bit-reflected CRC step per bit of each byte, bit 0 first.
inline uint32_t ReferenceCrc(uint32_t polynomial, uint32_t reg, const uint8_t* data, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        reg ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg >> 1) ^ ((reg & 1u) ? polynomial : 0u);
        }
    }
    return reg;
}

// Raw CRC-32C register, no inversion.
inline uint32_t ReferenceCrc32c(uint32_t reg, const uint8_t* data, size_t length)
{
    return ReferenceCrc(0x82F63B78u, reg, data, length);
}

// Finished CRC-32 continued as zip does.
inline uint32_t ReferenceCrc32(uint32_t crc, const uint8_t* data, size_t length)
{
    return ~ReferenceCrc(0xEDB88320u, ~crc, data, length);
}

inline uint32_t ReferenceAdler32(uint32_t adler, const uint8_t* data, size_t length)
{
    uint32_t s1 = (adler & 0xFFFFu) % 65521;
    uint32_t s2 = (adler >> 16) % 65521;
    for (size_t i = 0; i < length; ++i) {
        s1 = (s1 + data[i]) % 65521;
        s2 = (s2 + s1) % 65521;
    }
    return (s2 << 16) | s1;
}

// A checksum kernel with its reference and the start value of a message: CRC-32C registers
// start at all ones, CRC-32 at 0, Adler-32 at 1. All three kernel types are CrcKernel.
struct ChecksumCase {
    std::string name;  // e.g. "Crc32c_Class2Clmul"
    int32_t processorClass;
    uint64_t needs;    // features beyond the class that the variant uses unconditionally
    checksum::CrcKernel kernel;
    uint32_t (*reference)(uint32_t value, const uint8_t* data, size_t length);
    uint32_t initial;
};

// Test output names the variant instead of dumping its bytes.
inline void PrintTo(const ChecksumCase& c, std::ostream* out)
{
    *out << c.name;
}

template <typename Kernel>
struct Variant {
    std::string name;       // e.g. "Class2Clmul"
    int32_t processorClass; // the lowest class that may run it
    uint64_t needs;         // features beyond the class it uses unconditionally (PCLMULQDQ...)
    Kernel kernel;
};

template <typename Kernel>
void PrintTo(const Variant<Kernel>& variant, std::ostream* out)
{
    *out << variant.name;
}

using CrcVariant = Variant<checksum::CrcKernel>;
using AdlerVariant = Variant<checksum::AdlerKernel>;
using ByteSwapVariant = Variant<checksum::ByteSwapKernel>;

// Every distinct kernel of kKernelsByClass, named after the lowest class that uses it.
std::vector<CrcVariant> Crc32cVariants();
std::vector<CrcVariant> Crc32Variants();
std::vector<AdlerVariant> Adler32Variants();
std::vector<ByteSwapVariant> ByteSwapVariants();

// Every variant of the three checksums as a ChecksumCase.
std::vector<ChecksumCase> AllChecksumCases();

// Empty when this processor can run the variant, else why not (for GTEST_SKIP).
std::string WhyNotRunnable(int32_t processorClass, uint64_t needs);

// Test-name generator for suites instantiated over variants or cases.
template <typename Param>
std::string ParamName(const testing::TestParamInfo<Param>& info)
{
    return info.param.name;
}

// Random bytes from a fixed seed.
std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed);

} // namespace checksum_tests

// Skips the running test visibly when the processor cannot run the variant.
#define ORVO_SKIP_UNLESS_RUNNABLE(variant)                                                 \
    do {                                                                                   \
        const std::string why =                                                            \
            checksum_tests::WhyNotRunnable((variant).processorClass, (variant).needs);      \
        if (!why.empty()) {                                                                \
            GTEST_SKIP() << (variant).name << ": " << why;                                 \
        }                                                                                  \
    } while (false)
