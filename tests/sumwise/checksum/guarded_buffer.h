// Test memory from the operating system: buffers between inaccessible guard pages, and
// large zeroed buffers that cost little until written.
#pragma once
#include <cstddef>
#include <cstdint>

namespace checksum_tests {

// Memory with an inaccessible page on each side, so that a kernel reading a single byte
// before or after its buffer crashes the test instead of passing.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t capacity);  // usable bytes, rounded up to whole pages
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    // `length` bytes that end exactly at the guard page after the usable area.
    uint8_t* EndingAtGuard(size_t length) const { return usable_ + size_ - length; }
    // The first usable byte, right after the guard page in front.
    uint8_t* StartingAtGuard() const { return usable_; }
    size_t size() const { return size_; }

private:
    uint8_t* base_ = nullptr;    // whole mapping, guards included
    uint8_t* usable_ = nullptr;
    size_t size_ = 0;
    size_t mapped_ = 0;
};

// Zeroed memory of `size` bytes, null data() when the system refuses it. On Linux it asks for
// huge pages, so that touching gigabytes takes thousands of page faults instead of millions.
class LargeBuffer {
public:
    explicit LargeBuffer(size_t size);
    ~LargeBuffer();
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;
    uint8_t* data() const { return data_; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

} // namespace checksum_tests
