// DigestFile: the digest or checksum of one file, read in the way its size calls for.
#pragma once
#include "platform/platform.h"

// Files below this size are mapped and fed in one call.
inline constexpr ULONGLONG kMappingLimit = 0x400000;
// Files of this size or more are read with overlapped reads in flight (DigestFileOverlapped).
inline constexpr ULONGLONG kOverlappedLimit = 0x20000000;
// The size of every read and of every read buffer.
inline constexpr DWORD kBlockSize = 0x100000;
// Overlapped reads in flight at most.
inline constexpr DWORD kSlotLimit = 32;

// An empty file, a file that cannot be mapped, or an object that is not a regular file.
inline constexpr HRESULT kHrEmptyOrUnmappable = static_cast<HRESULT>(0x800703EE);

// Digests the file at `path` with the algorithm `selector`. `digestLength` holds the capacity of
// `digest` on entry (64) and the result's byte count on success; `bytesHashed` the bytes fed.
// Returns S_OK or the failure, after which the outputs are meaningless.
HRESULT DigestFile(const wchar_t* path, DWORD selector, BYTE* digest, DWORD* digestLength, ULONGLONG* bytesHashed);

// The overlapped way, for files of kOverlappedLimit bytes or more: kSlotLimit reads of
// kBlockSize in flight, consumed round-robin in file order.
HRESULT DigestFileOverlapped(const wchar_t* path, DWORD selector, BYTE* digest, DWORD* digestLength,
                             ULONGLONG* bytesHashed);

// S_OK when the handle, opened for reading without FILE_FLAG_BACKUP_SEMANTICS (so never on a
// folder), is open on a regular file; kHrEmptyOrUnmappable for a pipe, a FIFO, a socket or a
// device, which a name can lead to once the lookup has seen a file there.
HRESULT CheckRegularFile(HANDLE file);

// The size of an open file, from GetFileSize.
HRESULT SizeOfOpenFile(HANDLE file, ULONGLONG& size);
