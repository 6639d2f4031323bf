// Provides wsprintfW over plain code: the few directives the product formats into small wide
// buffers, with their Win32 meaning (%c and %s take wide text, a long is 32 bits).
#include "platform/posix/text/wide_format.h"

#include <cstdarg>

namespace {

constexpr size_t kLimit = 1024; // characters written at most, the terminator included

// Appends to the caller's buffer until the limit leaves room for the terminator alone.
class Output {
public:
    explicit Output(LPWSTR buffer) : buffer_(buffer) {}

    bool Full() const { return length_ == kLimit - 1; }
    void Put(wchar_t ch)
    {
        if (!Full()) {
            buffer_[length_++] = ch;
        }
    }
    void Put(const wchar_t* text)
    {
        for (; *text != L'\0' && !Full(); ++text) {
            Put(*text);
        }
    }
    void PutNumber(std::uint32_t value, std::uint32_t base)
    {
        wchar_t digits[32];
        size_t count = 0;
        do {
            digits[count++] = L"0123456789abcdef"[value % base];
            value /= base;
        } while (value != 0);
        while (count > 0) {
            Put(digits[--count]);
        }
    }
    int Finish()
    {
        buffer_[length_] = L'\0';
        return static_cast<int>(length_);
    }

private:
    LPWSTR buffer_;
    size_t length_ = 0;
};

// Formats one directive (`type`, after any 'l'); false for a directive that is not offered.
bool PutDirective(Output& out, wchar_t type, va_list& args)
{
    switch (type) {
    case L'c':
        out.Put(static_cast<wchar_t>(va_arg(args, int)));
        return true;
    case L's': {
        const auto* text = va_arg(args, const wchar_t*);
        out.Put(text != nullptr ? text : L"(null)");
        return true;
    }
    case L'd': {
        const int value = va_arg(args, int);
        if (value < 0) {
            out.Put(L'-');
        }
        // The magnitude in unsigned arithmetic, so that the most negative value has one too.
        out.PutNumber(value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value), 10);
        return true;
    }
    case L'u':
        out.PutNumber(va_arg(args, unsigned int), 10);
        return true;
    case L'x':
        out.PutNumber(va_arg(args, unsigned int), 16);
        return true;
    default:
        return false;
    }
}

} // namespace

int WINAPIV wsprintfW(LPWSTR buffer, LPCWSTR format, ...)
{
    if (buffer == nullptr || format == nullptr) {
        return 0;
    }
    Output out(buffer);
    va_list args;
    va_start(args, format);
    for (const wchar_t* p = format; *p != L'\0' && !out.Full(); ++p) {
        if (*p != L'%') {
            out.Put(*p);
            continue;
        }
        ++p;
        if (*p == L'%') {
            out.Put(L'%');
            continue;
        }
        if (*p == L'l') {
            ++p;
        }
        if (!PutDirective(out, *p, args)) {
            break;
        }
    }
    va_end(args);
    return out.Finish();
}
