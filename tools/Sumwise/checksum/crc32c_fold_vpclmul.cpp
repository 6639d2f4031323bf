// CRC-32C on 512-bit registers, for class 5 processors with VPCLMULQDQ: the folding of
// crc_fold_512.h, whose 16-byte result two CRC32 instructions reduce to the register.
#include "tools/Sumwise/checksum/crc32c_instruction_steps.h"
#include "tools/Sumwise/checksum/crc_fold_512.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {

uint32_t Crc32cVpclmul(const uint8_t* data, size_t length, uint32_t crc)
{
    if (length < kWideFoldMinLength) {
        return Crc32cAvx512Clmul(data, length, crc);
    }
    const WideFold folded = FoldWide(data, length, crc, kCrc32cWideFold);
    const uint64_t low = static_cast<uint64_t>(_mm_cvtsi128_si64(folded.block));
    const uint64_t high = static_cast<uint64_t>(_mm_extract_epi64(folded.block, 1));
    const uint32_t reg = static_cast<uint32_t>(_mm_crc32_u64(_mm_crc32_u64(0, low), high));
    return Crc32cTail(reg, data + length - folded.rest, folded.rest);
}

} // namespace checksum

// EXPERIMENT (measured against Crc32cVpclmul, not dispatched): blocks of 32 passes, each pass
// folding 256 bytes on four registers while three CRC32-instruction streams after the folded
// part advance Words words each. Block registers start at zero and are combined by carry-less
// shifts; the running register is shifted over each block and added.
namespace checksum {
namespace {

template <size_t Words>
struct StreamBlock {
    static constexpr size_t kPasses = 32;
    static constexpr size_t kFoldBytes = 256 * kPasses;
    static constexpr size_t kStreamBytes = 8 * Words * kPasses;
    static constexpr size_t kBytes = kFoldBytes + 3 * kStreamBytes;
    static constexpr uint64_t kShiftFold =
        ReflectedPowerOfX(kCrc32cPolynomial, 8 * 3 * kStreamBytes - 32);
    static constexpr uint64_t kShiftS1 = ReflectedPowerOfX(kCrc32cPolynomial, 8 * 2 * kStreamBytes - 32);
    static constexpr uint64_t kShiftS2 = ReflectedPowerOfX(kCrc32cPolynomial, 8 * kStreamBytes - 32);
    static constexpr uint64_t kShiftBlock = ReflectedPowerOfX(kCrc32cPolynomial, 8 * kBytes - 32);
};

inline uint64_t ShiftProduct(uint32_t r, uint64_t constant)
{
    return static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_clmulepi64_si128(
        _mm_cvtsi32_si128(static_cast<int>(r)), _mm_cvtsi64_si128(static_cast<long long>(constant)),
        0x00)));
}

template <size_t Words>
inline uint32_t StreamBlockCrc(const uint8_t* block)
{
    using B = StreamBlock<Words>;
    const uint8_t* const s1 = block + B::kFoldBytes;
    const uint8_t* const s2 = s1 + B::kStreamBytes;
    const uint8_t* const s3 = s2 + B::kStreamBytes;
    const WideFoldConstants& k = kCrc32cWideFold;
    __m512i a0 = Load512(block);
    __m512i a1 = Load512(block + 64);
    __m512i a2 = Load512(block + 128);
    __m512i a3 = Load512(block + 192);
    uint64_t r1 = 0;
    uint64_t r2 = 0;
    uint64_t r3 = 0;
    const __m512i by256 = Broadcast(k.byBlocks[4]);
    for (size_t i = 0; i < B::kPasses; ++i) {
        if (i > 0) {
            const uint8_t* p = block + 256 * i;
            a0 = Fold512(a0, by256, Load512(p));
            a1 = Fold512(a1, by256, Load512(p + 64));
            a2 = Fold512(a2, by256, Load512(p + 128));
            a3 = Fold512(a3, by256, Load512(p + 192));
        }
        for (size_t w = 0; w < Words; ++w) {
            const size_t at = 8 * (Words * i + w);
            r1 = Crc32cWord(r1, s1 + at);
            r2 = Crc32cWord(r2, s2 + at);
            r3 = Crc32cWord(r3, s3 + at);
        }
    }
    const __m128i x = ReduceLanes(FoldOntoLast(a0, a1, a2, a3, k), k);
    const uint32_t folded = static_cast<uint32_t>(_mm_crc32_u64(
        _mm_crc32_u64(0, static_cast<uint64_t>(_mm_cvtsi128_si64(x))),
        static_cast<uint64_t>(_mm_extract_epi64(x, 1))));
    const uint64_t v = ShiftProduct(folded, B::kShiftFold) ^
                       ShiftProduct(static_cast<uint32_t>(r1), B::kShiftS1) ^
                       ShiftProduct(static_cast<uint32_t>(r2), B::kShiftS2);
    return static_cast<uint32_t>(r3) ^ static_cast<uint32_t>(_mm_crc32_u64(0, v));
}

template <size_t Words>
inline uint32_t Crc32cFoldAndStreams(const uint8_t* data, size_t length, uint32_t crc)
{
    using B = StreamBlock<Words>;
    for (; length >= B::kBytes; length -= B::kBytes, data += B::kBytes) {
        const uint32_t shifted =
            static_cast<uint32_t>(_mm_crc32_u64(0, ShiftProduct(crc, B::kShiftBlock)));
        crc = shifted ^ StreamBlockCrc<Words>(data);
    }
    return length == 0 ? crc : Crc32cVpclmul(data, length, crc);
}

} // namespace

uint32_t Crc32cVpclmulStreams2(const uint8_t* data, size_t length, uint32_t crc)
{
    return Crc32cFoldAndStreams<2>(data, length, crc);
}

uint32_t Crc32cVpclmulStreams3(const uint8_t* data, size_t length, uint32_t crc)
{
    return Crc32cFoldAndStreams<3>(data, length, crc);
}

} // namespace checksum
