// The yardstick for the CRC-32C kernels: one register, one CRC32 instruction per 8 bytes,
// so each step waits for the previous one (latency-bound).
#include "crc32c_single_stream.h"

#include <immintrin.h>

#include <cstring>

uint32_t Crc32cSingleStream(const uint8_t* data, size_t length, uint32_t crc)
{
    uint64_t reg = crc;
    for (; length >= 8; length -= 8, data += 8) {
        uint64_t word;
        std::memcpy(&word, data, sizeof word);
        reg = _mm_crc32_u64(reg, word);
    }
    for (; length > 0; --length, ++data) {
        reg = _mm_crc32_u8(static_cast<uint32_t>(reg), *data);
    }
    return static_cast<uint32_t>(reg);
}
