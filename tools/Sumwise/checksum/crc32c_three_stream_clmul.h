// The three-stream CRC-32C kernel of crc32c_three_stream.h with its registers combined by
// carry-less multiplication: for the units of classes 2 to 5 compiled with PCLMULQDQ, which
// the class entries call only when it is enabled. Internal linkage, as in byte_steps.h.
#pragma once
#include <immintrin.h>

#include "tools/Sumwise/checksum/crc32c_three_stream.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {
namespace {

// Full blocks of the carry-less kernel: three streams of 128 words (3072 bytes).
constexpr size_t kMaxStreamWords = 128;

// r3 advanced over last(S3) ^ clmul(r1, K1(n)) ^ clmul(r2, K2(n)).
inline uint32_t CombineByClmul(StreamRegisters r, size_t n, uint64_t lastWord)
{
    const __m128i registers = _mm_set_epi64x(r.r2, r.r1);
    const __m128i constants =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(kCrc32cTables.combine[n]));
    const __m128i products = _mm_xor_si128(_mm_clmulepi64_si128(registers, constants, 0x00),
                                           _mm_clmulepi64_si128(registers, constants, 0x11));
    const uint64_t v = static_cast<uint64_t>(_mm_cvtsi128_si64(products)) ^ lastWord;
    return static_cast<uint32_t>(_mm_crc32_u64(r.r3, v));
}

inline uint32_t Crc32cThreeStreamClmul(const uint8_t* data, size_t length, uint32_t crc)
{
    if (length >= 8) {
        const size_t head = BytesToAlignment(data, 8);
        crc = Crc32cInstructionBytes(crc, data, head);
        data += head;
        length -= head;
        while (length >= 24) {
            // n = length / 24 below 3072, by a multiplication that is exact in that range.
            const size_t n = length >= 24 * kMaxStreamWords ? kMaxStreamWords
                                                            : (length * 2731) >> 16;
            const size_t blockBytes = 24 * n;
            if (n <= 3) {
                // Too short for three streams to pay for their combination.
                crc = Crc32cTail(crc, data, blockBytes);
            } else {
                const StreamRegisters r = RunThreeStreams(data, n, crc);
                crc = CombineByClmul(r, n, LoadLe64(data + blockBytes - 8));
            }
            data += blockBytes;
            length -= blockBytes;
        }
    }
    return Crc32cTail(crc, data, length);
}

} // namespace
} // namespace checksum
