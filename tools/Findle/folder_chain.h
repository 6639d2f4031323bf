// The folders on a walk's current path, from the search's starting folder down, and the test
// that tells whether a folder link leads back to one of them.
#pragma once
#include "platform/platform.h"

#include "common/file_information.h"

#include <vector>

// The folders of the current path, each known by the length of its path at the front of the
// walk's path buffer. An identity is read only when a link asks for it, and kept while its folder
// stays on the path: ordinary folders cost one entry in a list and no system call.
//
// A walk that starts below the starting folder (a handed-off subfolder) finds the folders above
// its first one from the separators of its path, when it first needs them.
class FolderChain {
public:
    // `path` is the walk's path buffer.
    explicit FolderChain(wchar_t* path) : path_(path) {}

    // A folder whose path is the first `pathChars` characters of the buffer is entered below the
    // current one (the first call: the walk's first folder).
    void Enter(size_t pathChars) { folders_.push_back(Folder{pathChars}); }
    void Leave() { folders_.pop_back(); }

    // Sets `held` when `target` is the identity of a folder on the path, which begins at the
    // starting folder, the first `startChars` characters of the buffer. Fails when an identity
    // that is needed cannot be read (the link then cannot be told safe).
    HRESULT Holds(const FileIdentity& target, size_t startChars, bool& held);

private:
    struct Folder {
        size_t pathChars = 0;
        bool known = false;
        FileIdentity identity;
    };

    HRESULT Identify(Folder& folder);
    HRESULT Search(std::vector<Folder>& folders, const FileIdentity& target, bool& held);
    void ListAncestors(size_t startChars);

    wchar_t* path_;
    std::vector<Folder> folders_;   // the walk's own, its first folder first
    std::vector<Folder> ancestors_; // from the starting folder to above the walk's first folder
    bool ancestorsListed_ = false;
};
