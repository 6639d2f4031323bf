// The Adler-32 algorithm that every processor class runs (RFC 1950): byte steps up to a
// 16-byte boundary, runs of at most 346 aligned 16-byte blocks summed in vector registers,
// each run followed by a reduction modulo 65521, and byte steps over the rest.
//
// Why 346 blocks: between two reductions at most 15 alignment bytes and 5536 run bytes are
// summed, and for 5551 bytes of 255 from s1 = s2 = 65535 the sum s2 still stays below 2^32.
//
// Block step over bytes b0..b15: s2 += 16 * s1 + sum (16 - i) * bi; s1 += sum bi. Over a run
// of N blocks the vector code keeps, per lane, the byte sums (s1 lanes), the sum of the s1
// lanes before each block (prefix lanes) and the weighted sums (s2 lanes), so that
// s2 = s2 + 16 * N * s1 + 16 * prefix + weighted and s1 = s1 + bytes: no per-block shift.
//
// Internal linkage throughout, as in byte_steps.h.
#pragma once
#include <immintrin.h>

#include "tools/Sumwise/checksum/byte_steps.h"

namespace checksum {
namespace {

inline constexpr size_t kAdlerRunBlocks = 346;

inline uint32_t HorizontalSum32(__m128i v)
{
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
}

// The sixteen bytes widened to 16 bits, by zero extension where SSE4.1 is available and by
// unpacking with zero otherwise, and multiplied by the weights 16..1 in 32-bit pairs.
inline __m128i WeightedBytes(__m128i bytes)
{
    const __m128i weightsFirst = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i weightsSecond = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
#if defined(__SSE4_1__)
    const __m128i first = _mm_cvtepu8_epi16(bytes);
    const __m128i second = _mm_cvtepu8_epi16(_mm_srli_si128(bytes, 8));
#else
    const __m128i first = _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
    const __m128i second = _mm_unpackhi_epi8(bytes, _mm_setzero_si128());
#endif
    return _mm_add_epi32(_mm_madd_epi16(first, weightsFirst),
                         _mm_madd_epi16(second, weightsSecond));
}

// N block steps with 128-bit registers, one block per pass; N at most kAdlerRunBlocks.
inline AdlerSums AdlerRun128(AdlerSums sums, const uint8_t* data, size_t blocks)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i byteLanes = zero;    // two 64-bit lanes: byte sums of each 8-byte half
    __m128i prefixLanes = zero;
    __m128i weightedLanes = zero;
    for (size_t i = 0; i < blocks; ++i, data += 16) {
        const __m128i bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(data));
        prefixLanes = _mm_add_epi32(prefixLanes, byteLanes);
        byteLanes = _mm_add_epi32(byteLanes, _mm_sad_epu8(bytes, zero));
        weightedLanes = _mm_add_epi32(weightedLanes, WeightedBytes(bytes));
    }
    // Each total is part of an s2 that stays below 2^32, so 32-bit arithmetic is exact.
    const uint32_t n = static_cast<uint32_t>(blocks);
    return {sums.s1 + HorizontalSum32(byteLanes),
            sums.s2 + 16 * n * sums.s1 + 16 * HorizontalSum32(prefixLanes) +
                HorizontalSum32(weightedLanes)};
}

// The whole kernel around a run function (sums, aligned data, blocks) -> sums.
template <typename RunBlocks>
inline uint32_t Adler32Blocked(const uint8_t* data, size_t length, uint32_t adler,
                               RunBlocks runBlocks)
{
    AdlerSums sums{adler & 0xFFFFu, adler >> 16};
    if (length >= 31) {
        const size_t head = BytesToAlignment(data, 16);
        sums = AdlerByteSteps(sums, data, head);
        data += head;
        length -= head;
        for (size_t blocks = length / 16; blocks > 0;) {
            const size_t run = blocks < kAdlerRunBlocks ? blocks : kAdlerRunBlocks;
            sums = AdlerReduce(runBlocks(sums, data, run));
            data += 16 * run;
            length -= 16 * run;
            blocks -= run;
        }
    }
    return AdlerValue(AdlerByteSteps(sums, data, length));
}

} // namespace
} // namespace checksum
