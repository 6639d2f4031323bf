// Provides the layer's piecewise folder lookups (OpenBelow, OpenOutside) over openat with O_PATH
// (O_NOFOLLOW below a descriptor), and the path-text tests of which path lies below which.
#include "platform/posix/resolution/folder_lookup.h"

#include "platform/posix/system/errors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <utility>

namespace platform {

namespace {
// Opens the folders of `piece` from `fd` (AT_FDCWD for the first piece of a path) one component
// at a time, following links, for a piece that holds more links than one lookup follows.
DWORD OpenPieceByComponents(int fd, std::string_view piece, UniqueFd& out)
{
    UniqueFd root;
    if (!piece.empty() && piece.front() == '/') {
        root.reset(openat(AT_FDCWD, "/", kWalkFlags));
        if (!root.valid()) {
            return PathError(errno);
        }
        fd = root.get();
        piece.remove_prefix(1);
    }
    if (piece.empty()) {
        out = std::move(root);
        return ERROR_SUCCESS;
    }
    return OpenBelow(fd, piece, out, true);
}
} // namespace

size_t OffsetBelow(std::string_view folder, std::string_view path)
{
    if (folder == "/") {
        return path.size() > 1 && path[0] == '/' ? 1 : kNotBelow;
    }
    if (path.size() > folder.size() && path[folder.size()] == '/' && path.compare(0, folder.size(), folder) == 0) {
        return folder.size() + 1;
    }
    return kNotBelow;
}

size_t ComponentCount(std::string_view relative)
{
    return static_cast<size_t>(std::count(relative.begin(), relative.end(), '/')) + 1;
}

bool HasDotComponent(std::string_view relative)
{
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string_view::npos) {
            end = relative.size();
        }
        const std::string_view component = relative.substr(start, end - start);
        if (component == "." || component == "..") {
            return true;
        }
        start = end + 1;
    }
    return false;
}

DWORD OpenBelow(int fd, std::string_view relative, UniqueFd& out, bool followLinks)
{
    const int flags = kWalkFlags | (followLinks ? 0 : O_NOFOLLOW);
    char component[NAME_MAX + 1];
    int current = fd;
    UniqueFd holder;
    size_t start = 0;
    while (start < relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string_view::npos) {
            end = relative.size();
        }
        const size_t length = end - start;
        if (length > NAME_MAX) {
            return ERROR_FILENAME_EXCED_RANGE;
        }
        std::memcpy(component, relative.data() + start, length);
        component[length] = '\0';
        const int next = openat(current, component, flags);
        if (next < 0) {
            return PathError(errno);
        }
        holder.reset(next);
        current = next;
        start = end + 1;
    }
    out = std::move(holder);
    return ERROR_SUCCESS;
}

DWORD OpenOutside(std::string_view path, UniqueFd& out)
{
    if (path.empty()) {
        path = ".";
    }
    std::string piece;
    int current = AT_FDCWD;
    UniqueFd holder;
    size_t start = 0;
    do {
        size_t length = path.size() - start;
        if (length >= PATH_MAX) {
            const size_t cut = path.rfind('/', start + PATH_MAX - 1);
            if (cut == std::string_view::npos || cut <= start) {
                return ERROR_FILENAME_EXCED_RANGE;
            }
            length = cut - start;
        }
        piece.assign(path.substr(start, length));
        int next = openat(current, piece.c_str(), kWalkFlags);
        if (next < 0 && errno == ELOOP) {
            UniqueFd stepped;
            const DWORD error = OpenPieceByComponents(current, piece, stepped);
            if (error != ERROR_SUCCESS) {
                return error;
            }
            next = stepped.release();
        } else if (next < 0) {
            return PathError(errno);
        }
        holder.reset(next);
        current = next;
        start += length + 1;
    } while (start < path.size());
    out = std::move(holder);
    return ERROR_SUCCESS;
}

} // namespace platform
