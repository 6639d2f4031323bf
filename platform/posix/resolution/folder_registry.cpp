// Provides the per-thread registry of open enumerations, their shared path texts and the parking
// and reopening of their descriptors, over openat (O_PATH; ".." or O_NOFOLLOW), fstat and getrlimit.
//
// Each thread keeps the stack of its open enumerations (folder path text and directory
// descriptor), which path resolution (path_resolution.cpp) resolves paths against. A walk keeps
// every level's enumeration open, thousands of levels deep. Only a budget of them hold a
// descriptor (a sixteenth of RLIMIT_NOFILE, between 8 and 128 per thread); when one more is
// needed, the least recently opened one is parked: its remaining directory records are read into
// memory and its descriptor is closed. Records in memory are handed out without a descriptor.
// When a parked folder's descriptor is needed again (to stat one of its entries, or because a path
// resolves through it), it is reopened from the nearest open enumeration in its line, by climbing
// with ".." from a descendant or by descending name by name with O_NOFOLLOW from an ancestor, and
// its device and inode must be the recorded ones; otherwise the folder was swapped and the call
// fails with ERROR_PATH_NOT_FOUND. A walk going back up reopens each parked level from the child
// it has just finished: one openat and one fstat per level. A folder that was opened following
// links (kFindFollowLinks) is reopened following them too, from an ancestor, one component at a
// time, or from outside; never by climbing, since ".." of a folder reached through a link is not
// the folder the path names.
#include "platform/posix/resolution/folder_registry.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/resolution/folder_lookup.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>

namespace platform {

namespace {
constexpr size_t kMinimumBudget = 8;
constexpr size_t kMaximumBudget = 128;

size_t DescriptorBudget()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return kMaximumBudget;
    }
    return std::clamp<size_t>(limit.rlim_cur / 16, kMinimumBudget, kMaximumBudget);
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
                error = PathError(errno);
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
    // The folder counts as registered only once both lists hold it: a list that cannot grow
    // leaves the registry as it was, and the handle's clean-up finds nothing to undo.
    registry->stack.push_back(&folder);
    try {
        registry->open.push_back(&folder);
    } catch (...) {
        registry->stack.pop_back();
        throw;
    }
    folder.registry = registry;
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

} // namespace platform
