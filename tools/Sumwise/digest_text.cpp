// FormatDigestText over wsprintfW.
#include "tools/Sumwise/digest_text.h"

namespace {
constexpr wchar_t kHexDigits[] = L"0123456789abcdef";
} // namespace

void FormatDigestText(const BYTE* digest, DWORD length, wchar_t* text)
{
    text[0] = L'\0';
    for (DWORD offset = 0; offset + 4 <= length; offset += 4) {
        const BYTE* b = digest + offset;
        wsprintfW(text + 2 * offset, L"%c%c%c%c%c%c%c%c", kHexDigits[b[0] >> 4], kHexDigits[b[0] & 15],
                  kHexDigits[b[1] >> 4], kHexDigits[b[1] & 15], kHexDigits[b[2] >> 4], kHexDigits[b[2] & 15],
                  kHexDigits[b[3] >> 4], kHexDigits[b[3] & 15]);
    }
}
