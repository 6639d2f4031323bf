// The one include of product code. On Windows it brings in the system's own headers; on POSIX
// the layer in platform/posix/, which provides the same Win32 subset under the same names.
// Differences that product code must express are the constants below. The layer's own files
// include the headers they use, never this one.
#pragma once

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <wincrypt.h>
#include <pathcch.h>
#include <shlwapi.h>
#include <evntprov.h>
#include <cstdio>
#include <cwchar>

// Newer SDK values that the MinGW-w64 headers do not define yet.
#ifndef PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH
#define PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH 0x00000010
#endif
#ifndef HEAP_CREATE_SEGMENT_HEAP
#define HEAP_CREATE_SEGMENT_HEAP 0x00000100
#endif
#ifndef HEAP_CREATE_HARDENED
#define HEAP_CREATE_HARDENED 0x00000200
#endif

namespace platform {
inline constexpr wchar_t kPathSeparator = L'\\';
inline constexpr const wchar_t* kLongPathPrefix = L"\\\\?\\";
inline constexpr bool kIsWindows = true;
inline constexpr bool IsSwitchPrefix(wchar_t ch) { return ch == L'-' || ch == L'/'; }
// The shell passes wildcard arguments on as typed: a program that takes file patterns expands them.
inline constexpr bool kProgramExpandsWildcards = true;
// The enumeration flags of the POSIX layer: the system already follows folder links everywhere,
// returns every entry complete, and names cannot hold '*' or '?', so they ask for nothing here.
inline constexpr DWORD kFindFollowLinks = 0;
inline constexpr DWORD kFindLazyData = 0;
inline constexpr DWORD kFindLiteralName = 0;
inline BOOL CompleteFindData(HANDLE, WIN32_FIND_DATAW*) { return TRUE; }
} // namespace platform

#else

#include <cstdio>
#include <cwchar>

#include "posix/win32_types.h"
#include "posix/byte_size.h"
#include "posix/console_handle.h"
#include "posix/console.h"
#include "posix/crypto.h"
#include "posix/debug.h"
#include "posix/errors.h"
#include "posix/event_trace.h"
#include "posix/file_handle.h"
#include "posix/file_ops.h"
#include "posix/file_read.h"
#include "posix/file_view.h"
#include "posix/find_file.h"
#include "posix/handles.h"
#include "posix/heap.h"
#include "posix/init_once.h"
#include "posix/library.h"
#include "posix/locale.h"
#include "posix/overlapped_read.h"
#include "posix/path.h"
#include "posix/srw_lock.h"
#include "posix/sync.h"
#include "posix/text.h"
#include "posix/threadpool.h"
#include "posix/time.h"
#include "posix/virtual_memory.h"
#include "posix/wide_format.h"
#include "posix/wildcard.h"

namespace platform {
inline constexpr wchar_t kPathSeparator = L'/';
inline constexpr const wchar_t* kLongPathPrefix = L"";
inline constexpr bool kIsWindows = false;
// '/' begins every absolute path, so only '-' introduces a switch.
inline constexpr bool IsSwitchPrefix(wchar_t ch) { return ch == L'-'; }
// The shell has expanded wildcard arguments already; expanding again would change names that hold
// '*' or '?'.
inline constexpr bool kProgramExpandsWildcards = false;
} // namespace platform

// Console text goes through the layer so that wide arguments print as their original bytes,
// whatever the process locale (the same redirection the runtime PALs make).
#define printf platform::Printf
#define wprintf platform::WPrintf

#endif
