// The plain start of an enumeration that the layer's tests use: FindFirstFileExW with the
// standard information level, a name match and no flags (what the system's FindFirstFileW is).
#pragma once
#include "platform/platform.h"

inline HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findFileData)
{
    return FindFirstFileExW(fileName, FindExInfoStandard, findFileData, FindExSearchNameMatch, nullptr, 0);
}
