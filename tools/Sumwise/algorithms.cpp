// The algorithm table and its lookup by switch name.
#include "tools/Sumwise/algorithms.h"

namespace {

// "sha" is an alias of "sha1" that the usage text does not show.
constexpr Algorithm kAlgorithms[] = {
    {L"md4", L"MD4", CALG_MD4, 16},          {L"md5", L"MD5", CALG_MD5, 16},
    {L"sha1", L"SHA-1", CALG_SHA1, 20},      {L"sha", L"SHA-1", CALG_SHA1, 20},
    {L"sha256", L"SHA-256", CALG_SHA_256, 32}, {L"sha384", L"SHA-384", CALG_SHA_384, 48},
    {L"sha512", L"SHA-512", CALG_SHA_512, 64}, {L"crc32c", L"CRC32C", kSelectorCrc32c, 4},
    {L"zipcrc", L"ZIPCRC", kSelectorZipCrc, 4}, {L"adler", L"ADLER-32", kSelectorAdler32, 4},
};

} // namespace

const Algorithm* FindAlgorithm(const wchar_t* name)
{
    for (const Algorithm& algorithm : kAlgorithms) {
        if (lstrcmpiW(name, algorithm.switchName) == 0) {
            return &algorithm;
        }
    }
    return nullptr;
}
