// FormatGroupedNumber: the user locale's grouping settings, rebuilt on every call, applied by the
// platform's number formatter.
#include "common/number_format.h"

#include <cwctype>

namespace {
constexpr UINT kDefaultGroup = 3;

UINT UserGroupSize()
{
    wchar_t grouping[32] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, grouping, 32) == 0) {
        return kDefaultGroup;
    }
    return FirstGroupSize(grouping);
}
} // namespace

UINT FirstGroupSize(const wchar_t* grouping)
{
    UINT size = 0;
    for (const wchar_t* p = grouping; *p >= L'0' && *p <= L'9'; ++p) {
        size = size * 10 + static_cast<UINT>(*p - L'0');
    }
    return size;
}

int FormatGroupedNumber(wchar_t* output, int capacity, const wchar_t* digits)
{
    if (capacity != 0) {
        output[0] = L'\0';
    }
    wchar_t separator[2] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 2) == 0) {
        separator[0] = L',';
        separator[1] = L'\0';
    }
    NUMBERFMTW settings{};
    settings.NumDigits = 0;
    settings.LeadingZero = 0;
    settings.Grouping = UserGroupSize();
    settings.lpDecimalSep = separator;
    settings.lpThousandSep = separator;
    settings.NegativeOrder = 0;
    const int written = GetNumberFormatEx(nullptr, 0, digits, &settings, output, capacity);
    if (written == 0 && capacity != 0) {
        output[0] = L'\0'; // a formatter may leave a cut text behind; the field stays empty
    }
    return written;
}
