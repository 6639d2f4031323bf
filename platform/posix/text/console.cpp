// Provides the console text shells platform::Printf and WPrintf (the layer's printf and wprintf)
// over vsnprintf of single conversions, uselocale and one fwrite to stdout.
//
// A format is walked conversion by conversion; the supported set is the one console.h lists, and
// anything else fails the call. Numbers are handed to vsnprintf one at a time, with their argument
// read at the type their length modifier names, under this thread's C locale, so the process locale
// never changes a digit or a decimal point. Wide text (%ls, and all text of a wide format) goes
// through BytesFromWide, so a name prints as the bytes it was read from. The whole text of one
// call is written with one fwrite, which holds the stream's lock: the lines of concurrent callers
// never interleave. A format ending in "\n\r" is written ending in "\n".
#include "platform/posix/text/console.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/text/text.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <locale.h>
#include <string>
#include <string_view>
#include <type_traits>

namespace platform {

namespace {

// One parsed conversion, as vsnprintf takes it for a number.
struct Conversion {
    bool zeroPad = false;
    int width = -1;     // -1: none
    int precision = -1; // -1: none
    std::string_view length; // "", "l" or "ll"
    char type = 0;

    bool Plain() const { return !zeroPad && width < 0 && precision < 0; }

    std::string Directive() const
    {
        std::string directive = zeroPad ? "%0" : "%";
        if (width >= 0) {
            directive += std::to_string(width);
        }
        if (precision >= 0) {
            directive += '.';
            directive += std::to_string(precision);
        }
        directive += length;
        directive += type;
        return directive;
    }
};

// Makes this thread format under the C locale for its lifetime.
class ScopedCLocale {
public:
    ScopedCLocale()
    {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
        if (cLocale != nullptr) {
            previous_ = uselocale(cLocale);
        }
    }
    ~ScopedCLocale()
    {
        if (previous_ != nullptr) {
            uselocale(previous_);
        }
    }
    ScopedCLocale(const ScopedCLocale&) = delete;
    ScopedCLocale& operator=(const ScopedCLocale&) = delete;

private:
    locale_t previous_ = nullptr;
};

// Appends one conversion formatted by vsnprintf. `directive` holds exactly one conversion, and the one
// argument that follows has the type the conversion reads.
bool AppendSingle(std::string& out, const char* directive, ...)
{
    va_list args;
    va_start(args, directive);
    va_list again;
    va_copy(again, args);
    char small[128];
    const int needed = vsnprintf(small, sizeof small, directive, args);
    va_end(args);
    if (needed >= 0 && static_cast<size_t>(needed) < sizeof small) {
        out.append(small, static_cast<size_t>(needed));
    } else if (needed >= 0) {
        const size_t start = out.size();
        out.resize(start + static_cast<size_t>(needed) + 1);
        vsnprintf(out.data() + start, static_cast<size_t>(needed) + 1, directive, again);
        out.resize(start + static_cast<size_t>(needed));
    }
    va_end(again);
    return needed >= 0;
}

template <typename CharT>
bool IsDigit(CharT ch)
{
    return ch >= CharT('0') && ch <= CharT('9');
}

template <typename CharT>
bool ParseNumber(const CharT*& p, int& value)
{
    long long number = 0;
    for (; IsDigit(*p); ++p) {
        number = number * 10 + (*p - CharT('0'));
        if (number > INT_MAX) {
            return false;
        }
    }
    value = static_cast<int>(number);
    return true;
}

// Walks a narrow (CharT = char) or wide (CharT = wchar_t) format.
template <typename CharT>
class Formatter {
public:
    static constexpr bool kWide = std::is_same_v<CharT, wchar_t>;

    Formatter(std::string& out, va_list* args) : out_(out), args_(args) {}

    bool Run(const CharT* format)
    {
        for (const CharT* p = format; *p != 0;) {
            if (*p != CharT('%')) {
                const CharT* end = p;
                while (*end != 0 && *end != CharT('%')) {
                    ++end;
                }
                if (!AppendLiteral(p, static_cast<size_t>(end - p))) {
                    return false;
                }
                p = end;
                continue;
            }
            ++p;
            Conversion conversion;
            if (!Parse(p, conversion) || !Convert(conversion)) {
                return false;
            }
        }
        return true;
    }

private:
    bool AppendLiteral(const CharT* text, size_t count)
    {
        if constexpr (kWide) {
            return BytesFromWide(text, count, out_);
        } else {
            out_.append(text, count);
            return true;
        }
    }

    bool Parse(const CharT*& p, Conversion& conversion)
    {
        for (; *p == CharT('0'); ++p) {
            conversion.zeroPad = true;
        }
        if (IsDigit(*p) && !ParseNumber(p, conversion.width)) {
            return false;
        }
        if (*p == CharT('.')) {
            ++p;
            conversion.precision = 0;
            if (!ParseNumber(p, conversion.precision)) {
                return false;
            }
        }
        for (; *p == CharT('l') && conversion.length.size() < 2; ++p) {
            conversion.length = conversion.length.empty() ? "l" : "ll";
        }
        const CharT type = *p;
        if (type == 0 || static_cast<unsigned long>(type) > 0x7F) {
            return false;
        }
        ++p;
        conversion.type = static_cast<char>(type);
        return true;
    }

    // The supported set of console.h; false for everything else.
    bool Convert(const Conversion& conversion)
    {
        const std::string_view length = conversion.length;
        switch (conversion.type) {
        case 's':
            if (!conversion.Plain()) {
                return false;
            }
            if (length == "l") {
                const wchar_t* text = va_arg(*args_, const wchar_t*);
                return text == nullptr ? AppendNull() : BytesFromWide(text, wcslen(text), out_);
            }
            if (kWide || !length.empty()) {
                return false;
            }
            if (const char* text = va_arg(*args_, const char*)) {
                out_ += text;
                return true;
            }
            return AppendNull();
        case 'c':
            if (kWide || !length.empty() || !conversion.Plain()) {
                return false;
            }
            out_ += static_cast<char>(va_arg(*args_, int));
            return true;
        case 'u':
        case 'x':
            if (length == "l") {
                return AppendNumber(conversion, va_arg(*args_, unsigned long));
            }
            return length == "ll" && AppendNumber(conversion, va_arg(*args_, unsigned long long));
        case 'f':
            return length.empty() && AppendNumber(conversion, va_arg(*args_, double));
        default:
            return false;
        }
    }

    // What the C library prints for a null string.
    bool AppendNull()
    {
        out_ += "(null)";
        return true;
    }

    // Appends a number that vsnprintf makes: ASCII, so its bytes are also its characters.
    bool AppendNumber(const Conversion& conversion, auto value)
    {
        return AppendSingle(out_, conversion.Directive().c_str(), value);
    }

    std::string& out_;
    va_list* args_;
};

// True when the format itself ends in "\n\r" (its own last two characters, never an argument's).
template <typename CharT>
bool EndsInLineFeedCarriageReturn(const CharT* format)
{
    const size_t length = std::char_traits<CharT>::length(format);
    return length >= 2 && format[length - 2] == CharT('\n') && format[length - 1] == CharT('\r');
}

template <typename CharT>
bool Format(std::string& out, const CharT* format, va_list args)
{
    if (format == nullptr) {
        return false;
    }
    const ScopedCLocale cLocale;
    // A copy the helpers can take by address: a va_list parameter may have decayed to a pointer.
    va_list copy;
    va_copy(copy, args);
    // Text that cannot be made for lack of memory fails the call, as printf fails with ENOMEM.
    const bool formatted = WithoutThrowing(false, [&] { return Formatter<CharT>(out, &copy).Run(format); });
    va_end(copy);
    // A line written "\n\r" (as some Windows console lines are) would put its carriage return at
    // the start of the next line here, where "\n" alone ends a line. The format's own last
    // character is the last byte written, so only it goes; an argument's bytes stay as they are.
    if (formatted && EndsInLineFeedCarriageReturn(format) && !out.empty() && out.back() == '\r') {
        out.pop_back();
    }
    return formatted;
}

// Writes the text of one call with one fwrite (atomic under the stream's lock).
int WriteWhole(const std::string& text)
{
    if (text.size() > static_cast<size_t>(INT_MAX)) {
        return -1;
    }
    if (fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
        return -1;
    }
    return static_cast<int>(text.size());
}

// Formats and writes one call's text; -1 when it cannot be formatted or written.
template <typename CharT>
int Print(const CharT* format, va_list args)
{
    // The thread's text buffer, kept from call to call: a line per file is then made without an
    // allocation.
    thread_local std::string t_text;
    t_text.clear();
    return Format(t_text, format, args) ? WriteWhole(t_text) : -1;
}

} // namespace

int Printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int written = Print(format, args);
    va_end(args);
    return written;
}

int WPrintf(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const int written = Print(format, args);
    va_end(args);
    return written;
}

} // namespace platform
