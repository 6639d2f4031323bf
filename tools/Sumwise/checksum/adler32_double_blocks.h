// Adler-32 run of processor classes 4 and 5: two 16-byte blocks per pass on 256-bit
// registers, block A in the low lane and block B in the high lane (a run of odd length does
// its first block alone with 128-bit registers).
//
// Two block steps in a row add 32 * s1 + 16 * sum(a) + sum (16 - i) * ai + sum (16 - i) * bi to
// s2. Per lane the pass takes the byte sums (sum of absolute differences against zero) and
// the weighted sums (multiply-add of unsigned bytes by the byte weights 16..1 into 16-bit
// pairs, at most 255 * 31 = 7905). The 16-bit pairs of four passes are added before they are
// widened (at most 31,620, below 2^15), which saves multiply-adds. The 16 * sum(a) terms need
// no work per pass: they are 16 times the low lane of the run's byte sums.
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
    const __m256i weights = _mm256_setr_epi8(16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2,
                                             1, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3,
                                             2, 1);
    const __m256i ones = _mm256_set1_epi16(1);
    __m256i byteLanes = zero;    // four 64-bit lanes: byte sums of each 8-byte quarter
    __m256i prefixLanes = zero;  // sums of byteLanes before each pass
    __m256i weightedLanes = zero;
    // Up to four passes with 16-bit weighted pairs, then one widening multiply-add.
    const auto passGroup = [&](size_t count) {
        __m256i pairs = zero;
        for (size_t k = 0; k < count; ++k, data += 32) {
            // Blocks are 16-byte aligned, not necessarily 32: the unaligned form of the load.
            const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
            prefixLanes = _mm256_add_epi32(prefixLanes, byteLanes);
            byteLanes = _mm256_add_epi32(byteLanes, _mm256_sad_epu8(bytes, zero));
            pairs = _mm256_add_epi16(pairs, _mm256_maddubs_epi16(bytes, weights));
        }
        weightedLanes = _mm256_add_epi32(weightedLanes, _mm256_madd_epi16(pairs, ones));
    };
    size_t left = passes;
    for (; left >= 4; left -= 4) {
        passGroup(4);
    }
    passGroup(left);
    // As in AdlerRun128: every total is part of an s2 below 2^32.
    const uint32_t n = static_cast<uint32_t>(passes);
    const uint32_t lowLaneBytes = HorizontalSum32(_mm256_castsi256_si128(byteLanes));
    return {sums.s1 + HorizontalSum32(byteLanes),
            sums.s2 + 32 * n * sums.s1 + 32 * HorizontalSum32(prefixLanes) + 16 * lowLaneBytes +
                HorizontalSum32(weightedLanes)};
}

} // namespace
} // namespace checksum
