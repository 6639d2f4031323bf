// sumwise's algorithms: the switch names, display names and selectors of the digests and
// checksums, and the selector the work items read.
#pragma once
#include "platform/platform.h"

// Selectors below kFirstCryptoSelector choose a checksum kernel; the others are CryptoAPI
// algorithm identifiers passed to CryptCreateHash unchanged.
inline constexpr DWORD kSelectorCrc32c = 0;
inline constexpr DWORD kSelectorZipCrc = 1;
inline constexpr DWORD kSelectorAdler32 = 2;
inline constexpr DWORD kFirstCryptoSelector = 3;

inline constexpr DWORD kDefaultSelector = CALG_MD5;
inline constexpr const wchar_t* kDefaultDisplayName = L"MD5";

struct Algorithm {
    const wchar_t* switchName; // compared without regard to case
    const wchar_t* displayName;
    DWORD selector;
    DWORD digestBytes; // the length of its result
};

// The algorithm whose switch name is `name` (letter case ignored), or null.
const Algorithm* FindAlgorithm(const wchar_t* name);

inline bool IsChecksumSelector(DWORD selector)
{
    return selector < kFirstCryptoSelector;
}
