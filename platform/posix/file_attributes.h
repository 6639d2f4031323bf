// Internal to the layer: Win32 attribute bits and times of a file system entry, shared by the
// enumeration, GetFileAttributesW and GetFileInformationByHandle.
#pragma once
#include "win32_types.h"

#include <sys/stat.h>

namespace platform {
// Attributes of the entry `name` in `dirFd`, described by `info` (an lstat-style result) inside
// a folder on device `folderDevice`:
// - a symbolic link is FILE_ATTRIBUTE_REPARSE_POINT plus DIRECTORY when it leads to a folder,
//   else plus ARCHIVE (one more stat, through the link, only for links; a dangling link is a
//   file); a link has no write bit of its own, so it is never READONLY;
// - a folder is DIRECTORY, plus REPARSE_POINT when it is a mount point (another device);
// - anything else is ARCHIVE, as Windows marks fresh files;
// - READONLY when the owner write bit is clear.
DWORD AttributesOf(const struct stat& info, int dirFd, const char* name, dev_t folderDevice);
// A POSIX time as 100-ns intervals since 1601-01-01 (times before 1601 become 0).
FILETIME FileTimeFrom(const timespec& time);
} // namespace platform
