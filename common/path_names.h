// The pieces of a path that the walks and the tools spell alike: the size of a path buffer, the
// separator as text, and the "." and ".." names that an enumeration returns.
#pragma once
#include "platform/platform.h"

// Characters in a path buffer: the longest path that the path functions take (32,767
// characters, long-path prefix included) and its terminator.
inline constexpr size_t kPathBufferChars = PATHCCH_MAX_CCH;

// The separator as a one-character string, for the calls that append text to a path.
inline constexpr wchar_t kSeparatorText[] = {platform::kPathSeparator, L'\0'};

// True for "." and "..": an enumeration may return them, and no walk ever enters them.
inline bool IsDotOrDotDot(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}
