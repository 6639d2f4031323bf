// ExpandWildcardArguments over FindFirstFileExW and FindNextFileW.
#include "tools/Sumwise/wildcard_arguments.h"

#include <cwchar>

#include "common/handle_owners.h"
#include "common/path_names.h"

namespace {

// Appends the names that `argument` finds; false when it finds nothing.
bool AppendMatches(const wchar_t* argument, size_t prefixLength, std::vector<std::wstring>& text)
{
    WIN32_FIND_DATAW entry;
    const FindHandle find(FindFirstFileExW(argument, FindExInfoStandard, &entry, FindExSearchNameMatch, nullptr, 0));
    if (!find.valid()) {
        return false;
    }
    const size_t before = text.size();
    do {
        if (!IsDotOrDotDot(entry.cFileName)) {
            text.push_back(std::wstring(argument, prefixLength) + entry.cFileName);
        }
    } while (FindNextFileW(find.get(), &entry));
    return text.size() > before;
}

} // namespace

bool WildcardPrefix(const wchar_t* argument, size_t& prefixLength)
{
    const wchar_t* wildcard = std::wcspbrk(argument, L"*?");
    if (wildcard == nullptr) {
        return false;
    }
    for (const wchar_t* at = wildcard; at != argument; --at) {
        const wchar_t ch = at[-1];
        if (ch == L'\\' || ch == L'/' || ch == L':') {
            prefixLength = static_cast<size_t>(at - argument);
            // A colon other than a drive letter's (a stream name, say) is not expanded.
            return ch != L':' || prefixLength == 2;
        }
    }
    prefixLength = 0;
    return true;
}

void ExpandWildcardArguments(int argc, wchar_t** argv, ExpandedArguments& expanded)
{
    expanded.text.clear();
    for (int i = 0; i < argc; ++i) {
        size_t prefixLength = 0;
        if (i == 0 || !WildcardPrefix(argv[i], prefixLength) || !AppendMatches(argv[i], prefixLength, expanded.text)) {
            expanded.text.emplace_back(argv[i]);
        }
    }
    expanded.pointers.clear();
    for (std::wstring& argument : expanded.text) {
        expanded.pointers.push_back(argument.data());
    }
    expanded.pointers.push_back(nullptr);
}
