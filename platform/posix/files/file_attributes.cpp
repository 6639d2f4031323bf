// Internal: the Win32 attribute bits of an entry from its stat data (fstatat through a link
// only for links).
#include "platform/posix/files/file_attributes.h"

#include <fcntl.h>

namespace platform {

DWORD AttributesOf(const struct stat& info, int dirFd, const char* name, bool mountPoint)
{
    if (S_ISLNK(info.st_mode)) {
        struct stat target {};
        const bool toFolder = fstatat(dirFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
        return FILE_ATTRIBUTE_REPARSE_POINT | (toFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
    }
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    if (S_ISDIR(info.st_mode)) {
        attributes = FILE_ATTRIBUTE_DIRECTORY | (mountPoint ? FILE_ATTRIBUTE_REPARSE_POINT : 0);
    }
    if ((info.st_mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes;
}

} // namespace platform
