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

#include "posix/system/win32_types.h"
#include "posix/text/byte_size.h"
#include "posix/text/console_handle.h"
#include "posix/text/console.h"
#include "posix/system/crypto.h"
#include "posix/system/debug.h"
#include "posix/system/errors.h"
#include "posix/tracing/event_trace.h"
#include "posix/io/file_handle.h"
#include "posix/files/file_ops.h"
#include "posix/io/file_read.h"
#include "posix/io/file_view.h"
#include "posix/files/find_file.h"
#include "posix/sync/handles.h"
#include "posix/system/heap.h"
#include "posix/sync/init_once.h"
#include "posix/system/library.h"
#include "posix/text/locale.h"
#include "posix/io/overlapped_read.h"
#include "posix/files/path.h"
#include "posix/sync/srw_lock.h"
#include "posix/sync/sync.h"
#include "posix/text/text.h"
#include "posix/sync/threadpool.h"
#include "posix/system/time.h"
#include "posix/io/virtual_memory.h"
#include "posix/text/wide_format.h"
#include "posix/text/wildcard.h"

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
