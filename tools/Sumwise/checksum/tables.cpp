// The CRC tables and folding constants of tables.h, built by constant evaluation: no start-up
// code, no race.
#include "tools/Sumwise/checksum/tables.h"

namespace checksum {
namespace {

constexpr uint32_t ByteTableEntry(uint32_t polynomial, uint32_t byte)
{
    uint32_t value = byte;
    for (int bit = 0; bit < 8; ++bit) {
        value = (value >> 1) ^ ((value & 1u) ? polynomial : 0u);
    }
    return value;
}

template <int Count>
constexpr void FillSlicing(uint32_t polynomial, uint32_t (&tables)[Count][256])
{
    for (uint32_t i = 0; i < 256; ++i) {
        tables[0][i] = ByteTableEntry(polynomial, i);
    }
    for (int k = 1; k < Count; ++k) {
        for (uint32_t i = 0; i < 256; ++i) {
            const uint32_t previous = tables[k - 1][i];
            tables[k][i] = (previous >> 8) ^ tables[0][previous & 0xFFu];
        }
    }
}

constexpr Crc32cTables BuildCrc32cTables()
{
    Crc32cTables tables{};
    FillSlicing(kCrc32cPolynomial, tables.slicing);

    // One pass over the powers x^32, x^64, ... x^16352, picking those the pairs need.
    uint32_t power = 0x80000000u;  // x^0
    for (uint32_t k = 32; k <= 128 * 128 - 32; k += 32) {
        for (int bit = 0; bit < 32; ++bit) {
            power = (power >> 1) ^ ((power & 1u) ? kCrc32cPolynomial : 0u);
        }
        const uint64_t operand = static_cast<uint64_t>(power) << 1;
        if ((k + 32) % 128 == 0) {
            tables.combine[(k + 32) / 128][0] = operand;
        }
        if ((k + 32) % 64 == 0 && (k + 32) / 64 <= 128) {
            tables.combine[(k + 32) / 64][1] = operand;
        }
    }

    for (int j = 0; j < kCrc32cShiftTableCount; ++j) {
        for (uint32_t b = 0; b < 256; ++b) {
            uint32_t value = b;
            for (uint32_t n = 0; n < kCrc32cShiftBytes[j]; ++n) {
                value = (value >> 8) ^ tables.slicing[0][value & 0xFFu];
            }
            tables.shift[j][b] = value;
        }
    }
    return tables;
}

constexpr Crc32Tables BuildCrc32Tables()
{
    Crc32Tables tables{};
    FillSlicing(kCrc32Polynomial, tables.slicing);
    return tables;
}

constexpr void SetFoldPair(uint64_t (&pair)[2], uint32_t polynomial, uint32_t bits)
{
    pair[0] = ReflectedPowerOfX(polynomial, bits + 32);
    pair[1] = ReflectedPowerOfX(polynomial, bits - 32);
}

constexpr WideFoldConstants BuildWideFoldConstants(uint32_t polynomial)
{
    WideFoldConstants constants{};
    for (uint32_t k = 1; k <= 4; ++k) {
        SetFoldPair(constants.byBlocks[k], polynomial, 512 * k);
    }
    for (uint32_t j = 0; j < 3; ++j) {
        SetFoldPair(constants.lanes[j], polynomial, 128 * (3 - j));
    }
    for (uint32_t t = 4; t < 64; ++t) {
        SetFoldPair(constants.byTail[t], polynomial, 8 * t);
    }
    return constants;
}

} // namespace

constexpr Crc32cTables kCrc32cTables = BuildCrc32cTables();
constexpr Crc32Tables kCrc32Tables = BuildCrc32Tables();
constexpr WideFoldConstants kCrc32cWideFold = BuildWideFoldConstants(kCrc32cPolynomial);
constexpr WideFoldConstants kCrc32WideFold = BuildWideFoldConstants(kCrc32Polynomial);

} // namespace checksum
