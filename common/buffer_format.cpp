// FormatToBuffer and CopyToBuffer: bounded wide formatting and copying.
#include "common/buffer_format.h"

#include <algorithm>
#include <cwchar>
#include <new>
#include <vector>

#include "common/hresults.h"

namespace {
constexpr size_t kMaxCapacity = 0x7FFFFFFF;
constexpr size_t kLargestScratch = size_t{1} << 24;
constexpr size_t kStackScratch = 256;

HRESULT CheckCapacity(wchar_t* buffer, size_t capacity)
{
    if (capacity == 0) {
        return E_INVALIDARG;
    }
    if (capacity > kMaxCapacity) {
        buffer[0] = L'\0';
        return E_INVALIDARG;
    }
    return S_OK;
}

int FormatInto(wchar_t* scratch, size_t chars, const wchar_t* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int written = vswprintf(scratch, chars, format, copy);
    va_end(copy);
    return written;
}

// The whole text in `scratch`, which grows until it holds it: the C library reports only "did
// not fit", not the text that would have fitted. The length, or -1 when the text is too long.
int FormatWhole(std::vector<wchar_t>& scratch, size_t firstChars, const wchar_t* format, va_list args)
{
    scratch.resize(firstChars);
    for (;;) {
        const int written = FormatInto(scratch.data(), scratch.size(), format, args);
        if (written >= 0 || scratch.size() >= kLargestScratch) {
            return written;
        }
        scratch.resize(scratch.size() * 2);
    }
}
} // namespace

HRESULT FormatToBufferV(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args)
{
    if (const HRESULT hr = CheckCapacity(buffer, capacity); FAILED(hr)) {
        return hr;
    }
    // The text is made in a scratch buffer, then cut to size: most texts fit one on the stack,
    // only longer ones take the heap (and fail with E_OUTOFMEMORY when it has no room).
    wchar_t small[kStackScratch];
    const wchar_t* text = small;
    std::vector<wchar_t> large;
    int written = FormatInto(small, kStackScratch, format, args);
    // A text that does not fit makes the C library fail (-1) or, in some runtimes, return the
    // length the whole text needs while it keeps only what fits: the stack scratch serves when
    // all that is kept of the text lies within it.
    const bool smallServes = written >= 0 && std::min(static_cast<size_t>(written), capacity - 1) < kStackScratch;
    if (!smallServes) {
        try {
            written = FormatWhole(large, capacity < kStackScratch ? 2 * kStackScratch : capacity + 1, format, args);
        } catch (const std::bad_alloc&) {
            buffer[0] = L'\0';
            return E_OUTOFMEMORY;
        }
        text = large.data();
    }
    if (written < 0) {
        buffer[0] = L'\0';
        return kHrInsufficientBuffer;
    }
    const size_t length = static_cast<size_t>(written);
    const size_t kept = length < capacity ? length : capacity - 1;
    wmemcpy(buffer, text, kept);
    buffer[kept] = L'\0';
    return length < capacity ? S_OK : kHrInsufficientBuffer;
}

HRESULT FormatToBuffer(wchar_t* buffer, size_t capacity, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const HRESULT hr = FormatToBufferV(buffer, capacity, format, args);
    va_end(args);
    return hr;
}

HRESULT CopyToBuffer(wchar_t* buffer, size_t capacity, const wchar_t* source, wchar_t** end, size_t* remaining)
{
    if (const HRESULT hr = CheckCapacity(buffer, capacity); FAILED(hr)) {
        return hr;
    }
    size_t copied = 0;
    while (copied + 1 < capacity && source[copied] != L'\0') {
        buffer[copied] = source[copied];
        ++copied;
    }
    buffer[copied] = L'\0';
    if (end != nullptr) {
        *end = buffer + copied;
    }
    if (remaining != nullptr) {
        *remaining = capacity - copied;
    }
    return source[copied] == L'\0' ? S_OK : kHrInsufficientBuffer;
}
