// Byte-at-a-time steps and unaligned little-endian loads shared by the kernels of every class.
//
// Everything here has internal linkage on purpose: this header is included by translation
// units compiled with different instruction-set flags, and an inline function with external
// linkage would be emitted by each of them and merged by the linker into one copy, possibly
// one that uses instructions the running processor lacks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tools/Sumwise/checksum/tables.h"

namespace checksum {
namespace {

inline uint32_t LoadLe32(const uint8_t* p)
{
    uint32_t value;
    std::memcpy(&value, p, sizeof value);  // x86-64 is little-endian
    return value;
}

inline uint64_t LoadLe64(const uint8_t* p)
{
    uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// register = (register >> 8) ^ T0[(register ^ byte) & 0xFF], over each byte in turn.
inline uint32_t CrcByteSteps(const uint32_t* byteTable, uint32_t crc, const uint8_t* data,
                             size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        crc = (crc >> 8) ^ byteTable[(crc ^ data[i]) & 0xFFu];
    }
    return crc;
}

inline uint32_t Crc32cByteSteps(uint32_t crc, const uint8_t* data, size_t length)
{
    return CrcByteSteps(kCrc32cTables.slicing[0], crc, data, length);
}

inline uint32_t Crc32ByteSteps(uint32_t crc, const uint8_t* data, size_t length)
{
    return CrcByteSteps(kCrc32Tables.slicing[0], crc, data, length);
}

// CRC-32 of the 8 bytes of a little-endian word from a zero register: eight lookups.
inline uint32_t Crc32OfWord(uint64_t word)
{
    const auto& t = kCrc32Tables.slicing;
    const uint32_t low = static_cast<uint32_t>(word);
    const uint32_t high = static_cast<uint32_t>(word >> 32);
    return t[7][low & 0xFFu] ^ t[6][(low >> 8) & 0xFFu] ^ t[5][(low >> 16) & 0xFFu] ^
           t[4][low >> 24] ^ t[3][high & 0xFFu] ^ t[2][(high >> 8) & 0xFFu] ^
           t[1][(high >> 16) & 0xFFu] ^ t[0][high >> 24];
}

inline constexpr uint32_t kAdlerModulus = 65521;

// Adler-32 running sums, both below 2^32 between reductions.
struct AdlerSums {
    uint32_t s1;
    uint32_t s2;
};

// s1 += byte, s2 += s1 over each byte; eight bytes per pass while eight or more remain.
inline AdlerSums AdlerByteSteps(AdlerSums sums, const uint8_t* data, size_t length)
{
    uint32_t s1 = sums.s1;
    uint32_t s2 = sums.s2;
    for (; length >= 8; length -= 8, data += 8) {
        s1 += data[0]; s2 += s1;
        s1 += data[1]; s2 += s1;
        s1 += data[2]; s2 += s1;
        s1 += data[3]; s2 += s1;
        s1 += data[4]; s2 += s1;
        s1 += data[5]; s2 += s1;
        s1 += data[6]; s2 += s1;
        s1 += data[7]; s2 += s1;
    }
    for (size_t i = 0; i < length; ++i) {
        s1 += data[i];
        s2 += s1;
    }
    return {s1, s2};
}

// x mod 65521 for any 32-bit x, by the reciprocal 0x80078071 and a shift by 47 (exact over
// the whole 32-bit range).
inline uint32_t AdlerReduce(uint32_t x)
{
    const uint32_t quotient = static_cast<uint32_t>((x * 0x80078071ull) >> 47);
    return x - quotient * kAdlerModulus;
}

inline AdlerSums AdlerReduce(AdlerSums sums)
{
    return {AdlerReduce(sums.s1), AdlerReduce(sums.s2)};
}

inline uint32_t AdlerValue(AdlerSums sums)
{
    const AdlerSums reduced = AdlerReduce(sums);
    return (reduced.s2 << 16) | reduced.s1;
}

// Bytes from data up to the next multiple of `alignment` (a power of two): (-address) mod it.
inline size_t BytesToAlignment(const void* data, size_t alignment)
{
    return (alignment - (reinterpret_cast<uintptr_t>(data) & (alignment - 1))) & (alignment - 1);
}

} // namespace
} // namespace checksum
