// Owners of the system handles that product code opens: an enumeration (closed with FindClose)
// and a file or kernel object (closed with CloseHandle). Each closes what it holds when it goes
// out of scope.
#pragma once
#include "platform/platform.h"

// An enumeration from FindFirstFileExW; INVALID_HANDLE_VALUE means "none". Moving one leaves
// the source empty, so that the levels of a walk, kept in a vector that grows, never close an
// enumeration twice.
class FindHandle {
public:
    FindHandle() = default;
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    FindHandle(FindHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = INVALID_HANDLE_VALUE; }
    FindHandle& operator=(FindHandle&&) = delete;
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() { Close(); }

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes the enumeration held, if any, and holds `handle` instead.
    void Reset(HANDLE handle)
    {
        Close();
        handle_ = handle;
    }
    void Close()
    {
        if (valid()) {
            FindClose(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A handle closed with CloseHandle; both null and INVALID_HANDLE_VALUE mean "none" (CreateFileW
// fails with the one, CreateEventW and CreateSemaphoreW with the other).
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~OwnedHandle()
    {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};
