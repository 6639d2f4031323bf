// Wide text as the program prints it: the original bytes on POSIX, the active code page on
// Windows (the fixtures' names are ASCII).
#pragma once
#include <filesystem>
#include <string>

#include "platform/platform.h"

inline std::string Narrow(const std::wstring& text)
{
#if defined(_WIN32)
    return std::filesystem::path(text).string();
#else
    return platform::BytesFromWide(text);
#endif
}

inline std::string Narrow(const std::filesystem::path& path)
{
    return Narrow(path.wstring());
}
