// Internal to the layer: LastEntry, what an open enumeration keeps of the entry it returned last,
// so that DeleteFileW and SetFileAttributesW on that same entry need no second stat.
//
// The enumeration (find_file.cpp) calls Returned for each entry it hands out and SetMode once a
// stat of that entry has read its mode (at once, or when CompleteFindData fills a lazy entry);
// "." and ".." are never kept. The file calls (file_ops.cpp) ask Knows(name) for the entry they
// act on and then use its mode: a call that changes the mode keeps the new one (SetMode), a call
// that removes the entry forgets it. That mode is the one the caller saw in the record and decided
// on; a change by another process in between goes unseen, as it would between a separate stat
// and the call.
#pragma once

#include <string>
#include <string_view>

namespace platform {

class LastEntry {
public:
    // `name` has been handed out; its mode is not known yet.
    void Returned(std::string_view name)
    {
        name_.assign(name);
        modeKnown_ = false;
    }
    // Nothing to keep: "." or ".." has been handed out, or the entry is gone.
    void Forget() { modeKnown_ = false; }
    // The mode (st_mode) that a stat of the entry read, or that a call gave it.
    void SetMode(unsigned mode)
    {
        mode_ = mode;
        modeKnown_ = true;
    }
    // True when `name` is the entry handed out last and its mode is known.
    bool Knows(const char* name) const { return modeKnown_ && name_ == name; }
    unsigned mode() const { return mode_; }
    // The name handed out last, NUL-terminated (for the stat that completes a lazy entry).
    const char* name() const { return name_.c_str(); }

private:
    std::string name_;
    unsigned mode_ = 0;
    bool modeKnown_ = false;
};

} // namespace platform
