// The byte-swap algorithm shared by every processor class: short inputs word by word;
// longer ones in vector blocks with a word-by-word remainder. When the words are 4-byte
// aligned, single words are swapped up to a 16-byte boundary so the blocks use aligned
// accesses; otherwise the blocks use unaligned accesses from the start.
// Internal linkage throughout, as in byte_steps.h.
#pragma once
#include <immintrin.h>

#include "tools/Sumwise/checksum/byte_steps.h"

namespace checksum {
namespace {

// Words here may sit at any address, so they are accessed by memcpy.
inline void SwapWordsOneByOne(uint8_t* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i, bytes += 4) {
        const uint32_t swapped = __builtin_bswap32(LoadLe32(bytes));
        std::memcpy(bytes, &swapped, sizeof swapped);
    }
}

template <bool Aligned>
inline __m128i Load128(const uint8_t* p)
{
    const auto* v = reinterpret_cast<const __m128i*>(p);
    return Aligned ? _mm_load_si128(v) : _mm_loadu_si128(v);
}

template <bool Aligned>
inline void Store128(uint8_t* p, __m128i value)
{
    auto* v = reinterpret_cast<__m128i*>(p);
    if (Aligned) {
        _mm_store_si128(v, value);
    } else {
        _mm_storeu_si128(v, value);
    }
}

// Swapper: a type with `template <bool Aligned> static size_t Blocks(uint8_t*, size_t count)`
// that swaps whole vector blocks from the start and returns the number of words it did.
template <size_t ShortWords, typename Swapper>
inline void ByteSwapBlocked(uint32_t* words, size_t count)
{
    auto* bytes = reinterpret_cast<uint8_t*>(words);
    if (count <= ShortWords) {
        SwapWordsOneByOne(bytes, count);
        return;
    }
    size_t done;
    if ((reinterpret_cast<uintptr_t>(bytes) & 3) == 0) {
        const size_t lead = BytesToAlignment(bytes, 16) / 4;
        SwapWordsOneByOne(bytes, lead);
        bytes += 4 * lead;
        count -= lead;
        done = Swapper::template Blocks<true>(bytes, count);
    } else {
        done = Swapper::template Blocks<false>(bytes, count);
    }
    SwapWordsOneByOne(bytes + 4 * done, count - done);
}

#if defined(__SSSE3__)
// Byte shuffle of 16-byte blocks (classes 1 to 3): one pshufb per block.
struct ShuffleSwapper128 {
    template <bool Aligned>
    static size_t Blocks(uint8_t* bytes, size_t count)
    {
        const __m128i reverse = _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
        size_t done = 0;
        for (; count - done >= 4; done += 4) {
            uint8_t* p = bytes + 4 * done;
            Store128<Aligned>(p, _mm_shuffle_epi8(Load128<Aligned>(p), reverse));
        }
        return done;
    }
};
#endif

} // namespace
} // namespace checksum
