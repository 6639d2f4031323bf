// The reader-thread engine of overlapped reads (read_engine.h): where no io_uring ring can be set
// up, reads wait in one FIFO queue and a few detached threads carry them out with pread
// (std::thread, std::mutex, std::condition_variable).
//
// Threads start on demand, when a read is queued and no reader is idle, up to kReaders; they live
// as long as the process. Every read is in flight once ReadFile has returned: the caller goes on
// while readers on the other processors copy the data, which is what lets hashing run beside
// reading. A cancelled read that no reader has taken yet leaves the queue at once; one that a
// reader is doing completes with its data.
#include "platform/posix/io/read_engine.h"

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <unistd.h>

namespace {
using namespace platform;

// One to four threads measured level with each other, and 32 slower (overlapped_read.h); four
// keep several reads of data that is not cached at the device at once.
constexpr unsigned kReaders = 4;

class ThreadEngine final : public ReadEngine {
public:
    DWORD Start(ReadRequest& request) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        request.queued = nullptr;
        *tail_ = &request;
        tail_ = &request.queued;
        if (idle_ > 0) {
            queued_.notify_one();
        } else if (readers_ < kReaders && StartReader()) {
            ++readers_;
        } else if (readers_ == 0) {
            Remove(request);
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        return ERROR_SUCCESS;
    }

    bool Cancel(ReadRequest& request) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return Remove(request);
    }

private:
    bool StartReader()
    {
        try {
            std::thread([this] { Run(); }).detach();
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

    // Takes `request` out of the queue; false when it is not there (a reader has it).
    bool Remove(ReadRequest& request)
    {
        for (ReadRequest** link = &head_; *link != nullptr; link = &(*link)->queued) {
            if (*link == &request) {
                *link = request.queued;
                if (tail_ == &request.queued) {
                    tail_ = link;
                }
                return true;
            }
        }
        return false;
    }

    void Run()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ++idle_;
            queued_.wait(lock, [this] { return head_ != nullptr; });
            --idle_;
            ReadRequest& request = *head_;
            Remove(request);
            lock.unlock();
            long result = 0;
            do {
                const ssize_t got = pread(request.fd, request.buffer + request.done, request.length - request.done,
                                          static_cast<off_t>(request.offset + request.done));
                result = got >= 0 ? static_cast<long>(got) : -errno;
            } while (ReadProgress(request, result));
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable queued_;
    ReadRequest* head_ = nullptr;
    ReadRequest** tail_ = &head_;
    unsigned readers_ = 0;
    unsigned idle_ = 0;
};

} // namespace

namespace platform {

ReadEngine& ThreadReadEngine()
{
    // Never destroyed: its readers wait on it while the process exits.
    static ThreadEngine* const engine = new ThreadEngine;
    return *engine;
}

} // namespace platform
