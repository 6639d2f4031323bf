// Internal: the stat data of a folder entry or an open folder and whether it is a mount point, over
// statx (STATX_ATTR_MOUNT_ROOT), with name_to_handle_at mount ids and fstatat where statx cannot tell.
#include "platform/posix/files/folder_mount.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/sysmacros.h>

namespace platform {

namespace {

struct stat StatFromStatx(const struct statx& x)
{
    struct stat info {};
    info.st_dev = makedev(x.stx_dev_major, x.stx_dev_minor);
    info.st_ino = x.stx_ino;
    info.st_mode = x.stx_mode;
    info.st_nlink = x.stx_nlink;
    info.st_uid = x.stx_uid;
    info.st_gid = x.stx_gid;
    info.st_rdev = makedev(x.stx_rdev_major, x.stx_rdev_minor);
    info.st_size = static_cast<off_t>(x.stx_size);
    info.st_blksize = static_cast<blksize_t>(x.stx_blksize);
    info.st_blocks = static_cast<blkcnt_t>(x.stx_blocks);
    info.st_atim = timespec {x.stx_atime.tv_sec, x.stx_atime.tv_nsec};
    info.st_mtim = timespec {x.stx_mtime.tv_sec, x.stx_mtime.tv_nsec};
    info.st_ctim = timespec {x.stx_ctime.tv_sec, x.stx_ctime.tv_nsec};
    return info;
}

// The id of the mount that `path` of `dirFd` lies on, or false where the file system gives no
// handles. A handle too large for the buffer still comes with its mount id (EOVERFLOW).
bool MountId(int dirFd, const char* path, int flags, int& id)
{
    alignas(file_handle) unsigned char storage[sizeof(file_handle) + MAX_HANDLE_SZ];
    auto* handle = reinterpret_cast<file_handle*>(storage);
    handle->handle_bytes = MAX_HANDLE_SZ;
    return name_to_handle_at(dirFd, path, handle, &id, flags) == 0 || errno == EOVERFLOW;
}

// statx of `name` in `dirFd` (`flags` as for statx), then the mount decision for a folder.
int StatWithMount(int dirFd, const char* name, int flags, struct stat& info, bool& mountPoint)
{
    struct statx x {};
    if (statx(dirFd, name, flags, STATX_BASIC_STATS, &x) != 0) {
        if (errno != ENOSYS && errno != EPERM) {
            return errno;
        }
        // Refused (a kernel before 4.11, or an old container profile): fstatat, and mount ids.
        if (fstatat(dirFd, name, &info, flags) != 0) {
            return errno;
        }
        mountPoint = S_ISDIR(info.st_mode) && MountPointByMountId(dirFd, name, info);
        return 0;
    }
    info = StatFromStatx(x);
    if (!S_ISDIR(info.st_mode)) {
        mountPoint = false;
    } else if ((x.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0) {
        mountPoint = (x.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0 && std::strcmp(name, "/") != 0;
    } else {
        mountPoint = MountPointByMountId(dirFd, name, info);
    }
    return 0;
}

} // namespace

int StatEntry(int dirFd, const char* name, bool mayBeFolder, struct stat& info, bool& mountPoint)
{
    if (mayBeFolder) {
        return StatWithMount(dirFd, name, AT_SYMLINK_NOFOLLOW, info, mountPoint);
    }
    mountPoint = false;
    if (fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    // A file by its record that is a folder now (swapped meanwhile) is asked again, mount included.
    return S_ISDIR(info.st_mode) ? StatWithMount(dirFd, name, AT_SYMLINK_NOFOLLOW, info, mountPoint) : 0;
}

int StatOpenFolder(int fd, struct stat& info, bool& mountPoint)
{
    return StatWithMount(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, info, mountPoint);
}

bool MountPointByMountId(int dirFd, const char* name, const struct stat& info)
{
    const std::string up = *name == '\0' ? std::string("..") : std::string(name) + "/..";
    const int selfFlags = *name == '\0' ? AT_EMPTY_PATH : 0;
    int selfId = 0;
    int upId = 0;
    if (MountId(dirFd, name, selfFlags, selfId) && MountId(dirFd, up.c_str(), 0, upId)) {
        return selfId != upId;
    }
    struct stat parent {};
    return fstatat(dirFd, up.c_str(), &parent, 0) == 0 && parent.st_dev != info.st_dev;
}

} // namespace platform
