// CRC-32C steps with the SSE4.2 CRC32 instruction, shared by the kernels of classes 2 to 5:
// one 8-byte word, single bytes, and the tail of whole words plus 4-, 2- and 1-byte steps.
// Internal linkage throughout, as in byte_steps.h.
#pragma once
#include <immintrin.h>

#include "tools/Sumwise/checksum/byte_steps.h"

namespace checksum {
namespace {

// The register is kept in 64 bits (the instruction clears the upper half), so that no
// zero-extending move lengthens the chain of dependent steps.
inline uint64_t Crc32cWord(uint64_t crc, const uint8_t* p)
{
    return _mm_crc32_u64(crc, LoadLe64(p));
}

// 1-byte instruction steps, for the bytes up to an 8-byte boundary.
inline uint32_t Crc32cInstructionBytes(uint32_t crc, const uint8_t* data, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        crc = _mm_crc32_u8(crc, data[i]);
    }
    return crc;
}

// Whole words with 8-byte steps, then one 4-, 2- and 1-byte step by the bits of the rest.
inline uint32_t Crc32cTail(uint32_t crc, const uint8_t* data, size_t length)
{
    uint64_t wide = crc;
    for (; length >= 8; length -= 8, data += 8) {
        wide = Crc32cWord(wide, data);
    }
    crc = static_cast<uint32_t>(wide);
    if (length & 4) {
        crc = _mm_crc32_u32(crc, LoadLe32(data));
        data += 4;
    }
    if (length & 2) {
        uint16_t half;
        std::memcpy(&half, data, sizeof half);
        crc = _mm_crc32_u16(crc, half);
        data += 2;
    }
    if (length & 1) {
        crc = _mm_crc32_u8(crc, *data);
    }
    return crc;
}

} // namespace
} // namespace checksum
