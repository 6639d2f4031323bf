// FolderChain.
#include "tools/Findle/folder_chain.h"

#include "common/failure_macros.h"

HRESULT FolderChain::Holds(const FileIdentity& target, size_t startChars, bool& held)
{
    held = false;
    RETURN_IF_FAILED(Search(folders_, target, held));
    if (held || startChars >= folders_.front().pathChars) {
        return S_OK;
    }
    if (!ancestorsListed_) {
        ListAncestors(startChars);
    }
    RETURN_IF_FAILED(Search(ancestors_, target, held));
    return S_OK;
}

// Innermost first: a link back to its own folder or to the one above is the usual loop.
HRESULT FolderChain::Search(std::vector<Folder>& folders, const FileIdentity& target, bool& held)
{
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        if (!folder->known) {
            RETURN_IF_FAILED(Identify(*folder));
        }
        if (folder->identity == target) {
            held = true;
            return S_OK;
        }
    }
    return S_OK;
}

// The folder's path is a prefix of the buffer: cut there for the call, then given back whole.
HRESULT FolderChain::Identify(Folder& folder)
{
    const wchar_t kept = path_[folder.pathChars];
    path_[folder.pathChars] = L'\0';
    const HRESULT hr = ReadIdentity(path_, folder.identity);
    path_[folder.pathChars] = kept;
    RETURN_IF_FAILED(hr);
    folder.known = true;
    return S_OK;
}

// The starting folder, then every folder that a separator between it and the walk's first
// folder ends.
void FolderChain::ListAncestors(size_t startChars)
{
    const size_t firstChars = folders_.front().pathChars;
    ancestors_.push_back(Folder{startChars});
    for (size_t i = startChars + 1; i < firstChars; ++i) {
        if (path_[i] == platform::kPathSeparator) {
            ancestors_.push_back(Folder{i});
        }
    }
    ancestorsListed_ = true;
}
