// The digest or checksum of one file's bytes, fed in file order: a CryptoAPI hash object for the
// digests, a 32-bit state word advanced by the checksum kernels for the checksums.
#pragma once
#include "platform/platform.h"

#include <atomic>
#include <cstdint>

class Digester {
public:
    // `provider`: the run's CryptoAPI provider, which the hash object is created from;
    // `bytesFed`: the run's count of bytes fed (the status line's), advanced as bytes are fed.
    Digester(DWORD selector, HCRYPTPROV provider, std::atomic<ULONGLONG>& bytesFed)
        : selector_(selector), provider_(provider), bytesFed_(bytesFed) {}
    ~Digester();
    Digester(const Digester&) = delete;
    Digester& operator=(const Digester&) = delete;

    // Sets the checksum's starting value, or creates the hash object.
    HRESULT Begin();
    // Feeds `length` bytes.
    HRESULT Feed(const void* data, ULONGLONG length);
    // Writes the result into `digest` (capacity *digestLength) and its length into *digestLength:
    // the hash value as the provider gives it, or the checksum's four bytes, most significant first.
    HRESULT Finish(BYTE* digest, DWORD* digestLength);

private:
    DWORD selector_;
    HCRYPTPROV provider_;
    std::atomic<ULONGLONG>& bytesFed_;
    HCRYPTHASH hash_ = 0;
    std::uint32_t state_ = 0;
};
