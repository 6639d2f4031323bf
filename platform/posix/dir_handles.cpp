// Internal: the open-enumeration registry and path resolution shared by the enumeration and the
// file calls, over openat (O_PATH, O_NOFOLLOW), getdents64, fstat and getrlimit.
//
// Design. Each thread keeps the stack of its open enumerations (folder path text and directory
// descriptor). A call on a path resolves the path's folder part against the deepest enumeration
// whose folder contains it: the remaining components are opened one at a time with
// openat(O_PATH | O_DIRECTORY | O_NOFOLLOW) and the caller acts on the last component relative to
// the resulting descriptor (unlinkat, fchmodat and fstatat with AT_SYMLINK_NOFOLLOW). Below an
// enumerated folder no symbolic link is ever followed: a subfolder swapped for a link while a walk
// runs makes the call fail (ENOTDIR, path not found) instead of redirecting it outside. No system
// call ever gets more than a few components, so depth is not limited by PATH_MAX, and nothing is
// walked again from the root per entry. Paths outside every enumeration (the user's starting
// folder, which may contain links) are resolved by the kernel, in chunks shorter than PATH_MAX.
// Remaining components "." or ".." would leave the enumerated folder, so such paths are resolved
// as outside paths.
//
// Descriptors. A walk keeps every level's enumeration open, thousands of levels deep. Only a
// budget of them hold a descriptor (a sixteenth of RLIMIT_NOFILE, between 8 and 128 per thread);
// when one more is needed, the least recently opened one is parked: its remaining directory
// records are read into memory and its descriptor is closed. Records in memory are handed out
// without a descriptor. When a parked folder's descriptor is needed again (to stat one of its
// entries, or because a path resolves through it), it is reopened from the nearest open
// enumeration in its line, by climbing with ".." from a descendant or by descending name by name
// with O_NOFOLLOW from an ancestor, and its device and inode must be the recorded ones; otherwise
// the folder was swapped and the call fails with ERROR_PATH_NOT_FOUND. A walk going back up
// reopens each parked level from the child it has just finished: one openat and one fstat per
// level. A folder that was opened following links (kFindFollowLinks) is reopened following them
// too, from an ancestor, one component at a time, or from outside; never by climbing, since ".."
// of a folder reached through a link is not the folder the path names. The kernel follows at most
// 40 links in one lookup, so outside paths that hold more are opened component by component.
#include "platform/platform.h"
#include "platform/posix/dir_handles.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr size_t kBatchBytes = 32 * 1024;
constexpr size_t kMinimumBudget = 8;
constexpr size_t kMaximumBudget = 128;
constexpr int kWalkFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
// Layout of a getdents64 record: u64 inode, s64 offset, u16 record length, u8 type, name.
constexpr size_t kRecordLengthOffset = 16;
constexpr size_t kRecordTypeOffset = 18;
constexpr size_t kRecordNameOffset = 19;
constexpr size_t kNotBelow = static_cast<size_t>(-1);

size_t DescriptorBudget()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return kMaximumBudget;
    }
    return std::clamp<size_t>(limit.rlim_cur / 16, kMinimumBudget, kMaximumBudget);
}

// A folder on the way that is missing is "path not found", whichever component it is.
DWORD WalkError(int err)
{
    return err == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(err);
}

// Offset of the components of `path` below `folder` when `path` lies strictly below it.
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

// Opens the folders of `relative` below `fd` one component at a time, never following a link
// unless `followLinks` (then each component follows its own link, so that no single lookup meets
// more than that link's chain).
DWORD OpenBelow(int fd, std::string_view relative, UniqueFd& out, bool followLinks = false)
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
            return WalkError(errno);
        }
        holder.reset(next);
        current = next;
        start = end + 1;
    }
    out = std::move(holder);
    return ERROR_SUCCESS;
}

// Opens the folders of `piece` from `fd` (AT_FDCWD for the first piece of a path) one component
// at a time, following links, for a piece that holds more links than one lookup follows.
DWORD OpenPieceByComponents(int fd, std::string_view piece, UniqueFd& out)
{
    UniqueFd root;
    if (!piece.empty() && piece.front() == '/') {
        root.reset(openat(AT_FDCWD, "/", kWalkFlags));
        if (!root.valid()) {
            return WalkError(errno);
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

// Opens the folder `path` as the kernel resolves it (links followed), in pieces shorter than
// PATH_MAX cut at separators, so that any length works. A piece in which the kernel meets more
// than its 40 links (ELOOP) is opened again one component at a time, so that the number of
// links on a path never limits it; a real cycle of links still fails with ELOOP.
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
            return WalkError(errno);
        }
        holder.reset(next);
        current = next;
        start += length + 1;
    } while (start < path.size());
    out = std::move(holder);
    return ERROR_SUCCESS;
}

void Park(FolderRegistry& registry, OpenFolder& folder)
{
    EnsureIdentity(folder); // a reopened folder is checked against it
    registry.open.erase(std::find(registry.open.begin(), registry.open.end(), &folder));
    folder.entries.ReadRest(folder.fd.get());
    folder.fd.reset();
}

// Reopens a parked folder from its nearest open relative and checks it is the same folder.
DWORD Reopen(FolderRegistry& registry, OpenFolder& folder)
{
    MakeRoom(registry, &folder);
    const OpenFolder* nearest = nullptr;
    size_t nearestDistance = kNotBelow;
    size_t nearestOffset = 0;
    bool nearestIsDescendant = false;
    // Most recently opened first: going back up, the child just finished is the one, and no
    // relative can be nearer than one component.
    for (auto it = registry.open.rbegin(); it != registry.open.rend() && nearestDistance > 1; ++it) {
        const OpenFolder* other = *it;
        size_t offset = OffsetBelow(folder.path.view(), other->path.view());
        const bool descendant = offset != kNotBelow;
        // ".." leads back only where no link lies in between: a folder opened through links is
        // found again from above.
        if (descendant && folder.followLinks) {
            continue;
        }
        if (!descendant) {
            offset = OffsetBelow(other->path.view(), folder.path.view());
        }
        if (offset == kNotBelow) {
            continue;
        }
        const std::string_view between = (descendant ? other->path : folder.path).view().substr(offset);
        if (HasDotComponent(between)) {
            continue;
        }
        const size_t distance = ComponentCount(between);
        if (distance < nearestDistance) {
            nearest = other;
            nearestDistance = distance;
            nearestOffset = offset;
            nearestIsDescendant = descendant;
        }
    }

    UniqueFd reopened;
    DWORD error = ERROR_SUCCESS;
    if (nearest == nullptr) {
        error = OpenOutside(folder.path.view(), reopened);
    } else if (nearestIsDescendant) {
        // ".." is the physical parent and is never a link.
        int current = nearest->fd.get();
        for (size_t step = 0; step < nearestDistance && error == ERROR_SUCCESS; ++step) {
            const int next = openat(current, "..", kWalkFlags);
            if (next < 0) {
                error = WalkError(errno);
            } else {
                reopened.reset(next);
                current = next;
            }
        }
    } else {
        error = OpenBelow(nearest->fd.get(), folder.path.view().substr(nearestOffset), reopened,
                          folder.followLinks);
    }
    if (error != ERROR_SUCCESS) {
        return error;
    }
    struct stat info {};
    if (fstat(reopened.get(), &info) != 0) {
        return Win32ErrorFromErrno(errno);
    }
    if (info.st_dev != folder.device || info.st_ino != folder.inode) {
        return ERROR_PATH_NOT_FOUND;
    }
    folder.fd = std::move(reopened);
    registry.open.push_back(&folder);
    return ERROR_SUCCESS;
}
// A walk going back up needs the folder above next. When that folder is parked and is the
// parent of the one closing, it is reopened from it with ".." while its descriptor is still
// there: one openat and one fstat, where a reopen later would look its whole path up. A folder
// reached through a link has another physical parent: the recorded identity tells, and the folder
// above then stays parked.
void ReopenParent(FolderRegistry& registry, const OpenFolder& closing, OpenFolder& above)
{
    if (!closing.fd.valid() || above.fd.valid() || !above.identityKnown) {
        return;
    }
    const size_t offset = OffsetBelow(above.path.view(), closing.path.view());
    if (offset == kNotBelow) {
        return;
    }
    const std::string_view name = closing.path.view().substr(offset);
    if (name.find('/') != std::string_view::npos || HasDotComponent(name)) {
        return;
    }
    UniqueFd parent(openat(closing.fd.get(), "..", kWalkFlags));
    struct stat info {};
    if (!parent.valid() || fstat(parent.get(), &info) != 0 || info.st_dev != above.device ||
        info.st_ino != above.inode) {
        return;
    }
    above.fd = std::move(parent);
    registry.open.push_back(&above);
}
} // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

int UniqueFd::release()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset(int fd)
{
    if (fd_ >= 0) {
        close(fd_);
    }
    fd_ = fd;
}

int FolderEntries::Next(int fd, RawEntry& entry)
{
    while (position_ >= end_) {
        if (complete_) {
            return -endError_;
        }
        ReadBatch(fd);
    }
    const char* record = bytes_.data() + position_;
    unsigned short recordLength = 0;
    std::memcpy(&recordLength, record + kRecordLengthOffset, sizeof recordLength);
    position_ += recordLength;
    entry.name = record + kRecordNameOffset;
    entry.length = std::strlen(entry.name);
    entry.type = static_cast<unsigned char>(record[kRecordTypeOffset]);
    return 1;
}

void FolderEntries::ReadBatch(int fd)
{
    bytes_.resize(kBatchBytes);
    const long read = syscall(SYS_getdents64, fd, bytes_.data(), bytes_.size());
    position_ = 0;
    end_ = read > 0 ? static_cast<size_t>(read) : 0;
    if (read <= 0) {
        complete_ = true;
        endError_ = read < 0 ? errno : 0;
    }
}

void FolderEntries::ReadRest(int fd)
{
    RecordBytes rest(bytes_.begin() + static_cast<std::ptrdiff_t>(position_),
                           bytes_.begin() + static_cast<std::ptrdiff_t>(end_));
    while (!complete_) {
        const size_t used = rest.size();
        rest.resize(used + kBatchBytes);
        const long read = syscall(SYS_getdents64, fd, rest.data() + used, kBatchBytes);
        rest.resize(used + (read > 0 ? static_cast<size_t>(read) : 0));
        if (read <= 0) {
            complete_ = true;
            endError_ = read < 0 ? errno : 0;
        }
    }
    rest.shrink_to_fit();
    bytes_.swap(rest);
    position_ = 0;
    end_ = bytes_.size();
}

const std::shared_ptr<FolderRegistry>& ThreadFolders()
{
    thread_local const std::shared_ptr<FolderRegistry> registry = std::make_shared<FolderRegistry>();
    return registry;
}

void FolderPath::Assign(std::string path)
{
    size_ = path.size();
    text_ = std::make_shared<std::string>(std::move(path));
}

void FolderPath::ExtendFrom(const FolderPath& parent, std::string_view path)
{
    text_ = parent.text_;
    text_->resize(parent.size_);
    text_->append(path.substr(parent.size_));
    size_ = path.size();
}

void SetFolderPath(const FolderRegistry& registry, OpenFolder& folder, std::string path, const OpenFolder* parent)
{
    // Only enumerations opened after the parent can use more of its text than the parent does.
    bool extend = parent != nullptr && path.size() > parent->path.size() &&
                  std::string_view(path).substr(0, parent->path.size()) == parent->path.view();
    for (auto it = registry.stack.rbegin(); extend && it != registry.stack.rend() && *it != parent; ++it) {
        extend = !((*it)->path.SharesTextWith(parent->path) && (*it)->path.size() > parent->path.size());
    }
    if (extend) {
        folder.path.ExtendFrom(parent->path, path);
    } else {
        folder.path.Assign(std::move(path));
    }
}

void RegisterFolder(const std::shared_ptr<FolderRegistry>& registry, OpenFolder& folder)
{
    folder.registry = registry;
    registry->stack.push_back(&folder);
    registry->open.push_back(&folder);
}

void UnregisterFolder(OpenFolder& folder)
{
    FolderRegistry& registry = *folder.registry;
    // Enumerations close in the reverse order of opening, so both searches end at once.
    const auto inStack = std::find(registry.stack.rbegin(), registry.stack.rend(), &folder);
    const auto inOpen = std::find(registry.open.rbegin(), registry.open.rend(), &folder);
    if (inOpen != registry.open.rend()) {
        registry.open.erase(std::next(inOpen).base());
    }
    if (std::next(inStack) != registry.stack.rend()) {
        ReopenParent(registry, folder, **std::next(inStack));
    }
    registry.stack.erase(std::next(inStack).base());
    folder.registry.reset();
}

void MakeRoom(FolderRegistry& registry, const OpenFolder* keep)
{
    if (registry.open.size() < kMinimumBudget) {
        return;
    }
    const size_t budget = DescriptorBudget();
    while (registry.open.size() >= budget) {
        const auto victim = std::find_if(registry.open.begin(), registry.open.end(),
                                         [keep](const OpenFolder* folder) { return folder != keep; });
        if (victim == registry.open.end()) {
            return;
        }
        Park(registry, **victim);
    }
}

DWORD EnsureIdentity(OpenFolder& folder)
{
    if (folder.identityKnown) {
        return ERROR_SUCCESS;
    }
    struct stat info {};
    if (fstat(folder.fd.get(), &info) != 0) {
        return Win32ErrorFromErrno(errno);
    }
    folder.device = info.st_dev;
    folder.inode = info.st_ino;
    folder.identityKnown = true;
    return ERROR_SUCCESS;
}

DWORD FolderFd(FolderRegistry& registry, OpenFolder& folder, int& fd)
{
    if (!folder.fd.valid()) {
        const DWORD error = Reopen(registry, folder);
        if (error != ERROR_SUCCESS) {
            return error;
        }
    }
    fd = folder.fd.get();
    return ERROR_SUCCESS;
}

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
    const size_t slash = path.rfind('/');
    if (path == "/") {
        location.dirFd = AT_FDCWD;
        location.name = path.c_str();
        return ERROR_SUCCESS;
    }
    const std::string_view parent = slash == std::string::npos ? std::string_view()
                                    : slash == 0                ? std::string_view("/")
                                                                : std::string_view(path).substr(0, slash);
    location.name = path.c_str() + (slash == std::string::npos ? 0 : slash + 1);

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

DWORD LocationError(int err, const Location& location)
{
    if (err == ENOENT) {
        return MissingPathError(location.dirFd, location.name);
    }
    return Win32ErrorFromErrno(err);
}

} // namespace platform
