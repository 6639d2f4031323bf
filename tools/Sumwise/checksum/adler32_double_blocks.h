// Adler-32 run of processor classes 4 and 5: two 16-byte blocks per pass on 256-bit
// registers (a run of odd length does its first block alone with 128-bit registers).
//
// Two block steps A, B in a row add 32 * s1 + sum (32 - i) * ai + sum (16 - i) * bi to s2, so a
// pass treats its 32 bytes as one block with weights 32..1. The weighted sums come from a
// multiply-add of unsigned bytes by signed byte weights into 16-bit pairs (at most
// 255 * 63 = 16065, no saturation), then a multiply-add by ones into 32-bit lanes.
// Internal linkage throughout, as in byte_steps.h.
#pragma once
#include "tools/Sumwise/checksum/adler32_blocked.h"

namespace checksum {
namespace {

inline uint32_t HorizontalSum32(__m256i v)
{
    return HorizontalSum32(
        _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
}

inline AdlerSums AdlerRun256(AdlerSums sums, const uint8_t* data, size_t blocks)
{
    if (blocks & 1) {
        sums = AdlerRun128(sums, data, 1);
        data += 16;
    }
    const size_t passes = blocks / 2;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i weights = _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21,
                                             20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8,
                                             7, 6, 5, 4, 3, 2, 1);
    const __m256i ones = _mm256_set1_epi16(1);
    __m256i byteLanes = zero;
    __m256i prefixLanes = zero;
    __m256i weightedLanes = zero;
    for (size_t i = 0; i < passes; ++i, data += 32) {
        // Blocks are 16-byte aligned, not necessarily 32: the unaligned form of the load.
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
        prefixLanes = _mm256_add_epi32(prefixLanes, byteLanes);
        byteLanes = _mm256_add_epi32(byteLanes, _mm256_sad_epu8(bytes, zero));
        weightedLanes = _mm256_add_epi32(
            weightedLanes, _mm256_madd_epi16(_mm256_maddubs_epi16(bytes, weights), ones));
    }
    // As in AdlerRun128: every total is part of an s2 below 2^32.
    const uint32_t n = static_cast<uint32_t>(passes);
    return {sums.s1 + HorizontalSum32(byteLanes),
            sums.s2 + 32 * n * sums.s1 + 32 * HorizontalSum32(prefixLanes) +
                HorizontalSum32(weightedLanes)};
}

} // namespace
} // namespace checksum
