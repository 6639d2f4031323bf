// The checksum entries of sumwise: CRC-32C, CRC-32 (as used by zip), Adler-32, and the
// byte swap of 32-bit words. Each call goes to the variant of this processor's class,
// chosen on the first call of any entry (cpu_features.h) and kept for the process.
//
// Every entry returns a status: kChecksumOk, kChecksumNullPointer or kChecksumBadLength. The
// arguments are checked after dispatch, so even a rejected first call chooses the class.
#pragma once
#include <cstdint>

namespace checksum {

inline constexpr int32_t kChecksumOk = 0;
inline constexpr int32_t kChecksumNullPointer = -8;
inline constexpr int32_t kChecksumBadLength = -6;

// Advances a raw CRC-32C register (Castagnoli, reflected 0x82F63B78) over `length` bytes;
// no inversion, so a whole message is ~Crc32c(~0, ...) and calls chain. Null data or state:
// kChecksumNullPointer; length 0: kChecksumBadLength.
int32_t Crc32cUpdate(const void* data, uint32_t length, uint32_t* state);

// Continues a finished CRC-32 (reflected 0xEDB88320, inverted on entry and exit, as zip keeps
// it): start a message at 0, chain the results. Null data or state: kChecksumNullPointer;
// length 0 or less: kChecksumBadLength.
int32_t Crc32Update(const void* data, int32_t length, uint32_t* state);

// Continues an Adler-32 (RFC 1950): start a message at 1, chain the results. Null state:
// kChecksumNullPointer; null data resets the state to 1 (kChecksumOk); a length of 0 or less
// only normalises the state (each half reduced modulo 65521).
int32_t Adler32Update(const void* data, int32_t length, uint32_t* state);

// Reverses the byte order of each of `count` 32-bit words in place; `words` need not be
// 4-byte aligned. Null words: kChecksumNullPointer; count 0 or less: kChecksumBadLength.
int32_t ByteSwap32(uint32_t* words, int32_t count);

} // namespace checksum
