// Adler-32, processor class 4: two 16-byte blocks per pass on 256-bit AVX2 registers.
#include "tools/Sumwise/checksum/adler32_wide_blocks.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {
namespace {

struct Avx2Lanes {
    using Vector = __m256i;
    static constexpr size_t kBlocks = 2;

    static Vector Zero() { return _mm256_setzero_si256(); }
    // Blocks are 16-byte aligned, not necessarily 32: the unaligned form of the load.
    static Vector Load(const uint8_t* p)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    static Vector ByteSums(Vector bytes) { return _mm256_sad_epu8(bytes, Zero()); }
    static Vector WeightedPairs(Vector bytes)
    {
        const __m256i weights = _mm256_setr_epi8(16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4,
                                                 3, 2, 1, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7,
                                                 6, 5, 4, 3, 2, 1);
        return _mm256_maddubs_epi16(bytes, weights);
    }
    static Vector AddPairs(Vector a, Vector b) { return _mm256_add_epi16(a, b); }
    static Vector Add(Vector a, Vector b) { return _mm256_add_epi32(a, b); }
    static Vector Widen(Vector pairs) { return _mm256_madd_epi16(pairs, _mm256_set1_epi16(1)); }
    static uint32_t Sum(Vector v)
    {
        return HorizontalSum32(
            _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
    }
    // The first block of each pass is followed by one more.
    static uint32_t LaterBlocks(Vector byteLanes)
    {
        return 16 * HorizontalSum32(_mm256_castsi256_si128(byteLanes));
    }
};

} // namespace

uint32_t Adler32Avx2(const uint8_t* data, size_t length, uint32_t adler)
{
    return Adler32Blocked(data, length, adler, AdlerRunWide<Avx2Lanes>);
}

} // namespace checksum
