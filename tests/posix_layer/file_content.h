// Files with content that tells every offset apart, for the tests of reading and views: byte i of
// such a file is PatternByte(i), so a block read from the wrong offset or in the wrong order
// shows.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace testing_support {

inline char PatternByte(std::uint64_t offset)
{
    return static_cast<char>((offset ^ (offset >> 8) ^ (offset >> 16) ^ (offset >> 24) ^ (offset >> 32)) * 131);
}

// Writes `length` bytes of the pattern at `offset` (creating the file; the rest stays a hole).
inline void WritePattern(const std::filesystem::path& path, std::uint64_t offset, std::size_t length)
{
    std::vector<char> bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = PatternByte(offset + i);
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && pwrite(fd, bytes.data(), length, static_cast<off_t>(offset)) == static_cast<ssize_t>(length);
    if (fd >= 0) {
        close(fd);
    }
    if (!written) {
        throw std::filesystem::filesystem_error("cannot write the pattern", path, std::error_code(errno, std::generic_category()));
    }
}

// The offset of the first byte of `data` that is not the pattern at `offset`, or -1.
inline long long PatternMismatch(const char* data, std::uint64_t offset, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (data[i] != PatternByte(offset + i)) {
            return static_cast<long long>(offset + i);
        }
    }
    return -1;
}

inline std::wstring WidePath(const std::filesystem::path& path)
{
    return platform::WideFromBytes(path.string());
}

inline HANDLE OpenForReading(const std::filesystem::path& path, DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN,
                             DWORD access = GENERIC_READ)
{
    return CreateFileW(WidePath(path).c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
}

} // namespace testing_support
