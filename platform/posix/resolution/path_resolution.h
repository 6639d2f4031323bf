// Internal to the layer: the resolution of the paths that the enumeration and the file calls are
// given, through the directory descriptors of the thread's open enumerations (see
// path_resolution.cpp for the design).
#pragma once
#include "platform/posix/system/win32_types.h"

#include "platform/posix/resolution/unique_fd.h"

#include <string>

namespace platform {

class FolderRegistry;
struct OpenFolder;

// A path converted to bytes: repeated separators collapsed, trailing ones removed (the root
// stays "/"). Returns 0, or 123 for text that has no byte form, 3 for an empty path, 87 for null.
DWORD PathBytes(LPCWSTR wide, std::string& bytes, bool& trailingSeparator);

// Where the last component of a path lives: a directory descriptor and a name relative to it.
struct Location {
    int dirFd = -1;
    UniqueFd owned;              // set when dirFd was opened for this call
    const char* name = nullptr;  // NUL-terminated, points into the resolved path text
    OpenFolder* folder = nullptr; // the enumeration whose descriptor dirFd is (name is one component)
    bool belowEnumeration = false; // resolved through an enumeration: no link may be followed
};

// Resolves the folder part of `path` (a PathBytes result) through `registry`, whose lock the
// caller holds. With `needDirFd` false, a short path outside every enumeration may come back as
// AT_FDCWD and the whole path as the name. Returns 0 or a Win32 error (3 when a folder on the way
// is missing or not a folder). A failing call on the location reports its errno through
// PathError(err, location.dirFd, location.name).
DWORD ResolvePath(FolderRegistry& registry, const std::string& path, bool needDirFd, Location& location);

// openat(location.dirFd, location.name, flags), for the calls that open what a path names. A path
// that ResolvePath left to the kernel whole and that holds more links than one lookup follows
// (ELOOP) is resolved again through its folder, piece by piece, and `location` then describes
// that; if even that fails, the result is -1 with ELOOP.
int OpenAtLocation(FolderRegistry& registry, const std::string& path, Location& location, int flags);

} // namespace platform
