// The CRC-32C kernels of processor classes 2 to 5: the SSE4.2 CRC32 instruction on three
// interleaved streams, whose registers are then combined into one.
//
// Why three streams: the instruction has a latency of three cycles and a throughput of one,
// so one register advances 8 bytes every three cycles while three independent registers
// keep the unit busy. A block is three consecutive streams S1, S2, S3 of n 8-byte words;
// r1 continues the running register over S1, r2 and r3 start at 0 over S2 and S3 (S3 without
// its last word). Since the CRC is linear, the block's register is r3 advanced over the
// 8-byte word  last(S3) ^ r1 * x^(128n - 32) ^ r2 * x^(64n - 32)  (mod P), where the two
// products are carry-less multiplications by the constants of kCrc32cTables.combine or, when
// PCLMULQDQ is not enabled, table products by kCrc32cTables.shift for fixed stream lengths.
// See "Fast CRC Computation for iSCSI Polynomial Using CRC32 Instruction" (Intel, 2011).
//
// Included by one translation unit per class, each compiled with its class's flags; the
// code here has internal linkage so each class keeps its own copy (see byte_steps.h).
#pragma once
#include <immintrin.h>

#include "tools/Sumwise/checksum/crc32c_instruction_steps.h"
#include "tools/Sumwise/checksum/crc_kernel_choice.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {
namespace {

// Full blocks of the carry-less kernel: three streams of 128 words (3072 bytes).
constexpr size_t kMaxStreamWords = 128;

struct StreamRegisters {
    uint32_t r1;
    uint32_t r2;
    uint32_t r3;
};

// Runs the three streams of n words (1 to 128) that start at `block`, r1 from `crc`. The loop
// is written out for 128 words per stream and entered at the case that leaves exactly n:
// case k does word n - k of each stream, addressed from the streams' ends, so no counter
// is needed. Case 1 leaves out the last word of S3, which the combination takes.
inline StreamRegisters RunThreeStreams(const uint8_t* block, size_t n, uint32_t crc)
{
    const uint8_t* const end1 = block + 8 * n;
    const uint8_t* const end2 = end1 + 8 * n;
    const uint8_t* const end3 = end2 + 8 * n;
    uint64_t r1 = crc;
    uint64_t r2 = 0;
    uint64_t r3 = 0;
#define ORVO_STREAM_STEP(k)                                                                \
    case k:                                                                                \
        r1 = Crc32cWord(r1, end1 - 8 * (k));                                               \
        r2 = Crc32cWord(r2, end2 - 8 * (k));                                               \
        r3 = Crc32cWord(r3, end3 - 8 * (k));                                               \
        [[fallthrough]];
#define ORVO_STREAM_STEPS_8(base)                                                          \
    ORVO_STREAM_STEP(base + 8) ORVO_STREAM_STEP(base + 7) ORVO_STREAM_STEP(base + 6)       \
    ORVO_STREAM_STEP(base + 5) ORVO_STREAM_STEP(base + 4) ORVO_STREAM_STEP(base + 3)       \
    ORVO_STREAM_STEP(base + 2) ORVO_STREAM_STEP(base + 1)
    switch (n) {
        ORVO_STREAM_STEPS_8(120) ORVO_STREAM_STEPS_8(112) ORVO_STREAM_STEPS_8(104)
        ORVO_STREAM_STEPS_8(96) ORVO_STREAM_STEPS_8(88) ORVO_STREAM_STEPS_8(80)
        ORVO_STREAM_STEPS_8(72) ORVO_STREAM_STEPS_8(64) ORVO_STREAM_STEPS_8(56)
        ORVO_STREAM_STEPS_8(48) ORVO_STREAM_STEPS_8(40) ORVO_STREAM_STEPS_8(32)
        ORVO_STREAM_STEPS_8(24) ORVO_STREAM_STEPS_8(16) ORVO_STREAM_STEPS_8(8)
        ORVO_STREAM_STEP(8) ORVO_STREAM_STEP(7) ORVO_STREAM_STEP(6) ORVO_STREAM_STEP(5)
        ORVO_STREAM_STEP(4) ORVO_STREAM_STEP(3) ORVO_STREAM_STEP(2)
    case 1:
        r1 = Crc32cWord(r1, end1 - 8);
        r2 = Crc32cWord(r2, end2 - 8);
    }
#undef ORVO_STREAM_STEPS_8
#undef ORVO_STREAM_STEP
    return {static_cast<uint32_t>(r1), static_cast<uint32_t>(r2), static_cast<uint32_t>(r3)};
}

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

// The kernel of classes 2 to 4: carry-less combination when PCLMULQDQ is enabled, else
// multiply tables.
inline uint32_t Crc32cThreeStream(const uint8_t* data, size_t length, uint32_t crc)
{
    return ChooseCrcPath<Crc32cThreeStreamClmul, Crc32cThreeStreamTables>(data, length, crc);
}

// The kernel of class 5: as above, but long buffers go to the 512-bit kernel when VPCLMULQDQ
// is enabled.
inline uint32_t Crc32cWideOrThreeStream(const uint8_t* data, size_t length, uint32_t crc)
{
    return ChooseWideCrcPath<Crc32cVpclmul, kWideCrc32cCrossover, Crc32cThreeStreamClmul,
                             Crc32cThreeStreamTables>(data, length, crc);
}

} // namespace
} // namespace checksum

// Defines the CRC-32C kernels of kernels.h for one class: Crc32c<isa>, which runs `kernel`
// (Crc32cThreeStream or Crc32cWideOrThreeStream), Crc32c<isa>Clmul and Crc32c<isa>Tables.
#define ORVO_DEFINE_CRC32C_KERNELS(isa, kernel)                                            \
    namespace checksum {                                                                   \
    uint32_t Crc32c##isa(const uint8_t* data, size_t length, uint32_t crc)                 \
    {                                                                                      \
        return kernel(data, length, crc);                                                  \
    }                                                                                      \
    uint32_t Crc32c##isa##Clmul(const uint8_t* data, size_t length, uint32_t crc)          \
    {                                                                                      \
        return Crc32cThreeStreamClmul(data, length, crc);                                  \
    }                                                                                      \
    uint32_t Crc32c##isa##Tables(const uint8_t* data, size_t length, uint32_t crc)         \
    {                                                                                      \
        return Crc32cThreeStreamTables(data, length, crc);                                 \
    }                                                                                      \
    }
