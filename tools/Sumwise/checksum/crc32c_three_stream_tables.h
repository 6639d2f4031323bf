// The three-stream CRC-32C kernel of crc32c_three_stream.h with its registers combined by
// multiply tables, for fixed stream lengths: the path of classes 2 to 5 when PCLMULQDQ is not
// enabled, compiled with the class's flags alone. Internal linkage, as in byte_steps.h.
#pragma once
#include <immintrin.h>

#include "tools/Sumwise/checksum/crc32c_three_stream.h"

namespace checksum {
namespace {

// XOR over the bytes i of r of table[byte i] << 8i: r shifted by the table's distance.
inline uint64_t TableProduct(uint32_t r, const uint32_t* table)
{
    return static_cast<uint64_t>(table[r & 0xFFu]) ^
           (static_cast<uint64_t>(table[(r >> 8) & 0xFFu]) << 8) ^
           (static_cast<uint64_t>(table[(r >> 16) & 0xFFu]) << 16) ^
           (static_cast<uint64_t>(table[r >> 24]) << 24);
}

inline uint32_t CombineByTables(StreamRegisters r, int shiftTable, uint64_t lastWord)
{
    const uint64_t v = TableProduct(r.r1, kCrc32cTables.shift[shiftTable]) ^
                       TableProduct(r.r2, kCrc32cTables.shift[shiftTable + 1]) ^ lastWord;
    return static_cast<uint32_t>(_mm_crc32_u64(r.r3, v));
}

inline uint32_t Crc32cThreeStreamTables(const uint8_t* data, size_t length, uint32_t crc)
{
    // Stream lengths in words by shift table: table j shifts r1 and table j + 1 shifts r2.
    constexpr size_t kStreamWords[] = {72, 36, 18, 9};
    if (length >= 8) {
        const size_t head = BytesToAlignment(data, 8);
        crc = Crc32cInstructionBytes(crc, data, head);
        data += head;
        length -= head;
        const auto runBlock = [&](int j) {
            const StreamRegisters r = RunThreeStreams(data, kStreamWords[j], crc);
            crc = CombineByTables(r, j, LoadLe64(data + 24 * kStreamWords[j] - 8));
            data += 24 * kStreamWords[j];
            length -= 24 * kStreamWords[j];
        };
        while (length >= 24 * kStreamWords[0]) {
            runBlock(0);
        }
        for (int j = 1; j < 4; ++j) {
            if (length >= 24 * kStreamWords[j]) {
                runBlock(j);
            }
        }
    }
    return Crc32cTail(crc, data, length);
}

} // namespace
} // namespace checksum
