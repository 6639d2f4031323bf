// Internal to the layer: the per-thread registry of open enumerations, which of them hold a
// descriptor, and the parking and reopening of the others (see folder_registry.cpp for the design).
#pragma once
#include "platform/posix/system/win32_types.h"

#include "platform/posix/files/folder_entries.h"
#include "platform/posix/files/last_entry.h"
#include "platform/posix/resolution/unique_fd.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace platform {

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

// The part of an open enumeration that the registry and path resolution work with.
struct OpenFolder {
    FolderPath path;           // normalized folder path (no repeated or trailing '/')
    UniqueFd fd;               // closed while the enumeration is parked
    dev_t device = 0;          // identity of the folder, checked when it is reopened
    ino_t inode = 0;
    bool identityKnown = true; // false while a lazy enumeration has not needed it (EnsureIdentity)
    bool followLinks = false;  // opened following a link: reopened the same way
    FolderEntries entries;
    LastEntry last;            // the entry handed out last, for the file calls on it
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

} // namespace platform
