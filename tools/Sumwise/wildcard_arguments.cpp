// ExpandWildcardArguments over FindFirstFileExW and FindNextFileW.
#include "tools/Sumwise/wildcard_arguments.h"

#include <cwchar>

namespace {

bool IsDotName(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Appends the names that `argument` finds; false when it finds nothing.
bool AppendMatches(const wchar_t* argument, size_t prefixLength, std::vector<std::wstring>& text)
{
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileExW(argument, FindExInfoStandard, &entry, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        return false;
    }
    const size_t before = text.size();
    do {
        if (!IsDotName(entry.cFileName)) {
            text.push_back(std::wstring(argument, prefixLength) + entry.cFileName);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
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
