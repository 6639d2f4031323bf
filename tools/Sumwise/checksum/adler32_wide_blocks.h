// Adler-32 runs of processor classes 4 and 5: several 16-byte blocks per pass on one wide
// register, one block per 128-bit lane (a run whose length is not a multiple of the blocks
// per pass does its first blocks alone with 128-bit registers).
//
// A pass of B blocks adds 16B * s1 + sum over blocks k of (16 (B - 1 - k) * sum(block k) +
// sum (16 - i) * bi) to s2. Per lane the pass takes the byte sums (sums of absolute differences
// against zero) and the weighted sums (multiply-add of unsigned bytes by the byte weights
// 16..1 into 16-bit pairs, at most 255 * 31 = 7905). The 16-bit pairs of four passes are
// added before they are widened (at most 31,620, below 2^15), which saves multiply-adds. The
// 16 (B - 1 - k) * sum(block k) terms need no work per pass: they come from the run's byte
// sums per lane at the end (Lanes::LaterBlocks).
//
// Lanes: a type with the vector type, kBlocks, and static Zero, Load, ByteSums,
// WeightedPairs, AddPairs, Add, Widen, Sum and LaterBlocks for that width.
// Internal linkage throughout, as in byte_steps.h.
#pragma once
#include "tools/Sumwise/checksum/adler32_blocked.h"

namespace checksum {
namespace {

template <typename Lanes>
inline AdlerSums AdlerRunWide(AdlerSums sums, const uint8_t* data, size_t blocks)
{
    using Vector = typename Lanes::Vector;
    const size_t lead = blocks % Lanes::kBlocks;
    if (lead != 0) {
        sums = AdlerRun128(sums, data, lead);
        data += 16 * lead;
    }
    const size_t passes = blocks / Lanes::kBlocks;
    Vector byteLanes = Lanes::Zero();    // 64-bit lanes: byte sums of each 8-byte half block
    Vector prefixLanes = Lanes::Zero();  // sums of byteLanes before each pass
    Vector weightedLanes = Lanes::Zero();
    const auto passGroup = [&](size_t count) {
        Vector pairs = Lanes::Zero();
        for (size_t k = 0; k < count; ++k, data += 16 * Lanes::kBlocks) {
            const Vector bytes = Lanes::Load(data);
            prefixLanes = Lanes::Add(prefixLanes, byteLanes);
            byteLanes = Lanes::Add(byteLanes, Lanes::ByteSums(bytes));
            pairs = Lanes::AddPairs(pairs, Lanes::WeightedPairs(bytes));
        }
        weightedLanes = Lanes::Add(weightedLanes, Lanes::Widen(pairs));
    };
    size_t left = passes;
    for (; left >= 4; left -= 4) {
        passGroup(4);
    }
    passGroup(left);
    // As in AdlerRun128: every total is part of an s2 below 2^32.
    constexpr uint32_t kPassBytes = 16 * Lanes::kBlocks;
    const uint32_t n = static_cast<uint32_t>(passes);
    return {sums.s1 + Lanes::Sum(byteLanes),
            sums.s2 + kPassBytes * n * sums.s1 + kPassBytes * Lanes::Sum(prefixLanes) +
                Lanes::LaterBlocks(byteLanes) + Lanes::Sum(weightedLanes)};
}

} // namespace
} // namespace checksum
