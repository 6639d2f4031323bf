// Internal to the layer: Win32 attribute bits of a file system entry, shared by the enumeration
// and GetFileInformationByHandle.
#pragma once
#include "platform/posix/system/win32_types.h"

#include <sys/stat.h>

namespace platform {
// Attributes of the entry `name` in `dirFd`, described by `info` (an lstat-style result):
// - a symbolic link is FILE_ATTRIBUTE_REPARSE_POINT plus DIRECTORY when it leads to a folder,
//   else plus ARCHIVE (one more stat, through the link, only for links; a dangling link is a
//   file); a link has no write bit of its own, so it is never READONLY;
// - a folder is DIRECTORY, plus REPARSE_POINT when `mountPoint` (the caller's finding through
//   folder_mount.h: the root of a mount, never a matter of device numbers);
// - anything else is ARCHIVE, as Windows marks fresh files;
// - READONLY when the owner write bit is clear.
DWORD AttributesOf(const struct stat& info, int dirFd, const char* name, bool mountPoint);
} // namespace platform
