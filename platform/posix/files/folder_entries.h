// Internal to the layer: FolderEntries, the reader of a folder's directory records (getdents64
// in large batches, kept in memory uninitialized until the kernel fills them).
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace platform {

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

} // namespace platform
