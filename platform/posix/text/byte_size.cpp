// Provides StrFormatByteSizeW over plain integer arithmetic, with the decimal separator of the
// user locale (locale.cpp, newlocale / nl_langinfo_l).
//
// The digits are computed in integers, never in floating point, so that truncation is exact:
// hundredths of the unit are (count * 100) >> (10 * unit), and that product cannot overflow
// because the TB..EB ranges work in whole KB (below 2^53) and the lower ones stay below 2^40.
#include "platform/posix/text/byte_size.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/text/locale.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace platform {

std::wstring ByteSizeText(LONGLONG size, std::wstring_view decimalSeparator)
{
    if (size == LLONG_MIN) {
        return L"0 bytes"; // the system's text for the one count whose magnitude has no LONGLONG
    }
    if (size < 1024) {
        return std::to_wstring(size) + L" bytes";
    }
    static constexpr const wchar_t* kUnits[] = {L"KB", L"MB", L"GB", L"TB", L"PB", L"EB"};
    const auto count = static_cast<std::uint64_t>(size);
    unsigned unit = 1; // a power of 1024; count < 2^63 keeps it at 6 or below
    while ((count >> (10 * unit)) >= 1000) {
        ++unit;
    }
    const bool inKilobytes = unit >= 4;
    const std::uint64_t value = inKilobytes ? count >> 10 : count;
    const std::uint64_t hundredths = (value * 100) >> (10 * (inKilobytes ? unit - 1 : unit));

    // Three significant digits: two decimals below 10, one below 100, none from there on.
    const size_t decimals = hundredths < 1000 ? 2 : hundredths < 10000 ? 1 : 0;
    std::wstring text = std::to_wstring(hundredths / (decimals == 2 ? 1 : decimals == 1 ? 10 : 100));
    if (decimals > 0) {
        text.insert(0, decimals + 1 - std::min(text.size(), decimals + 1), L'0');
        text.insert(text.size() - decimals, decimalSeparator);
    }
    return text + L" " + kUnits[unit - 1];
}

} // namespace platform

PWSTR WINAPI StrFormatByteSizeW(LONGLONG size, PWSTR buffer, UINT cchBuffer)
{
    return platform::WithoutThrowing(PWSTR{nullptr}, [&]() -> PWSTR {
        if (buffer == nullptr) {
            return nullptr;
        }
        if (cchBuffer == 0) {
            return buffer;
        }
        const std::wstring text = platform::ByteSizeText(size, platform::UserNumericConventions().decimal);
        const size_t written = std::min<size_t>(text.size(), cchBuffer - 1);
        text.copy(buffer, written);
        buffer[written] = L'\0';
        const size_t numberLength = text.rfind(L' '); // the units hold no blank
        return written >= numberLength ? buffer : nullptr;
    });
}
