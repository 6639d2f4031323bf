// File-name wildcard matching. Provides PathMatchSpecW and PathMatchSpecExW.
#pragma once
#include "win32_types.h"

// Win32: '*' any run, '?' exactly one character, case ignored by simple case folding; ';'
// separates patterns and leading blanks of each are skipped; "*.*" matches every name.
BOOL WINAPI PathMatchSpecW(LPCWSTR file, LPCWSTR spec);
// Win32: S_OK on a match, S_FALSE otherwise (every flag value behaves as PMSF_MULTIPLE).
HRESULT WINAPI PathMatchSpecExW(LPCWSTR file, LPCWSTR spec, DWORD flags);
