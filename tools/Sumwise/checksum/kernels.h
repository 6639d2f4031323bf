// The kernel variants of every processor class, and the table of them by class: what the
// dispatch tables are built from, and how tests call each class's variant directly.
//
// Kernel arguments are already checked: data is not null.
#pragma once
#include <cstddef>
#include <cstdint>

#include "tools/Sumwise/checksum/cpu_features.h"

namespace checksum {

// Advances a raw CRC-32C register, or continues a finished CRC-32, over `length` bytes (the
// entries pass at least 1; 0 returns the value unchanged).
using CrcKernel = uint32_t (*)(const uint8_t* data, size_t length, uint32_t crc);
// Continues an Adler-32 over length >= 0 bytes; length 0 only normalises the value.
using AdlerKernel = uint32_t (*)(const uint8_t* data, size_t length, uint32_t adler);
// Reverses the bytes of count >= 1 32-bit words in place, at any address.
using ByteSwapKernel = void (*)(uint32_t* words, size_t count);

// Classes 0 and 1.
uint32_t Crc32cSlicing4(const uint8_t* data, size_t length, uint32_t crc);
uint32_t Crc32Slicing8(const uint8_t* data, size_t length, uint32_t crc);
uint32_t Adler32Sse2(const uint8_t* data, size_t length, uint32_t adler);
void ByteSwapSse2(uint32_t* words, size_t count);
void ByteSwapSsse3(uint32_t* words, size_t count);  // also class 2

// Classes 2 to 5, one set per encoding. CrcXxx tests PCLMULQDQ in the enabled-feature mask on
// each call and takes the carry-less (Clmul, Fold) or the table-based path; the paths are
// also exported on their own so that tests run both on one machine. Only the carry-less paths
// are compiled with PCLMULQDQ, in units of their own (crc32c_clmul_<isa>.cpp,
// crc32_fold_<isa>.cpp); the entries and the table paths have their class's flags alone.
#define ORVO_DECLARE_CLASS_KERNELS(isa)                                                   \
    uint32_t Crc32c##isa(const uint8_t* data, size_t length, uint32_t crc);               \
    uint32_t Crc32c##isa##Clmul(const uint8_t* data, size_t length, uint32_t crc);        \
    uint32_t Crc32c##isa##Tables(const uint8_t* data, size_t length, uint32_t crc);       \
    uint32_t Crc32##isa(const uint8_t* data, size_t length, uint32_t crc);                \
    uint32_t Crc32##isa##Fold(const uint8_t* data, size_t length, uint32_t crc)
ORVO_DECLARE_CLASS_KERNELS(Sse42);
ORVO_DECLARE_CLASS_KERNELS(Avx);
ORVO_DECLARE_CLASS_KERNELS(Avx2);
ORVO_DECLARE_CLASS_KERNELS(Avx512);
#undef ORVO_DECLARE_CLASS_KERNELS

// Defines the CRC kernel `name` declared here as a call of `...`, an internal-linkage kernel
// or path choice, so that each unit runs the copy compiled with its own flags. Used at global
// scope by the one-line kernel units of classes 2 to 5.
#define ORVO_DEFINE_CRC_KERNEL(name, ...)                                                  \
    namespace checksum {                                                                   \
    uint32_t name(const uint8_t* data, size_t length, uint32_t crc)                        \
    {                                                                                      \
        return __VA_ARGS__(data, length, crc);                                             \
    }                                                                                      \
    }

// Class 5 on processors with VPCLMULQDQ: the CRC kernels on 512-bit registers. The class 5
// kernels above hand them buffers of at least the crossover length and keep shorter ones,
// for which the 128-bit kernels measure faster; given fewer than 64 bytes the wide kernels
// run the class 5 carry-less kernels themselves (up to 66 when the data begins just before
// a 64-byte boundary).
uint32_t Crc32cVpclmul(const uint8_t* data, size_t length, uint32_t crc);
uint32_t Crc32Vpclmul(const uint8_t* data, size_t length, uint32_t crc);
inline constexpr uint64_t kWideCrcFeatures = kFeatureVpclmulqdq | kFeaturePclmulqdq;
// From the benchmark's --crossover sweep: the wide CRC-32 kernel measured ahead from 64 bytes;
// the wide CRC-32C kernel even with the CRC32-instruction kernel at 64 and ahead from 72.
inline constexpr size_t kWideCrc32cCrossover = 72;
inline constexpr size_t kWideCrc32Crossover = 64;

namespace {  // internal linkage: included by units with different instruction-set flags

// True when the class 5 CRC kernels hand `length` bytes to their wide kernel (crossover
// `crossover`) under the enabled-feature mask `enabledFeatures`; else they keep the
// 128-bit or table kernels.
constexpr bool UsesWideCrcKernel(uint64_t enabledFeatures, size_t length, size_t crossover)
{
    return length >= crossover && (enabledFeatures & kWideCrcFeatures) == kWideCrcFeatures;
}

} // namespace

uint32_t Adler32Sse41(const uint8_t* data, size_t length, uint32_t adler);
uint32_t Adler32Avx(const uint8_t* data, size_t length, uint32_t adler);
uint32_t Adler32Avx2(const uint8_t* data, size_t length, uint32_t adler);
uint32_t Adler32Avx512(const uint8_t* data, size_t length, uint32_t adler);
void ByteSwapAvx(uint32_t* words, size_t count);
void ByteSwapAvx2(uint32_t* words, size_t count);
void ByteSwapAvx512(uint32_t* words, size_t count);

struct ClassKernels {
    CrcKernel crc32c;
    CrcKernel crc32cClmul;   // classes 2 to 5 only, else null
    CrcKernel crc32cTables;  // classes 2 to 5 only, else null
    CrcKernel crc32cWide;    // class 5 only, else null
    CrcKernel crc32;
    CrcKernel crc32Fold;     // classes 2 to 5 only, else null
    CrcKernel crc32Wide;     // class 5 only, else null
    AdlerKernel adler32;
    ByteSwapKernel byteSwap;
};

inline constexpr int32_t kProcessorClassCount = 6;

// The variants of class 0 to 5: the dispatch tables are built from this, and tests call it.
inline constexpr ClassKernels kKernelsByClass[kProcessorClassCount] = {
    {Crc32cSlicing4, nullptr, nullptr, nullptr, Crc32Slicing8, nullptr, nullptr, Adler32Sse2,
     ByteSwapSse2},
    {Crc32cSlicing4, nullptr, nullptr, nullptr, Crc32Slicing8, nullptr, nullptr, Adler32Sse2,
     ByteSwapSsse3},
    {Crc32cSse42, Crc32cSse42Clmul, Crc32cSse42Tables, nullptr, Crc32Sse42, Crc32Sse42Fold,
     nullptr, Adler32Sse41, ByteSwapSsse3},
    {Crc32cAvx, Crc32cAvxClmul, Crc32cAvxTables, nullptr, Crc32Avx, Crc32AvxFold, nullptr,
     Adler32Avx, ByteSwapAvx},
    {Crc32cAvx2, Crc32cAvx2Clmul, Crc32cAvx2Tables, nullptr, Crc32Avx2, Crc32Avx2Fold, nullptr,
     Adler32Avx2, ByteSwapAvx2},
    {Crc32cAvx512, Crc32cAvx512Clmul, Crc32cAvx512Tables, Crc32cVpclmul, Crc32Avx512,
     Crc32Avx512Fold, Crc32Vpclmul, Adler32Avx512, ByteSwapAvx512},
};

} // namespace checksum
