// DigestFileOverlapped, the way of reading the largest files, and the block size DigestFile shares.
#pragma once
#include "platform/platform.h"

#include "tools/Sumwise/digester.h"

// The size of every read and of every read buffer.
inline constexpr DWORD kBlockSize = 0x100000;
// Overlapped reads in flight at most.
inline constexpr DWORD kSlotLimit = 32;

// The overlapped way, for files of kOverlappedLimit bytes or more: kSlotLimit reads of
// kBlockSize in flight, consumed round-robin in file order.
HRESULT DigestFileOverlapped(const wchar_t* path, Digester& digester, BYTE* digest, DWORD* digestLength,
                             ULONGLONG* bytesHashed);
