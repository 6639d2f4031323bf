// Digester: CryptCreateHash / CryptHashData / CryptGetHashParam for the digests; the checksum
// entries (CRC-32C, CRC-32, Adler-32) and the byte swap for the checksums.
#include "tools/Sumwise/digester.h"

#include <algorithm>

#include "common/failure_macros.h"
#include "tools/Sumwise/algorithms.h"
#include "tools/Sumwise/checksum/checksum.h"

namespace {

// The most one checksum call carries: the kernels' lengths are 32-bit (signed for two of them).
constexpr ULONGLONG kLongestKernelCall = 0x7FFFFFFF;

// Starting values: CRC-32C is a raw register that starts with every bit set and is inverted at
// the end; the zip CRC-32 entry keeps a finished CRC (0 for nothing); Adler-32 starts at 1.
std::uint32_t ChecksumStart(DWORD selector)
{
    switch (selector) {
    case kSelectorCrc32c:
        return 0xFFFFFFFF;
    case kSelectorZipCrc:
        return 0;
    default:
        return 1;
    }
}

void FeedChecksum(DWORD selector, const BYTE* data, std::uint32_t length, std::uint32_t* state)
{
    // The kernels' status results are not examined: the arguments are always valid here.
    switch (selector) {
    case kSelectorCrc32c:
        checksum::Crc32cUpdate(data, length, state);
        break;
    case kSelectorZipCrc:
        checksum::Crc32Update(data, static_cast<std::int32_t>(length), state);
        break;
    default:
        checksum::Adler32Update(data, static_cast<std::int32_t>(length), state);
        break;
    }
}

} // namespace

Digester::~Digester()
{
    if (hash_ != 0) {
        CryptDestroyHash(hash_);
    }
}

HRESULT Digester::Begin()
{
    if (IsChecksumSelector(selector_)) {
        state_ = ChecksumStart(selector_);
        return S_OK;
    }
    RETURN_IF_WIN32_BOOL_FALSE(CryptCreateHash(provider_, static_cast<ALG_ID>(selector_), 0, 0, &hash_));
    return S_OK;
}

HRESULT Digester::Feed(const void* data, ULONGLONG length)
{
    auto* bytes = static_cast<const BYTE*>(data);
    while (length > 0) {
        const auto piece = static_cast<DWORD>(std::min(length, kLongestKernelCall));
        if (IsChecksumSelector(selector_)) {
            FeedChecksum(selector_, bytes, piece, &state_);
        } else {
            RETURN_IF_WIN32_BOOL_FALSE(CryptHashData(hash_, bytes, piece, 0));
        }
        bytes += piece;
        length -= piece;
        bytesFed_.fetch_add(piece, std::memory_order_relaxed);
    }
    return S_OK;
}

HRESULT Digester::Finish(BYTE* digest, DWORD* digestLength)
{
    if (!IsChecksumSelector(selector_)) {
        RETURN_IF_WIN32_BOOL_FALSE(CryptGetHashParam(hash_, HP_HASHVAL, digest, digestLength, 0));
        return S_OK;
    }
    std::uint32_t word = state_;
    checksum::ByteSwap32(&word, 1);
    if (selector_ == kSelectorCrc32c) {
        word = ~word;
    }
    // The swapped word stored little-endian puts the checksum's most significant byte first.
    for (int i = 0; i < 4; ++i) {
        digest[i] = static_cast<BYTE>(word >> (8 * i));
    }
    *digestLength = 4;
    return S_OK;
}
