// Byte swap of processor classes 4 and 5: 32-byte blocks with one 256-bit byte shuffle each,
// then at most one 16-byte block. 256-bit accesses are unaligned ones, since the blocks start
// on a 16-byte boundary only. Internal linkage, as in byte_steps.h.
#pragma once
#include "tools/Sumwise/checksum/byte_swap_blocks.h"

namespace checksum {
namespace {

struct ShuffleSwapper256 {
    template <bool Aligned>
    static size_t Blocks(uint8_t* bytes, size_t count)
    {
        const __m256i reverse = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14,
                                                 13, 12, 3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8,
                                                 15, 14, 13, 12);
        size_t done = 0;
        for (; count - done >= 8; done += 8) {
            auto* p = reinterpret_cast<__m256i*>(bytes + 4 * done);
            _mm256_storeu_si256(p, _mm256_shuffle_epi8(_mm256_loadu_si256(p), reverse));
        }
        return done + ShuffleSwapper128::Blocks<Aligned>(bytes + 4 * done, count - done);
    }
};

} // namespace
} // namespace checksum
