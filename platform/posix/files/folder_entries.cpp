// Provides FolderEntries, the layer's reader of directory records, over getdents64 (32 KiB
// batches; the rest of a folder read at once when its descriptor is to be closed).
#include "platform/posix/files/folder_entries.h"

#include <cerrno>
#include <cstring>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr size_t kBatchBytes = 32 * 1024;
// Layout of a getdents64 record: u64 inode, s64 offset, u16 record length, u8 type, name.
constexpr size_t kRecordLengthOffset = 16;
constexpr size_t kRecordTypeOffset = 18;
constexpr size_t kRecordNameOffset = 19;
} // namespace

int FolderEntries::Next(int fd, RawEntry& entry)
{
    while (position_ >= end_) {
        if (complete_) {
            return -endError_;
        }
        ReadBatch(fd);
    }
    const char* record = bytes_.data() + position_;
    unsigned short recordLength = 0;
    std::memcpy(&recordLength, record + kRecordLengthOffset, sizeof recordLength);
    position_ += recordLength;
    entry.name = record + kRecordNameOffset;
    entry.length = std::strlen(entry.name);
    entry.type = static_cast<unsigned char>(record[kRecordTypeOffset]);
    return 1;
}

void FolderEntries::ReadBatch(int fd)
{
    bytes_.resize(kBatchBytes);
    const long read = syscall(SYS_getdents64, fd, bytes_.data(), bytes_.size());
    position_ = 0;
    end_ = read > 0 ? static_cast<size_t>(read) : 0;
    if (read <= 0) {
        complete_ = true;
        endError_ = read < 0 ? errno : 0;
    }
}

void FolderEntries::ReadRest(int fd)
{
    RecordBytes rest(bytes_.begin() + static_cast<std::ptrdiff_t>(position_),
                     bytes_.begin() + static_cast<std::ptrdiff_t>(end_));
    while (!complete_) {
        const size_t used = rest.size();
        rest.resize(used + kBatchBytes);
        const long read = syscall(SYS_getdents64, fd, rest.data() + used, kBatchBytes);
        rest.resize(used + (read > 0 ? static_cast<size_t>(read) : 0));
        if (read <= 0) {
            complete_ = true;
            endError_ = read < 0 ? errno : 0;
        }
    }
    rest.shrink_to_fit();
    bytes_.swap(rest);
    position_ = 0;
    end_ = bytes_.size();
}

} // namespace platform
