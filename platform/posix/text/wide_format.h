// Formatting into small wide buffers. Provides wsprintfW with its Win32 directives (%c and %s
// take wide text, a long is 32 bits).
#pragma once
#include "platform/posix/system/win32_types.h"

// Win32: formats into `buffer`, writing at most 1024 characters with the terminator, and returns
// the characters written without it. The directives offered: %c (a WCHAR), %s (a wide string;
// null prints "(null)"), %d, %u, %x (lower-case hex), %lc, %ls, %ld, %lu, %lx (the same: a long
// is 32 bits on Win32, and these read 32-bit values) and %%. Anything else after a % (flags,
// widths, precisions, other types) ends the text there: what came before it is terminated and
// counted, which is less than the full text, the Win32 sign of failure. A null buffer or format
// writes nothing and returns 0.
int WINAPIV wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
