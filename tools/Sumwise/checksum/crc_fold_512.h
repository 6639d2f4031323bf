// Folding on 512-bit registers with VPCLMULQDQ, shared by the wide CRC-32 and CRC-32C kernels:
// the 128-bit folding of "Fast CRC Computation for Generic Polynomials Using PCLMULQDQ
// Instruction" (Intel, 2009) on four 128-bit lanes per register and four registers at once.
//
// From 256 bytes on, the main loop keeps four registers, 256 consecutive bytes, and folds each
// forward by 256 bytes onto the next 256 bytes of data: two carry-less products and one
// three-way XOR per 64 bytes, and four independent chains to cover the products' latency.
// What follows is short and has no data-dependent loop: each remaining whole 64-byte block is
// taken into the oldest register (folded forward by 256 bytes, the registers then rotate), the
// registers are folded onto the last of them, that one forward by the 4 to 63 bytes of the
// tail, which a masked load places at the end of a register, and its four lanes onto the last
// lane. Below 256 bytes, the one to three whole blocks are folded onto the last directly.
//
// Loads are aligned, since a 64-byte load that crosses a cache line made the kernels about a
// third slower. As in the 128-bit kernel, the first register is the 64 bytes from the
// boundary at or below the data, those in front of the data counting as zero (a masked
// load), and the CRC register enters by XOR at the data's place in it. Only when its 4 bytes
// would reach past those 64 (data 61 to 63 bytes after a boundary) does the caller first
// advance the CRC register over the 1 to 3 bytes up to the boundary (WideFoldHead). Every load
// stays within the 64-byte units that hold data, so none can touch another page.
// Internal linkage throughout, as in byte_steps.h.
#pragma once
#include <immintrin.h>

#include "tools/Sumwise/checksum/tables.h"

namespace checksum {
namespace {

// The wide kernels take buffers of at least one whole register.
constexpr size_t kWideFoldMinLength = 64;

// A 128-bit value that stands for the message except its last `rest` bytes (0 to 3, too few
// for a carry-less fold): the CRC of its 16 bytes from a zero register is the register
// after those bytes.
struct WideFold {
    __m128i block;
    size_t rest;
};

inline __m512i Load512(const uint8_t* p)
{
    return _mm512_load_si512(p);
}

// Bytes to advance the register over before FoldWide: those up to the next 64-byte boundary
// when the register would not fit in the first register of FoldWide (1 to 3), else none.
inline size_t WideFoldHead(const uint8_t* data)
{
    const size_t s = reinterpret_cast<uintptr_t>(data) & 63;
    return s > 60 ? 64 - s : 0;
}

// The first 64-byte register of FoldWide for data s bytes after a boundary (s at most 60):
// the bytes in front of the data zero, `reg` XORed into the data's first 4 bytes.
inline __m512i FirstRegister(const uint8_t* block, size_t s, uint32_t reg)
{
    // reg as the bytes s to s + 3, which may span two 8-byte elements.
    const unsigned shift = 8 * (s % 8);
    const uint64_t low = uint64_t{reg} << shift;
    const uint64_t high = shift > 32 ? uint64_t{reg} >> (64 - shift) : 0;
    const auto element = static_cast<__mmask8>(1u << (s / 8));
    const __m512i placed = _mm512_mask_set1_epi64(_mm512_maskz_set1_epi64(element, low),
                                                  static_cast<__mmask8>(element << 1), high);
    return _mm512_xor_si512(_mm512_maskz_loadu_epi8(~uint64_t{0} << s, block), placed);
}

// The pair in every lane. The masked broadcast: the unmasked one trips GCC 12's
// uninitialized-value warning inside its own header.
inline __m512i Broadcast(const uint64_t (&pair)[2])
{
    return _mm512_maskz_broadcast_i32x4(
        0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i*>(pair)));
}

// Each lane of a folded by the lane's pair in k, XORed with b.
inline __m512i Fold512(__m512i a, __m512i k, __m512i b)
{
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(a, k, 0x00),
                                     _mm512_clmulepi64_epi128(a, k, 0x11), b, 0x96);
}

// Four consecutive registers folded onto the last. The products are independent; only the
// three XORs follow one another.
inline __m512i FoldOntoLast(__m512i a0, __m512i a1, __m512i a2, __m512i a3,
                            const WideFoldConstants& k)
{
    return Fold512(a0, Broadcast(k.byBlocks[3]),
                   Fold512(a1, Broadcast(k.byBlocks[2]), Fold512(a2, Broadcast(k.byBlocks[1]), a3)));
}

// The four lanes of z folded onto the last: 16 bytes that stand for its 64.
inline __m128i ReduceLanes(__m512i z, const WideFoldConstants& k)
{
    const __m512i lanes = _mm512_loadu_si512(k.lanes);
    const __m512i folded = _mm512_ternarylogic_epi64(
        _mm512_clmulepi64_epi128(z, lanes, 0x00), _mm512_clmulepi64_epi128(z, lanes, 0x11),
        _mm512_maskz_mov_epi64(0xC0, z), 0x96);
    const __m256i halves = _mm256_xor_si256(_mm512_maskz_extracti64x4_epi64(0xF, folded, 0),
                                            _mm512_maskz_extracti64x4_epi64(0xF, folded, 1));
    return _mm_xor_si128(_mm256_castsi256_si128(halves), _mm256_extracti128_si256(halves, 1));
}

// Four registers over 256 bytes or more (`first` is the first block with the register in it),
// folded onto one; `done` becomes the bytes it stands for, all but the last 0 to 63.
inline __m512i FoldFourRegisters(const uint8_t* data, size_t length, __m512i first,
                                 const WideFoldConstants& k, size_t& done)
{
    __m512i a0 = first;
    __m512i a1 = Load512(data + 64);
    __m512i a2 = Load512(data + 128);
    __m512i a3 = Load512(data + 192);
    done = 256;
    const __m512i by256 = Broadcast(k.byBlocks[4]);
    for (; length - done >= 256; done += 256) {
        a0 = Fold512(a0, by256, Load512(data + done));
        a1 = Fold512(a1, by256, Load512(data + done + 64));
        a2 = Fold512(a2, by256, Load512(data + done + 128));
        a3 = Fold512(a3, by256, Load512(data + done + 192));
    }
    for (; length - done >= 64; done += 64) {  // at most three, each on its own register
        const __m512i taken = Fold512(a0, by256, Load512(data + done));
        a0 = a1;
        a1 = a2;
        a2 = a3;
        a3 = taken;
    }
    return FoldOntoLast(a0, a1, a2, a3, k);
}

// Folds `length` >= kWideFoldMinLength bytes that start at most 60 bytes after a 64-byte
// boundary (see WideFoldHead); `reg` enters by XOR with the first 4 bytes.
inline WideFold FoldWide(const uint8_t* data, size_t length, uint32_t reg,
                         const WideFoldConstants& k)
{
    // From here on, the bytes from the boundary below the data, those in front counting as zero.
    const size_t s = reinterpret_cast<uintptr_t>(data) & 63;
    const auto* const block = reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(data) - s);
    const __m512i first = FirstRegister(block, s, reg);
    length += s;
    size_t done;
    __m512i z;
    if (length >= 256) {
        z = FoldFourRegisters(block, length, first, k, done);
    } else {
        // One to three whole blocks, each folded onto the last.
        const size_t blocks = length / 64;
        done = 64 * blocks;
        z = blocks == 1 ? first : Load512(block + done - 64);
        if (blocks == 3) {
            z = Fold512(Load512(block + 64), Broadcast(k.byBlocks[1]), z);
        }
        if (blocks >= 2) {
            z = Fold512(first, Broadcast(k.byBlocks[blocks - 1]), z);
        }
    }
    size_t rest = length - done;
    if (rest >= 4) {
        const __mmask64 tail = ~uint64_t{0} << (64 - rest);
        z = Fold512(z, Broadcast(k.byTail[rest]), _mm512_maskz_loadu_epi8(tail, block + length - 64));
        rest = 0;
    }
    return {ReduceLanes(z, k), rest};
}

} // namespace
} // namespace checksum
