// The start-up expansion of wildcard arguments, for systems whose shell passes them on as typed.
#pragma once
#include "platform/platform.h"

#include <string>
#include <vector>

// The expanded argument vector and the text it points to; it lives until the process ends.
struct ExpandedArguments {
    std::vector<std::wstring> text;
    std::vector<wchar_t*> pointers; // argc entries and a terminating null
    int count() const { return static_cast<int>(pointers.size()) - 1; }
};

// Every argument with '*' or '?' is replaced by the names its enumeration finds ("." and ".."
// left out), each behind the argument's folder part, in the order the enumeration gives them; an
// argument that finds nothing, or whose wildcard follows a colon other than a drive letter's,
// stays as it is. argv[0] is copied unchanged.
void ExpandWildcardArguments(int argc, wchar_t** argv, ExpandedArguments& expanded);

// How much of `argument` is kept in front of each name the enumeration finds: everything up to
// and including the last '\', '/' or ':' before its first wildcard (0 when there is none).
// Returns false when the argument is passed on unchanged without an enumeration: it has no
// wildcard, or the character found is a ':' that is not the argument's second character.
bool WildcardPrefix(const wchar_t* argument, size_t& prefixLength);
