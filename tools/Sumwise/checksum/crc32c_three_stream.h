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
// This header holds the streams, which both combinations run. The carry-less combination is
// in crc32c_three_stream_clmul.h, included only by the units compiled with PCLMULQDQ; the
// table combination is in crc32c_three_stream_tables.h, included by the class units.
// Internal linkage throughout, so that each class keeps its own copy (see byte_steps.h).
#pragma once
#include "tools/Sumwise/checksum/crc32c_instruction_steps.h"

namespace checksum {
namespace {

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

} // namespace
} // namespace checksum
