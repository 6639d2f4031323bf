// DigestFile: the digest or checksum of one file, read in the way its size calls for.
#pragma once
#include "platform/platform.h"

#include "common/hresults.h"
#include "tools/Sumwise/digest_file_overlapped.h"

// Files below this size are mapped and fed in one call.
inline constexpr ULONGLONG kMappingLimit = 0x400000;
// Files of this size or more are read with overlapped reads in flight (DigestFileOverlapped).
inline constexpr ULONGLONG kOverlappedLimit = 0x20000000;

// Digests the file at `path` with `digester`, not yet begun. `digestLength` holds the capacity of
// `digest` on entry (64) and the result's byte count on success; `bytesHashed` the bytes fed.
// Returns S_OK or the failure (kHrFileInvalid for an empty file, a file that cannot be mapped or
// no regular file), after which the outputs are meaningless. `folder`, when given, is set when
// the lookup found a folder (or a link to one), which never reads as a file.
HRESULT DigestFile(const wchar_t* path, Digester& digester, BYTE* digest, DWORD* digestLength, ULONGLONG* bytesHashed,
                   bool* folder = nullptr);
