// Provides GetLocaleInfoW (grouping and separators of the user locale) and GetNumberFormatEx
// over getenv, newlocale and nl_langinfo_l; the number formatting itself is plain text work.
//
// The user locale is read afresh on every call, so a change of LC_ALL / LC_NUMERIC / LANG takes
// effect at once and nothing is cached across threads. Only the LC_NUMERIC category is loaded.
#include "platform/posix/text/locale.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/text/text.h"

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <langinfo.h>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

constexpr DWORD kErrorInvalidFlags = 1004; // ERROR_INVALID_FLAGS

struct LocaleDeleter {
    void operator()(locale_t locale) const { freelocale(locale); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

platform::NumericConventions InvariantConventions()
{
    return {L"3;0", L",", L"."};
}

// The C locale and its codeset variants ("C.UTF-8") carry no grouping at all; Win32 treats the
// invariant locale as English-like, and so do we.
bool IsInvariantLocaleName(std::string_view name)
{
    return name.empty() || name == "C" || name == "POSIX" || name.starts_with("C.");
}

const char* UserLocaleName()
{
    for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "";
}

// Appends text to a caller's buffer as far as it has room, one place kept for the terminator,
// and counts the full length, so that one pass serves both the size query and the cut text.
class BoundedText {
public:
    BoundedText(wchar_t* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    void Append(std::wstring_view text)
    {
        const size_t written = std::min(text.size(), Free());
        if (written > 0) {
            text.copy(buffer_ + length_, written);
        }
        length_ += text.size();
    }

    void Repeat(wchar_t ch, size_t count)
    {
        const size_t written = std::min(count, Free());
        if (written > 0) {
            std::fill_n(buffer_ + length_, written, ch);
        }
        length_ += count;
    }

    size_t length() const { return length_; }

    // Ends the text, cut to capacity - 1 characters when it is longer.
    void Terminate()
    {
        if (capacity_ > 0) {
            buffer_[std::min(length_, capacity_ - 1)] = L'\0';
        }
    }

private:
    size_t Free() const { return length_ + 1 < capacity_ ? capacity_ - 1 - length_ : 0; }

    wchar_t* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};

// The digit text split into sign, integer and fraction digits; false for anything that is not
// ASCII digits with at most one '.' after an optional single '-'.
bool ParseDigitText(const wchar_t* value, bool& negative, std::wstring& integer, std::wstring& fraction)
{
    negative = *value == L'-';
    bool seenPoint = false;
    for (const wchar_t* p = negative ? value + 1 : value; *p != L'\0'; ++p) {
        if (*p >= L'0' && *p <= L'9') {
            (seenPoint ? fraction : integer).push_back(*p);
        } else if (*p == L'.' && !seenPoint) {
            seenPoint = true;
        } else {
            return false;
        }
    }
    return true;
}

// Adds one unit in the last place of `digits`; true when the carry runs out of the front.
bool Increment(std::wstring& digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != L'9') {
            ++*it;
            return false;
        }
        *it = L'0';
    }
    return true;
}

// Rounds the magnitude to at most `numDigits` fractional digits, halves up, and drops the
// leading zeros of the integer part.
void RoundHalfUp(std::wstring& integer, std::wstring& fraction, size_t numDigits)
{
    if (fraction.size() > numDigits) {
        const bool up = fraction[numDigits] >= L'5';
        fraction.resize(numDigits);
        if (up && Increment(fraction) && Increment(integer)) {
            integer.insert(integer.begin(), L'1');
        }
    }
    integer.erase(0, integer.find_first_not_of(L'0'));
}

// Integer digits with the separator between groups. `grouping` read as decimal digits gives the
// group sizes from the right; the last size repeats, and a size 0 leaves the rest in one group.
std::wstring GroupDigits(const std::wstring& digits, UINT grouping, std::wstring_view separator)
{
    const std::wstring sizes = std::to_wstring(grouping);
    std::vector<size_t> cuts; // positions where a separator goes, from the right
    size_t left = digits.size();
    for (size_t group = 0;; ++group) {
        const size_t size = static_cast<size_t>(sizes[std::min(group, sizes.size() - 1)] - L'0');
        if (size == 0 || size >= left) {
            break;
        }
        left -= size;
        cuts.push_back(left);
    }
    std::wstring grouped;
    size_t from = 0;
    for (auto it = cuts.rbegin(); it != cuts.rend(); ++it) {
        grouped.append(digits, from, *it - from).append(separator);
        from = *it;
    }
    return grouped.append(digits, from);
}

} // namespace

namespace platform {

std::wstring GroupingTextFromBytes(const char* grouping)
{
    std::vector<unsigned> sizes;
    bool repeats = true;
    for (const char* p = grouping; *p != '\0'; ++p) {
        const auto size = static_cast<unsigned char>(*p);
        if (size == CHAR_MAX || size == UCHAR_MAX) {
            repeats = false; // no grouping beyond the sizes so far
            break;
        }
        sizes.push_back(size);
    }
    if (sizes.empty()) {
        return L"0";
    }
    // A repeated last size covers equal sizes before it: "\3\3" is written "3;0", as Win32 does.
    while (repeats && sizes.size() > 1 && sizes[sizes.size() - 2] == sizes.back()) {
        sizes.pop_back();
    }
    std::wstring text;
    for (const unsigned size : sizes) {
        text += std::to_wstring(size) + L";";
    }
    return repeats ? text + L"0" : text.substr(0, text.size() - 1);
}

NumericConventions NumericConventionsOf(const char* localeName)
{
    if (localeName == nullptr || IsInvariantLocaleName(localeName)) {
        return InvariantConventions();
    }
    const LocaleHandle locale(newlocale(LC_NUMERIC_MASK, localeName, nullptr));
    if (!locale) {
        return InvariantConventions(); // not installed: the invariant locale, as Win32 falls back
    }
    const char* thousands = nl_langinfo_l(THOUSEP, locale.get());
    const char* decimal = nl_langinfo_l(RADIXCHAR, locale.get());
    NumericConventions conventions{GroupingTextFromBytes(nl_langinfo_l(GROUPING, locale.get())),
                                   WideFromBytes(std::string(thousands)), WideFromBytes(std::string(decimal))};
    if (conventions.decimal.empty()) {
        conventions.decimal = L"."; // a number must keep its fraction readable
    }
    return conventions;
}

NumericConventions UserNumericConventions()
{
    return NumericConventionsOf(UserLocaleName());
}

} // namespace platform

int WINAPI GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int cchData)
{
    return platform::WithoutThrowing(0, [&]() -> int {
        if (locale != LOCALE_USER_DEFAULT || cchData < 0 || (data == nullptr && cchData > 0)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        const platform::NumericConventions conventions = platform::UserNumericConventions();
        const std::wstring* value = nullptr;
        switch (type) {
        case LOCALE_SGROUPING:
            value = &conventions.grouping;
            break;
        case LOCALE_STHOUSAND:
            value = &conventions.thousands;
            break;
        case LOCALE_SDECIMAL:
            value = &conventions.decimal;
            break;
        default:
            SetLastError(kErrorInvalidFlags);
            return 0;
        }
        const size_t needed = value->size() + 1;
        if (cchData == 0) {
            return static_cast<int>(needed);
        }
        if (needed > static_cast<size_t>(cchData)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        value->copy(data, value->size());
        data[value->size()] = L'\0';
        return static_cast<int>(needed);
    });
}

int WINAPI GetNumberFormatEx(LPCWSTR /*localeName*/, DWORD flags, LPCWSTR value, const NUMBERFMTW* format,
                             LPWSTR numberText, int cchNumber)
{
    return platform::WithoutThrowing(0, [&]() -> int {
        if (flags != 0) {
            SetLastError(kErrorInvalidFlags);
            return 0;
        }
        bool negative = false;
        std::wstring integer;
        std::wstring fraction;
        if (value == nullptr || format == nullptr || format->lpDecimalSep == nullptr ||
            format->lpThousandSep == nullptr || format->NegativeOrder > 4 || cchNumber < 0 ||
            (numberText == nullptr && cchNumber > 0) || !ParseDigitText(value, negative, integer, fraction)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        RoundHalfUp(integer, fraction, format->NumDigits);
        const bool isZero = integer.empty() && fraction.find_first_not_of(L'0') == std::wstring::npos;
        // An integer zero always shows its "0"; LeadingZero only decides for a fraction (".50").
        if (integer.empty() && (format->LeadingZero != 0 || format->NumDigits == 0)) {
            integer = L"0";
        }

        static constexpr std::wstring_view kNegativePrefix[] = {L"(", L"-", L"- ", L"", L""};
        static constexpr std::wstring_view kNegativeSuffix[] = {L")", L"", L"", L"-", L" -"};
        const bool showSign = negative && !isZero;
        BoundedText text(numberText, static_cast<size_t>(cchNumber));
        if (showSign) {
            text.Append(kNegativePrefix[format->NegativeOrder]);
        }
        text.Append(GroupDigits(integer, format->Grouping, format->lpThousandSep));
        if (format->NumDigits > 0) {
            text.Append(format->lpDecimalSep);
            text.Append(fraction);
            text.Repeat(L'0', format->NumDigits - fraction.size());
        }
        if (showSign) {
            text.Append(kNegativeSuffix[format->NegativeOrder]);
        }

        const size_t needed = text.length() + 1;
        if (cchNumber == 0) {
            if (needed > static_cast<size_t>(INT_MAX)) {
                SetLastError(ERROR_INVALID_PARAMETER); // a size the result cannot carry
                return 0;
            }
            return static_cast<int>(needed);
        }
        text.Terminate();
        if (needed > static_cast<size_t>(cchNumber)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        return static_cast<int>(needed);
    });
}
