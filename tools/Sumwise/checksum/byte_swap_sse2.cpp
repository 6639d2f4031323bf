// Byte swap, processor class 0: SSE2 has no byte shuffle, so each 16-byte block has the bytes
// of its 16-bit halves exchanged by shifts, then the halves of each word by word shuffles.
#include "tools/Sumwise/checksum/byte_swap_blocks.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {
namespace {

struct WordShuffleSwapper {
    template <bool Aligned>
    static size_t Blocks(uint8_t* bytes, size_t count)
    {
        size_t done = 0;
        for (; count - done >= 4; done += 4) {
            uint8_t* p = bytes + 4 * done;
            __m128i v = Load128<Aligned>(p);
            v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
            v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
            v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
            Store128<Aligned>(p, v);
        }
        return done;
    }
};

} // namespace

void ByteSwapSse2(uint32_t* words, size_t count)
{
    ByteSwapBlocked<11, WordShuffleSwapper>(words, count);
}

} // namespace checksum
