// Lookup tables and multiplication constants of the two CRCs, computed at compile time from
// the generator polynomials and shared by every processor class. Plain aggregates, so that
// kernels compiled with wider instruction sets use no shared inline code to read them.
#pragma once
#include <cstdint>

namespace checksum {

// Bit-reflected generator polynomials (coefficient of x^31 in bit 0).
inline constexpr uint32_t kCrc32cPolynomial = 0x82F63B78u;  // Castagnoli, as used by iSCSI
inline constexpr uint32_t kCrc32Polynomial = 0xEDB88320u;   // IEEE 802.3, as used by zip

// Stream lengths (bytes) of the multiply-table combination, longest first; shift[j] moves a
// register over 2 * length and shift[j + 1] over length for a block of that stream length.
inline constexpr int kCrc32cShiftTableCount = 5;
inline constexpr uint32_t kCrc32cShiftBytes[kCrc32cShiftTableCount] = {1144, 568, 280, 136, 64};

struct Crc32cTables {
    // Slicing by 4: [0] is the byte table, [k][i] = ([k-1][i] >> 8) ^ [0][[k-1][i] & 0xFF].
    uint32_t slicing[4][256];
    // Carry-less combination, by stream length n in 8-byte words (1 to 128):
    // [n][0] = c(128n - 32) shifts the first stream over the two after it,
    // [n][1] = c(64n - 32) shifts the second over the third.
    uint64_t combine[129][2];
    // Multiply tables: shift[j][b] is the register value b advanced over kCrc32cShiftBytes[j]
    // zero bytes, i.e. b(x) * x^m mod P for m = 9176, 4568, 2264, 1112 and 536.
    uint32_t shift[kCrc32cShiftTableCount][256];
};

struct Crc32Tables {
    // Slicing by 8, same rule as above.
    uint32_t slicing[8][256];
};

// Folding constants of the 512-bit kernels (crc_fold_512.h), one set per polynomial. Each
// pair {c(D + 32), c(D - 32)} moves a 128-bit lane forward by D bits, D at least 32.
//
// Derivation: a lane of 16 message bytes stands for A_lo * x^(D + 64) + A_hi * x^D at the
// point D bits after its end, A_lo and A_hi being its first and last 8 bytes as polynomials
// of degree below 64. The carry-less product of a reflected 64-bit value with the 33-bit
// reflected operand c(k) of ReflectedPowerOfX, read in a 128-bit lane, is that value times
// x^(k + 32) mod P. So the first half needs c(D + 32) and the second c(D - 32), and the lane
// is the XOR of the two products (each below 96 bits). The constants are the same powers of x
// that the 128-bit folding uses for its distances of 128 to 512 bits.
struct WideFoldConstants {
    uint64_t byBlocks[5][2];  // [k]: forward by 64k bytes, k = 1 to 4 ([0] unused)
    uint64_t lanes[4][2];     // lane j forward by 16 (3 - j) bytes onto lane 3; [3] zero
    uint64_t byTail[64][2];   // [t]: forward by t bytes, t = 4 to 63 ([0] to [3] unused)
};

extern const Crc32cTables kCrc32cTables;
extern const Crc32Tables kCrc32Tables;
extern const WideFoldConstants kCrc32cWideFold;
extern const WideFoldConstants kCrc32WideFold;

// c(k) = x^k mod P for a reflected polynomial, written reflected and shifted left by one bit:
// the 33-bit operand that a carry-less product of reflected values needs.
constexpr uint64_t ReflectedPowerOfX(uint32_t polynomial, uint32_t k)
{
    uint32_t value = 0x80000000u;  // x^0
    for (uint32_t i = 0; i < k; ++i) {
        value = (value >> 1) ^ ((value & 1u) ? polynomial : 0u);
    }
    return static_cast<uint64_t>(value) << 1;
}

} // namespace checksum
