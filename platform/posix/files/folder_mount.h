// Internal to the layer: the stat data of a folder entry or of an open folder, together with
// whether that folder is a mount point, which the enumeration reports as FILE_ATTRIBUTE_REPARSE_POINT.
#pragma once

#include <sys/stat.h>

namespace platform {

// A folder is a mount point when it is the root of a mount: another file system mounted there, or
// a bind mount of any folder, of the same file system too. Device numbers cannot tell the second
// (a bind mount keeps its file system's device), so the mount itself decides: the mount-root
// attribute of statx (Linux 5.8 and later). Where statx lacks it or is refused, the mount ids of
// the folder and of its ".." decide (name_to_handle_at; ".." of a mount root lies on the mount
// below it), and where the file system gives no handles either, the device of ".." against the
// folder's own. "/" is its own "..": never a mount point.

// The stat data of the entry `name` of `dirFd` (a link itself, never its target) and, for a folder,
// whether it is a mount point (false for anything else). `mayBeFolder`: the folder's record says
// folder, or does not say; then one statx gives both. Otherwise fstatat alone, as for every file,
// and statx after it only when the entry turned out to be a folder. 0 or an errno value.
int StatEntry(int dirFd, const char* name, bool mayBeFolder, struct stat& info, bool& mountPoint);
// The stat data of the open folder `fd` (any descriptor, O_PATH too) and whether it is a mount
// point; one statx. 0 or an errno value.
int StatOpenFolder(int fd, struct stat& info, bool& mountPoint);
// The decision without the mount-root attribute (what older kernels get), for the folder `name` of
// `dirFd` (the folder `dirFd` itself when `name` is empty) whose stat data is `info`.
bool MountPointByMountId(int dirFd, const char* name, const struct stat& info);

} // namespace platform
