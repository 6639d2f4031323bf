// Provides the console text shells platform::Printf, VPrintf and WPrintf (the layer's printf and
// wprintf) over vsnprintf of single conversions, uselocale and one fwrite to stdout.
//
// A format is walked conversion by conversion. Every conversion except text is handed to vsnprintf
// on its own, with its argument read at the type its length modifier names, under this thread's
// C locale, so the process locale never changes a digit or a decimal point. Wide text (%ls, %lc,
// and all text of a wide format) goes through BytesFromWide, so a name prints as the bytes it was
// read from. The whole text of one call is written with one fwrite, which holds the stream's lock:
// the lines of concurrent callers never interleave. A format ending in "\n\r" is written ending in
// "\n".
#include "platform/posix/text/console.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/text/text.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <locale.h>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <type_traits>

namespace platform {

namespace {

enum class Length { kNone, kChar, kShort, kLong, kLongLong, kMax, kSize, kPtrDiff, kLongDouble };

// One parsed conversion: the parts vsnprintf needs (with `*` already resolved) and the parts the
// text conversions apply themselves.
struct Conversion {
    std::string flags;
    bool leftAlign = false;
    int width = -1;     // -1: none
    int precision = -1; // -1: none
    Length length = Length::kNone;
    std::string_view lengthText;
    char type = 0;

    std::string Directive() const
    {
        std::string directive = "%" + flags;
        if (width >= 0) {
            directive += std::to_string(width);
        }
        if (precision >= 0) {
            directive += '.';
            directive += std::to_string(precision);
        }
        directive += lengthText;
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

// Walks a narrow (CharT = char) or wide (CharT = wchar_t) format. Widths and precisions of text
// count bytes in a narrow format and characters in a wide one, as C99 specifies; the conversions
// left to vsnprintf in a wide format produce ASCII, whose bytes are its characters.
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
        units_ += count;
        if constexpr (kWide) {
            return BytesFromWide(text, count, out_);
        } else {
            out_.append(text, count);
            return true;
        }
    }

    // Appends a conversion that vsnprintf makes: ASCII, or bytes of narrow text in a narrow format,
    // so its bytes are also its characters.
    bool AppendDelegated(const Conversion& conversion, auto value)
    {
        const size_t before = out_.size();
        if (!AppendSingle(out_, conversion.Directive().c_str(), value)) {
            return false;
        }
        units_ += out_.size() - before;
        return true;
    }

    void AppendPadded(const std::string& text, size_t textUnits, const Conversion& conversion)
    {
        const size_t width = conversion.width > 0 ? static_cast<size_t>(conversion.width) : 0;
        const size_t padding = width > textUnits ? width - textUnits : 0;
        if (!conversion.leftAlign) {
            out_.append(padding, ' ');
        }
        out_ += text;
        if (conversion.leftAlign) {
            out_.append(padding, ' ');
        }
        units_ += padding + textUnits;
    }

    // Wide characters as a field. In a narrow format the precision limits the bytes written,
    // never splitting a character; in a wide format the caller has already cut `count` to it.
    bool AppendWideField(const wchar_t* text, size_t count, const Conversion& conversion)
    {
        std::string bytes;
        if (kWide || conversion.precision < 0) {
            if (!BytesFromWide(text, count, bytes)) {
                return false;
            }
            AppendPadded(bytes, kWide ? count : bytes.size(), conversion);
            return true;
        }
        size_t characters = 0;
        for (; characters < count; ++characters) {
            const size_t before = bytes.size();
            if (!BytesFromWide(text + characters, 1, bytes)) {
                return false;
            }
            if (bytes.size() > static_cast<size_t>(conversion.precision)) {
                bytes.resize(before);
                break;
            }
        }
        AppendPadded(bytes, bytes.size(), conversion);
        return true;
    }

    bool AppendWideString(const wchar_t* text, const Conversion& conversion)
    {
        if (text == nullptr) {
            text = L"(null)";
        }
        // At most `precision` characters are needed either way: each gives at least one byte.
        const size_t count = conversion.precision >= 0 ? wcsnlen(text, static_cast<size_t>(conversion.precision))
                                                        : wcslen(text);
        return AppendWideField(text, count, conversion);
    }

    // Narrow text in a wide format: decoded as names are, so its bytes print unchanged.
    bool AppendNarrowStringInWide(const char* text, const Conversion& conversion)
    {
        if (text == nullptr) {
            text = "(null)";
        }
        // A character takes at most 4 bytes, so the first `precision` characters lie within
        // 4 * precision bytes; the string need not be terminated beyond them.
        const size_t bytes = conversion.precision >= 0 ? strnlen(text, 4 * static_cast<size_t>(conversion.precision))
                                                        : strlen(text);
        std::wstring wide = WideFromBytes(text, bytes);
        if (conversion.precision >= 0 && wide.size() > static_cast<size_t>(conversion.precision)) {
            wide.resize(static_cast<size_t>(conversion.precision));
        }
        return AppendWideField(wide.data(), wide.size(), conversion);
    }

    bool Parse(const CharT*& p, Conversion& conversion)
    {
        for (;; ++p) {
            const CharT flag = *p;
            if (flag == CharT('-')) {
                conversion.leftAlign = true;
            } else if (flag != CharT('+') && flag != CharT(' ') && flag != CharT('#') && flag != CharT('0')) {
                break;
            }
            conversion.flags += static_cast<char>(flag);
        }
        if (*p == CharT('*')) {
            ++p;
            const int width = va_arg(*args_, int);
            // A negative width from the argument is a '-' flag and its magnitude.
            if (width < 0) {
                if (width == INT_MIN) {
                    return false;
                }
                conversion.leftAlign = true;
                conversion.flags += '-';
            }
            conversion.width = width < 0 ? -width : width;
        } else if (IsDigit(*p) && !ParseNumber(p, conversion.width)) {
            return false;
        }
        if (*p == CharT('.')) {
            ++p;
            if (*p == CharT('*')) {
                ++p;
                const int precision = va_arg(*args_, int);
                conversion.precision = precision < 0 ? -1 : precision; // negative: as if omitted
            } else {
                conversion.precision = 0;
                if (!ParseNumber(p, conversion.precision)) {
                    return false;
                }
            }
        }
        ParseLength(p, conversion);
        const CharT type = *p;
        if (type == 0 || static_cast<unsigned long>(type) > 0x7F) {
            return false;
        }
        ++p;
        conversion.type = static_cast<char>(type);
        return true;
    }

    static void ParseLength(const CharT*& p, Conversion& conversion)
    {
        struct Modifier {
            std::string_view text;
            Length length;
        };
        // Two-letter forms first.
        static constexpr Modifier kModifiers[] = {
            {"hh", Length::kChar}, {"ll", Length::kLongLong}, {"h", Length::kShort}, {"l", Length::kLong},
            {"j", Length::kMax},   {"z", Length::kSize},      {"t", Length::kPtrDiff}, {"L", Length::kLongDouble},
        };
        for (const Modifier& modifier : kModifiers) {
            if (p[0] == CharT(modifier.text[0]) && (modifier.text.size() == 1 || p[1] == CharT(modifier.text[1]))) {
                conversion.length = modifier.length;
                conversion.lengthText = modifier.text;
                p += modifier.text.size();
                return;
            }
        }
    }

    bool Convert(const Conversion& conversion)
    {
        const Length length = conversion.length;
        switch (conversion.type) {
        case 'd':
        case 'i':
            return length != Length::kLongDouble && AppendSigned(conversion);
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            return length != Length::kLongDouble && AppendUnsigned(conversion);
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (length == Length::kLongDouble) {
                return AppendDelegated(conversion, va_arg(*args_, long double));
            }
            return (length == Length::kNone || length == Length::kLong) &&
                   AppendDelegated(conversion, va_arg(*args_, double));
        case 'p':
            return length == Length::kNone && AppendDelegated(conversion, va_arg(*args_, void*));
        case 'c':
            return AppendCharacter(conversion);
        case 's':
            return AppendString(conversion);
        case 'n':
            return StoreCount(conversion);
        case '%':
            out_ += '%';
            ++units_;
            return true;
        default:
            return false;
        }
    }

    bool AppendSigned(const Conversion& conversion)
    {
        switch (conversion.length) {
        case Length::kLong:
            return AppendDelegated(conversion, va_arg(*args_, long));
        case Length::kLongLong:
            return AppendDelegated(conversion, va_arg(*args_, long long));
        case Length::kMax:
            return AppendDelegated(conversion, va_arg(*args_, intmax_t));
        case Length::kSize:
            return AppendDelegated(conversion, va_arg(*args_, ssize_t));
        case Length::kPtrDiff:
            return AppendDelegated(conversion, va_arg(*args_, ptrdiff_t));
        default: // char and short arrive promoted to int; vsnprintf narrows them again
            return AppendDelegated(conversion, va_arg(*args_, int));
        }
    }

    bool AppendUnsigned(const Conversion& conversion)
    {
        switch (conversion.length) {
        case Length::kLong:
            return AppendDelegated(conversion, va_arg(*args_, unsigned long));
        case Length::kLongLong:
            return AppendDelegated(conversion, va_arg(*args_, unsigned long long));
        case Length::kMax:
            return AppendDelegated(conversion, va_arg(*args_, uintmax_t));
        case Length::kSize:
            return AppendDelegated(conversion, va_arg(*args_, size_t));
        case Length::kPtrDiff:
            return AppendDelegated(conversion, va_arg(*args_, std::make_unsigned_t<ptrdiff_t>));
        default:
            return AppendDelegated(conversion, va_arg(*args_, unsigned int));
        }
    }

    bool AppendCharacter(const Conversion& conversion)
    {
        if (conversion.length == Length::kLong) {
            const wchar_t ch = static_cast<wchar_t>(va_arg(*args_, wint_t));
            return AppendWideField(&ch, 1, conversion);
        }
        if (conversion.length != Length::kNone) {
            return false;
        }
        const int ch = va_arg(*args_, int);
        if constexpr (kWide) {
            // A byte in a wide format: decoded as names are, so it prints unchanged.
            const char byte = static_cast<char>(ch);
            const std::wstring wide = WideFromBytes(&byte, 1);
            return AppendWideField(wide.data(), wide.size(), conversion);
        } else {
            return AppendDelegated(conversion, ch);
        }
    }

    bool AppendString(const Conversion& conversion)
    {
        if (conversion.length == Length::kLong) {
            return AppendWideString(va_arg(*args_, const wchar_t*), conversion);
        }
        if (conversion.length != Length::kNone) {
            return false;
        }
        const char* text = va_arg(*args_, const char*);
        if constexpr (kWide) {
            return AppendNarrowStringInWide(text, conversion);
        } else {
            // Narrow text in a narrow format is bytes to bytes: vsnprintf's own handling applies.
            return AppendDelegated(conversion, text);
        }
    }

    // %n: the count of bytes (narrow format) or characters (wide format) written so far.
    bool StoreCount(const Conversion& conversion)
    {
        switch (conversion.length) {
        case Length::kNone:
            return Store(va_arg(*args_, int*));
        case Length::kChar:
            return Store(va_arg(*args_, signed char*));
        case Length::kShort:
            return Store(va_arg(*args_, short*));
        case Length::kLong:
            return Store(va_arg(*args_, long*));
        case Length::kLongLong:
            return Store(va_arg(*args_, long long*));
        case Length::kMax:
            return Store(va_arg(*args_, intmax_t*));
        case Length::kSize:
            return Store(va_arg(*args_, ssize_t*));
        case Length::kPtrDiff:
            return Store(va_arg(*args_, ptrdiff_t*));
        default:
            return false;
        }
    }

    template <typename T>
    bool Store(T* target)
    {
        if (target == nullptr) {
            return false;
        }
        *target = static_cast<T>(units_);
        return true;
    }

    std::string& out_;
    va_list* args_;
    size_t units_ = 0; // bytes (narrow format) or characters (wide format) written so far
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

} // namespace

bool AppendFormat(std::string& out, const char* format, va_list args)
{
    return Format(out, format, args);
}

bool AppendFormat(std::string& out, const wchar_t* format, va_list args)
{
    return Format(out, format, args);
}

std::string FormatBytes(const char* format, va_list args)
{
    std::string text;
    if (!Format(text, format, args)) {
        text.clear();
    }
    return text;
}

int VPrintf(const char* format, va_list args)
{
    std::string text;
    return Format(text, format, args) ? WriteWhole(text) : -1;
}

int Printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int written = VPrintf(format, args);
    va_end(args);
    return written;
}

int WPrintf(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text;
    const bool formatted = Format(text, format, args);
    va_end(args);
    return formatted ? WriteWhole(text) : -1;
}

} // namespace platform
