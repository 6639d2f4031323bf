// Provides NoteLookedUpFile and OpenLookedUpFile over openat (O_PATH folders) and fstat, with one
// looked-up file and one held folder per thread.
#include "platform/posix/resolution/looked_up_file.h"

#include "platform/posix/files/path.h"
#include "platform/posix/resolution/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// The thread's last lookup of a regular file; `path` empty when there is none to open.
struct LookedUpFile {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    struct timespec changed {};
};
thread_local LookedUpFile t_lookedUp;

// The folder of the thread's last file opened by path, and its descriptor once a second file
// there is opened (the first file of every folder is opened by path, so that files taken from
// many folders by turns cost no folder opens at all). `tried` keeps a folder that cannot be
// opened from being tried again for every file.
struct HeldFolder {
    std::string path;
    UniqueFd fd;
    bool tried = false;

    void Forget()
    {
        path.clear();
        fd.reset();
        tried = false;
    }
};
thread_local HeldFolder t_held;

bool SameFile(const struct stat& info, const LookedUpFile& file)
{
    return S_ISREG(info.st_mode) && info.st_dev == file.device && info.st_ino == file.inode &&
           info.st_ctim.tv_sec == file.changed.tv_sec && info.st_ctim.tv_nsec == file.changed.tv_nsec;
}

// The held descriptor of `folder`, opened now when it is the folder of the thread's last file;
// -1 when it is not, or cannot be opened.
int HeldFolderFd(std::string_view folder)
{
    if (t_held.path != folder) {
        t_held.Forget();
        t_held.path.assign(folder);
        return -1;
    }
    if (!t_held.fd.valid() && !t_held.tried) {
        t_held.tried = true;
        t_held.fd.reset(open(t_held.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    return t_held.fd.get();
}

} // namespace

void ForgetLookedUpFile()
{
    t_lookedUp.path.clear();
}

void NoteLookedUpFile(const std::string& path, const struct stat& info)
{
    if (!S_ISREG(info.st_mode)) {
        return;
    }
    try {
        t_lookedUp.path = path;
    } catch (...) {
        return; // without room for the path the file is opened by path, as ever
    }
    t_lookedUp.device = info.st_dev;
    t_lookedUp.inode = info.st_ino;
    t_lookedUp.changed = info.st_ctim;
}

int OpenLookedUpFile(const std::string& path, int flags, struct stat& info)
{
    if (t_lookedUp.path.empty()) {
        return -1;
    }
    const bool lookedUp = t_lookedUp.path == path;
    t_lookedUp.path.clear(); // a lookup serves the one open that follows it, of whatever name
    if (!lookedUp) {
        return -1;
    }
    const PathCut cut = CutAtLastSeparator(path);
    if (cut.folder.empty() || cut.name.empty()) {
        return -1; // a name alone is one step to walk already
    }
    int folderFd = -1;
    try {
        folderFd = HeldFolderFd(cut.folder);
    } catch (...) {
        t_held.Forget();
    }
    if (folderFd < 0) {
        return -1;
    }
    // The name is the path's last component, so it ends where the path's text does.
    UniqueFd file(openat(folderFd, cut.name.data(), flags | O_NOFOLLOW));
    if (!file.valid() || fstat(file.get(), &info) != 0 || !SameFile(info, t_lookedUp)) {
        t_held.Forget(); // renamed, replaced or emptied since it was opened: never used again
        return -1;
    }
    return file.release();
}

} // namespace platform
