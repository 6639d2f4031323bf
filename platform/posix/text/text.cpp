// Provides the wide/byte conversion of names and console text (UTF-8 with escaped bytes) and
// StrChrW and MultiByteToWideChar, over plain code; the console shells are in console.cpp, lstrcmpiW in case_fold.cpp.
#include "platform/posix/text/text.h"

#include "platform/posix/system/errors.h"

#include <cstring>
#include <cwchar>

namespace platform {

namespace {
constexpr wchar_t kEscapeBase = 0xDC00; // bytes 0x80..0xFF that are not UTF-8 become U+DC80..U+DCFF

// Length of the valid UTF-8 sequence at `p` (at most `left` bytes) and its code point, or 0.
size_t DecodeSequence(const unsigned char* p, size_t left, char32_t& codePoint)
{
    const unsigned char lead = p[0];
    size_t length = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (left < length) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not valid UTF-8: escaping them
    // keeps their bytes exact.
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}
} // namespace

size_t WideFromBytes(const char* bytes, size_t length, wchar_t* wide)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    wchar_t* out = wide;
    for (size_t i = 0; i < length;) {
        if (p[i] < 0x80) {
            *out++ = static_cast<wchar_t>(p[i++]);
            continue;
        }
        char32_t codePoint = 0;
        const size_t used = DecodeSequence(p + i, length - i, codePoint);
        if (used == 0) {
            *out++ = static_cast<wchar_t>(kEscapeBase + p[i++]);
        } else {
            *out++ = static_cast<wchar_t>(codePoint);
            i += used;
        }
    }
    return static_cast<size_t>(out - wide);
}

std::wstring WideFromBytes(const char* bytes, size_t length)
{
    std::wstring wide(length, L'\0');
    wide.resize(WideFromBytes(bytes, length, wide.data()));
    return wide;
}

std::wstring WideFromBytes(const std::string& bytes)
{
    return WideFromBytes(bytes.data(), bytes.size());
}

bool BytesFromWide(const wchar_t* wide, size_t length, std::string& out)
{
    // Written through a pointer into room for the longest result (4 bytes a character), then
    // cut to what was written: names are mostly ASCII, and this is on every printed line.
    const size_t start = out.size();
    out.resize(start + 4 * length);
    char* next = out.data() + start;
    bool converted = true;
    for (size_t i = 0; i < length; ++i) {
        const auto c = static_cast<char32_t>(wide[i]);
        if (c < 0x80) {
            *next++ = static_cast<char>(c);
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            *next++ = static_cast<char>(c - kEscapeBase);
        } else if (c < 0x800) {
            *next++ = static_cast<char>(0xC0 | (c >> 6));
            *next++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            converted = false;
            break;
        } else if (c < 0x10000) {
            *next++ = static_cast<char>(0xE0 | (c >> 12));
            *next++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *next++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *next++ = static_cast<char>(0xF0 | (c >> 18));
            *next++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *next++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *next++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out.resize(static_cast<size_t>(next - out.data()));
    return converted;
}

std::string BytesFromWide(const std::wstring& wide)
{
    std::string out;
    BytesFromWide(wide.data(), wide.size(), out);
    return out;
}

} // namespace platform

PWSTR WINAPI StrChrW(PCWSTR text, WCHAR ch)
{
    if (text == nullptr) {
        return nullptr;
    }
    // The terminator is part of the searched text, so searching for L'\0' finds the end.
    for (;; ++text) {
        if (*text == ch) {
            return const_cast<PWSTR>(text);
        }
        if (*text == L'\0') {
            return nullptr;
        }
    }
}

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, const char* bytes, int byteCount, LPWSTR wide, int wideCount)
{
    if (codePage != CP_UTF8 || flags != 0 || bytes == nullptr || byteCount == 0 || byteCount < -1 || wideCount < 0 ||
        (wideCount > 0 && wide == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length = byteCount == -1 ? std::strlen(bytes) + 1 : static_cast<size_t>(byteCount);
    const std::wstring converted = platform::WideFromBytes(bytes, length);
    if (wideCount == 0) {
        return static_cast<int>(converted.size());
    }
    if (converted.size() > static_cast<size_t>(wideCount)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::wmemcpy(wide, converted.data(), converted.size());
    return static_cast<int>(converted.size());
}
