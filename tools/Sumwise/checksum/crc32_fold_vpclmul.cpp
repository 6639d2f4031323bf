// CRC-32 on 512-bit registers, for class 5 processors with VPCLMULQDQ: the folding of
// crc_fold_512.h, then the 128-bit kernel's reduction to 64 bits and its eight table lookups.
#include "tools/Sumwise/checksum/crc32_fold.h"
#include "tools/Sumwise/checksum/crc_fold_512.h"

namespace checksum {

uint32_t Crc32Vpclmul(const uint8_t* data, size_t length, uint32_t crc)
{
    const size_t head = WideFoldHead(data);
    if (length < kWideFoldMinLength + head) {
        return Crc32Avx512Fold(data, length, crc);
    }
    const uint32_t entering = Crc32ByteSteps(~crc, data, head);
    const WideFold folded = FoldWide(data + head, length - head, entering, kCrc32WideFold);
    const __m128i word = ReduceTo64(folded.block, _mm_srli_si128(folded.block, 8));
    const uint32_t reg = Crc32OfWord(static_cast<uint64_t>(_mm_cvtsi128_si64(word)));
    return ~Crc32ByteSteps(reg, data + length - folded.rest, folded.rest);
}

} // namespace checksum
