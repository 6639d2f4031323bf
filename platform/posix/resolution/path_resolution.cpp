// Provides the path resolution of the enumeration and the file calls (PathBytes, ResolvePath,
// OpenAtLocation) over openat (O_PATH, O_NOFOLLOW) relative to the open enumerations' descriptors.
//
// A call on a path resolves the path's folder part against the deepest enumeration of the thread
// (folder_registry.h) whose folder contains it: the remaining components are opened one at a time
// with openat(O_PATH | O_DIRECTORY | O_NOFOLLOW) and the caller acts on the last component
// relative to the resulting descriptor (unlinkat, fchmodat and fstatat with AT_SYMLINK_NOFOLLOW).
// Below an enumerated folder no symbolic link is ever followed: a subfolder swapped for a link
// while a walk runs makes the call fail (ENOTDIR, path not found) instead of redirecting it
// outside. No system call ever gets more than a few components, so depth is not limited by
// PATH_MAX, and nothing is walked again from the root per entry. Paths outside every enumeration
// (the user's starting folder, which may contain links) are resolved by the kernel, in chunks
// shorter than PATH_MAX; the kernel follows at most 40 links in one lookup, so outside paths that
// hold more are opened component by component. Remaining components "." or ".." would leave the
// enumerated folder, so such paths are resolved as outside paths.
#include "platform/posix/resolution/path_resolution.h"

#include "platform/posix/resolution/folder_lookup.h"
#include "platform/posix/resolution/folder_registry.h"
#include "platform/posix/files/path.h"
#include "platform/posix/text/text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <cwchar>
#include <string_view>
#include <utility>

namespace platform {

DWORD PathBytes(LPCWSTR wide, std::string& bytes, bool& trailingSeparator)
{
    bytes.clear();
    trailingSeparator = false;
    if (wide == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (*wide == L'\0') {
        return ERROR_PATH_NOT_FOUND;
    }
    if (!BytesFromWide(wide, std::wcslen(wide), bytes)) {
        return ERROR_INVALID_NAME;
    }
    const auto isDoubleSeparator = [](char a, char b) { return a == '/' && b == '/'; };
    if (std::adjacent_find(bytes.begin(), bytes.end(), isDoubleSeparator) != bytes.end()) {
        size_t kept = 0;
        for (const char byte : bytes) {
            if (byte != '/' || kept == 0 || bytes[kept - 1] != '/') {
                bytes[kept++] = byte;
            }
        }
        bytes.resize(kept);
    }
    if (bytes.size() > 1 && bytes.back() == '/') {
        trailingSeparator = true;
        bytes.pop_back();
    }
    return ERROR_SUCCESS;
}

DWORD ResolvePath(FolderRegistry& registry, const std::string& path, bool needDirFd, Location& location)
{
    if (path == "/") {
        location.dirFd = AT_FDCWD;
        location.name = path.c_str();
        return ERROR_SUCCESS;
    }
    const PathCut cut = CutAtLastSeparator(path);
    const std::string_view parent = cut.folder;
    location.name = cut.name.data(); // the end of `path`, so terminated

    // The deepest enumeration whose folder is the parent or contains it.
    OpenFolder* covering = nullptr;
    size_t coveringOffset = kNotBelow; // kNotBelow: the parent is the folder itself
    for (auto it = registry.stack.rbegin(); it != registry.stack.rend(); ++it) {
        OpenFolder* folder = *it;
        if (covering != nullptr && folder->path.size() <= covering->path.size()) {
            continue;
        }
        if (folder->path.view() == parent) {
            covering = folder;
            coveringOffset = kNotBelow;
            break; // nothing can be deeper than the parent itself
        }
        const size_t offset = OffsetBelow(folder->path.view(), parent);
        if (offset != kNotBelow && !HasDotComponent(parent.substr(offset))) {
            covering = folder;
            coveringOffset = offset;
        }
    }

    if (covering != nullptr) {
        int fd = -1;
        const DWORD error = FolderFd(registry, *covering, fd);
        if (error != ERROR_SUCCESS) {
            return error;
        }
        location.belowEnumeration = true;
        if (coveringOffset == kNotBelow) {
            location.dirFd = fd;
            location.folder = covering;
            return ERROR_SUCCESS;
        }
        const DWORD walkError = OpenBelow(fd, parent.substr(coveringOffset), location.owned);
        location.dirFd = location.owned.get();
        return walkError;
    }
    if (!needDirFd && path.size() < PATH_MAX) {
        location.dirFd = AT_FDCWD;
        location.name = path.c_str();
        return ERROR_SUCCESS;
    }
    const DWORD error = OpenOutside(parent, location.owned);
    location.dirFd = location.owned.get();
    return error;
}

int OpenAtLocation(FolderRegistry& registry, const std::string& path, Location& location, int flags)
{
    const int fd = openat(location.dirFd, location.name, flags);
    if (fd >= 0 || errno != ELOOP || location.dirFd != AT_FDCWD) {
        return fd;
    }
    Location throughFolder;
    if (ResolvePath(registry, path, true, throughFolder) != ERROR_SUCCESS) {
        errno = ELOOP;
        return -1;
    }
    location = std::move(throughFolder);
    return openat(location.dirFd, location.name, flags);
}

} // namespace platform
