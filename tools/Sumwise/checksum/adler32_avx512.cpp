// Adler-32, processor class 5: four 16-byte blocks per pass on 512-bit registers (AVX-512BW
// byte operations). The class 4 pass in EVEX encoding on 256-bit registers was measured
// well behind the peers here; whole 512-bit registers halve the instructions per byte.
#include "tools/Sumwise/checksum/adler32_wide_blocks.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {
namespace {

struct Avx512Lanes {
    using Vector = __m512i;
    static constexpr size_t kBlocks = 4;

    static Vector Zero() { return _mm512_setzero_si512(); }
    static Vector Load(const uint8_t* p) { return _mm512_loadu_si512(p); }
    static Vector ByteSums(Vector bytes) { return _mm512_sad_epu8(bytes, Zero()); }
    static Vector WeightedPairs(Vector bytes)
    {
        // The bytes 16, 15, ..., 1 in each 128-bit lane.
        const __m512i weights =
            _mm512_set4_epi32(0x01020304, 0x05060708, 0x090A0B0C, 0x0D0E0F10);
        return _mm512_maddubs_epi16(bytes, weights);
    }
    static Vector AddPairs(Vector a, Vector b) { return _mm512_add_epi16(a, b); }
    static Vector Add(Vector a, Vector b) { return _mm512_add_epi32(a, b); }
    static Vector Widen(Vector pairs) { return _mm512_madd_epi16(pairs, _mm512_set1_epi16(1)); }
    // The masked extracts: the library's unmasked forms trip GCC 12's uninitialized-value
    // warning inside its own headers.
    static uint32_t Sum(Vector v)
    {
        const __m256i halves = _mm256_add_epi32(_mm512_maskz_extracti64x4_epi64(0xFF, v, 0),
                                                _mm512_maskz_extracti64x4_epi64(0xFF, v, 1));
        return HorizontalSum32(
            _mm_add_epi32(_mm256_castsi256_si128(halves), _mm256_extracti128_si256(halves, 1)));
    }
    // Block k of a pass (128-bit lane k) is followed by 3 - k more.
    static uint32_t LaterBlocks(Vector byteLanes)
    {
        const __m512i laneWeights = _mm512_setr_epi64(48, 48, 32, 32, 16, 16, 0, 0);
        return Sum(_mm512_mullo_epi32(byteLanes, laneWeights));
    }
};

} // namespace

uint32_t Adler32Avx512(const uint8_t* data, size_t length, uint32_t adler)
{
    return Adler32Blocked(data, length, adler, AdlerRunWide<Avx512Lanes>);
}

} // namespace checksum
