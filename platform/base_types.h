// The Win32 base types alone (DWORD, HRESULT, PCWSTR, WINAPI …), for the public interfaces
// that outside callers compile against: the system's own on Windows, the layer's on POSIX.
// Product code includes platform/platform.h, which brings in everything.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include "posix/system/win32_types.h"
#endif
