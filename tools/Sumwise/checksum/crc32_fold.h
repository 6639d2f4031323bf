// The CRC-32 folding kernel of processor classes 2 to 5: four 128-bit accumulators folded
// forward by carry-less multiplication over aligned 16-byte blocks, reduced to 64 bits by
// two more products and to 32 bits by eight table lookups. See "Fast CRC Computation for
// Generic Polynomials Using PCLMULQDQ Instruction" (Intel, 2009).
//
// Accumulators hold bit-reflected polynomials; the low 64 bits stand for the first 8 bytes.
// Folding A forward by D bits is clmul(low(A), c(D + 32)) ^ clmul(high(A), c(D - 32)), with
// c(k) = x^k mod P in the 33-bit reflected operand form of tables.h.
//
// Classes 3 and 4 compile this in VEX encoding; class 5 merges each pair of XORs into one
// ternary-logic instruction, still on 128-bit registers: the carry-less products stay in
// their VEX form, since the EVEX form needs VPCLMULQDQ, which class 5 does not require. Where
// the processor has it, the class 5 entry hands long buffers to the 512-bit kernel instead.
//
// Included only by units compiled with PCLMULQDQ (crc32_fold_<isa>.cpp and the 512-bit
// kernel), which the class entries (crc32_<isa>.cpp) call only when it is enabled.
// Internal linkage throughout, as in byte_steps.h.
#pragma once
#include <immintrin.h>

#include "tools/Sumwise/checksum/byte_steps.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {
namespace {

constexpr uint64_t kFoldC544 = ReflectedPowerOfX(kCrc32Polynomial, 544);
constexpr uint64_t kFoldC480 = ReflectedPowerOfX(kCrc32Polynomial, 480);
constexpr uint64_t kFoldC288 = ReflectedPowerOfX(kCrc32Polynomial, 288);
constexpr uint64_t kFoldC224 = ReflectedPowerOfX(kCrc32Polynomial, 224);
constexpr uint64_t kFoldC160 = ReflectedPowerOfX(kCrc32Polynomial, 160);
constexpr uint64_t kFoldC96 = ReflectedPowerOfX(kCrc32Polynomial, 96);
constexpr uint64_t kFoldC64 = ReflectedPowerOfX(kCrc32Polynomial, 64);

inline __m128i Xor3(__m128i a, __m128i b, __m128i c)
{
#if defined(__AVX512VL__)
    return _mm_ternarylogic_epi64(a, b, c, 0x96);  // a ^ b ^ c
#else
    return _mm_xor_si128(_mm_xor_si128(a, b), c);
#endif
}

// constants: c(D + 32) in the low half, c(D - 32) in the high half.
inline __m128i FoldXor(__m128i accumulator, __m128i constants, __m128i addend)
{
    return Xor3(_mm_clmulepi64_si128(accumulator, constants, 0x00),
                _mm_clmulepi64_si128(accumulator, constants, 0x11), addend);
}

inline __m128i LoadBlock(const uint8_t* p)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}

// The 64-bit value that stands for the 128 bits of x: high(x) ^ x[0:31] * c(96) ^ x[32:63] * c(64).
inline __m128i ReduceTo64(__m128i x, __m128i addend)
{
    const __m128i halves = _mm_unpacklo_epi32(x, _mm_setzero_si128());  // x[0:31], x[32:63]
    return FoldXor(halves, _mm_set_epi64x(kFoldC64, kFoldC96), addend);
}

inline uint32_t Crc32Fold(const uint8_t* data, size_t length, uint32_t crc)
{
    uint32_t reg = ~crc;
    const size_t s = reinterpret_cast<uintptr_t>(data) & 15;
    if (length < 32 - s) {
        return ~Crc32ByteSteps(reg, data, length);
    }

    // The first two blocks begin at the 16-byte boundary at or below the data; the s bytes in
    // front of the data count as zero and are not read. The register enters by XOR with the
    // first 4 bytes of the data.
    alignas(16) uint8_t window[32] = {};
    std::memcpy(window + s, data, 32 - s);
    const uint32_t first = LoadLe32(window + s) ^ reg;
    std::memcpy(window + s, &first, sizeof first);
    __m128i a0 = LoadBlock(window);
    __m128i a1 = LoadBlock(window + 16);
    size_t done = 32 - s;  // data + done is 16-byte aligned from here on

    const __m128i k512 = _mm_set_epi64x(kFoldC480, kFoldC544);
    const __m128i k256 = _mm_set_epi64x(kFoldC224, kFoldC288);
    const __m128i k128 = _mm_set_epi64x(kFoldC96, kFoldC160);
    if (length >= done + 32) {
        __m128i a2 = LoadBlock(data + done);
        __m128i a3 = LoadBlock(data + done + 16);
        done += 32;
        const auto fold64Bytes = [&] {
            a0 = FoldXor(a0, k512, LoadBlock(data + done));
            a1 = FoldXor(a1, k512, LoadBlock(data + done + 16));
            a2 = FoldXor(a2, k512, LoadBlock(data + done + 32));
            a3 = FoldXor(a3, k512, LoadBlock(data + done + 48));
            done += 64;
        };
        while (length >= done + 256) {  // four independent steps per 256-byte pass
            fold64Bytes();
            fold64Bytes();
            fold64Bytes();
            fold64Bytes();
        }
        while (length >= done + 64) {
            fold64Bytes();
        }
        a0 = FoldXor(a0, k256, a2);
        a1 = FoldXor(a1, k256, a3);
    }
    if (length >= done + 32) {
        a0 = FoldXor(a0, k256, LoadBlock(data + done));
        a1 = FoldXor(a1, k256, LoadBlock(data + done + 16));
        done += 32;
    }
    __m128i x = FoldXor(a0, k128, a1);
    if (length >= done + 16) {
        x = FoldXor(x, k128, LoadBlock(data + done));
        done += 16;
    }
    __m128i t = ReduceTo64(x, _mm_srli_si128(x, 8));
    if (length >= done + 8) {
        t = ReduceTo64(t, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(data + done)));
        done += 8;
    }
    reg = Crc32OfWord(static_cast<uint64_t>(_mm_cvtsi128_si64(t)));
    return ~Crc32ByteSteps(reg, data + done, length - done);
}

} // namespace
} // namespace checksum
