// Internal to the layer: opening the folders of a path one piece at a time, below a directory
// descriptor without following links or from the current folder as the kernel resolves it (at
// any length, through any number of links), and the text tests of which path lies below which.
#pragma once
#include "platform/posix/system/win32_types.h"

#include "platform/posix/resolution/unique_fd.h"

#include <cstddef>
#include <fcntl.h>
#include <string_view>

namespace platform {

// Every folder opened on the way along a path: a descriptor to look names up from, never read.
constexpr int kWalkFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
// OffsetBelow's answer for a path that does not lie below the folder.
constexpr size_t kNotBelow = static_cast<size_t>(-1);

// Offset of the components of `path` below `folder` when `path` lies strictly below it ("/" is
// below nothing; every other absolute path lies below "/"); kNotBelow otherwise. Both are
// normalized paths (no repeated or trailing '/').
size_t OffsetBelow(std::string_view folder, std::string_view path);
// The number of components of a relative path that is not empty.
size_t ComponentCount(std::string_view relative);
// True when a component of `relative` is "." or "..": such a path leaves the folder it starts in.
bool HasDotComponent(std::string_view relative);

// Opens the folders of `relative` below `fd` one component at a time, never following a link
// unless `followLinks` (then each component follows its own link, so that no single lookup meets
// more than that link's chain). `out` receives the last folder (it stays empty for an empty
// `relative`). Returns 0 or a Win32 error: 3 for a component that is missing or is no folder (a
// link, when links are not followed), 206 for one longer than NAME_MAX.
DWORD OpenBelow(int fd, std::string_view relative, UniqueFd& out, bool followLinks = false);
// Opens the folder `path` (the current folder when empty) as the kernel resolves it, links
// followed, in pieces shorter than PATH_MAX cut at separators, so that any length works. A piece
// in which the kernel meets more than its 40 links (ELOOP) is opened again one component at a
// time, so that the number of links on a path never limits it; a real cycle of links still fails
// with ELOOP. Returns 0 or a Win32 error (3 for a missing component).
DWORD OpenOutside(std::string_view path, UniqueFd& out);

} // namespace platform
