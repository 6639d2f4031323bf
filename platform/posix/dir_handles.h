// Internal to the layer: the per-thread registry of open enumerations and the resolution of
// paths through their directory descriptors (see dir_handles.cpp for the design).
#pragma once
#include "win32_types.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace platform {

// Owns one file descriptor; -1 when empty.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// One raw directory entry as read from the folder: a NUL-terminated name inside the batch.
struct RawEntry {
    const char* name = nullptr;
    size_t length = 0;
    unsigned char type = 0; // the record's d_type (DT_DIR, DT_REG, ...; DT_UNKNOWN when the file system does not say)
};

// Leaves the bytes of a resized buffer unset: the kernel fills a record batch, so zeroing it
// first would only cost time on every folder opened.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
    // A value-initializing construct (what resize calls) that leaves the value unset; every
    // other construct goes to the standard one.
    template <typename U>
    void construct(U* place) noexcept
    {
        ::new (static_cast<void*>(place)) U;
    }
};
using RecordBytes = std::vector<char, UninitializedAllocator<char>>;

// The records of one folder not yet handed out, read from its descriptor in large getdents64
// batches. Once `complete`, every remaining record is in memory and the descriptor is never read
// again (it may then be a reopened O_PATH descriptor).
class FolderEntries {
public:
    // 1 with an entry, 0 at the end, or an errno value from reading (negated).
    int Next(int fd, RawEntry& entry);
    // True when no record is left and nothing more can be read.
    bool Exhausted() const { return position_ >= end_ && complete_; }
    // True when the next record is already in memory: Next needs no descriptor for it.
    bool Buffered() const { return position_ < end_; }
    // The error that ended reading (0 for the plain end of the folder).
    int EndError() const { return endError_; }
    // Reads every remaining record into an exactly sized block, so that the descriptor can go.
    void ReadRest(int fd);

private:
    void ReadBatch(int fd);

    RecordBytes bytes_;
    size_t position_ = 0;
    size_t end_ = 0;
    bool complete_ = false;
    int endError_ = 0;
};

class FolderRegistry;

// The path text of an open enumeration. Enumerations opened one below the other share one text,
// each using its first size() bytes, so that the levels of a deep walk hold one copy of the
// deepest path rather than a path each (SetFolderPath decides).
class FolderPath {
public:
    std::string_view view() const { return text_ ? std::string_view(text_->data(), size_) : std::string_view(); }
    size_t size() const { return size_; }
    bool SharesTextWith(const FolderPath& other) const { return text_ != nullptr && text_ == other.text_; }
    // A text of its own.
    void Assign(std::string path);
    // `path`, which begins with `parent`'s, written behind `parent` in its text; whatever followed
    // there is cut off (no other path may use it).
    void ExtendFrom(const FolderPath& parent, std::string_view path);

private:
    std::shared_ptr<std::string> text_;
    size_t size_ = 0;
};

// The part of an open enumeration that path resolution works with.
struct OpenFolder {
    FolderPath path;           // normalized folder path (no repeated or trailing '/')
    UniqueFd fd;               // closed while the enumeration is parked
    dev_t device = 0;          // identity of the folder, checked when it is reopened
    ino_t inode = 0;
    bool identityKnown = true; // false while a lazy enumeration has not needed it (EnsureIdentity)
    bool followLinks = false;  // opened following a link: reopened the same way
    FolderEntries entries;
    // The last entry handed out and its mode, so that DeleteFileW and SetFileAttributesW on that
    // same entry need no second stat.
    std::string lastName;
    unsigned lastMode = 0;
    bool lastValid = false;
    std::shared_ptr<FolderRegistry> registry; // set while registered
};

// The open enumerations of one thread, oldest first, and which of them hold a descriptor.
// Every use of it and of its folders' descriptors happens under `mutex` (a find handle may be
// closed on another thread than the one that opened it).
class FolderRegistry {
public:
    std::mutex mutex;
    std::vector<OpenFolder*> stack; // every registered enumeration, in opening order
    std::vector<OpenFolder*> open;  // those holding a descriptor, least recently opened first
};

// The calling thread's registry.
const std::shared_ptr<FolderRegistry>& ThreadFolders();

// Gives `folder`, about to be registered, its normalized `path`. When `parent` (a registered
// enumeration or null) is the folder's parent and no enumeration uses more of the parent's text,
// the path extends that text.
void SetFolderPath(const FolderRegistry& registry, OpenFolder& folder, std::string path, const OpenFolder* parent);
// Adds a folder whose descriptor was just opened (MakeRoom was called before opening it).
void RegisterFolder(const std::shared_ptr<FolderRegistry>& registry, OpenFolder& folder);
void UnregisterFolder(OpenFolder& folder);
// Parks the least recently opened enumerations other than `keep` until one more descriptor
// fits in the thread's budget.
void MakeRoom(FolderRegistry& registry, const OpenFolder* keep);
// Reads the device and inode of an open folder whose enumeration left them out; 0 or a Win32
// error.
DWORD EnsureIdentity(OpenFolder& folder);
// The folder's descriptor, reopening a parked folder (and checking it is the same folder).
// Returns 0 or a Win32 error.
DWORD FolderFd(FolderRegistry& registry, OpenFolder& folder, int& fd);

// A path converted to bytes: repeated separators collapsed, trailing ones removed (the root
// stays "/"). Returns 0, or 123 for text that has no byte form, 3 for an empty path.
DWORD PathBytes(LPCWSTR wide, std::string& bytes, bool& trailingSeparator);

// Where the last component of a path lives: a directory descriptor and a name relative to it.
struct Location {
    int dirFd = -1;
    UniqueFd owned;              // set when dirFd was opened for this call
    const char* name = nullptr;  // NUL-terminated, points into the resolved path text
    OpenFolder* folder = nullptr; // the enumeration whose descriptor dirFd is (name is one component)
    bool belowEnumeration = false; // resolved through an enumeration: no link may be followed
};

// Resolves the folder part of `path` (see dir_handles.cpp). With `needDirFd` false, a short path
// outside every enumeration may come back as AT_FDCWD and the whole path as the name.
// Returns 0 or a Win32 error (3 when a folder on the way is missing or not a folder).
DWORD ResolvePath(FolderRegistry& registry, const std::string& path, bool needDirFd, Location& location);

// openat(location.dirFd, location.name, flags), for the calls that open what a path names. A path
// that ResolvePath left to the kernel whole and that holds more links than one lookup follows
// (ELOOP) is resolved again through its folder, piece by piece, and `location` then describes
// that; if even that fails, the result is -1 with ELOOP.
int OpenAtLocation(FolderRegistry& registry, const std::string& path, Location& location, int flags);

// Win32 error for a failing call on a resolved location: a missing last component is 2, a
// missing folder on the way 3, everything else through the one mapping.
DWORD LocationError(int err, const Location& location);

} // namespace platform
