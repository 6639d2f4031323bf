// The io_uring engine of overlapped reads (read_engine.h), over liburing: one ring per process,
// submissions from any thread under one lock, and one completion thread that reaps every
// completion and publishes it (ReadProgress), which is what signals the callers' events.
//
// Every read carries IOSQE_ASYNC: without it a buffered read of cached ext4 data is copied inside
// io_uring_enter, on the submitting thread and under the ring's submission lock, which measured
// slower and would serialize the submitters (figures in overlapped_read.h). One ring for the
// process rather than per handle or per thread: set-up and a completion thread once, and the
// copies still run in parallel, in the io-wq workers of each submitting thread.
//
// Cancellation sends IORING_OP_ASYNC_CANCEL keyed by the request's address. It is issued under
// the handle's lock, which the request's completion also needs, and the kernel carries the
// cancel out inside io_uring_enter, so the address cannot have been reused by another read when
// the kernel looks it up.
#include "platform/posix/io/read_engine.h"

#include "platform/posix/system/errors.h"

#include <atomic>
#include <cerrno>
#include <liburing.h>
#include <mutex>
#include <sched.h>
#include <system_error>

namespace {
using namespace platform;

constexpr unsigned kSubmissionEntries = 64;
// Room for the completions of many handles' reads (32 in flight each) before the completion
// thread has reaped them; beyond it the kernel keeps the overflow, and submissions wait.
constexpr unsigned kCompletionEntries = 4096;
constexpr int kSubmitAttempts = 1000;
constexpr unsigned kReadFlags = IOSQE_ASYNC;

class UringEngine final : public ReadEngine {
public:
    // A working ring and its completion thread, or null (the ring is then given up).
    static UringEngine* Create()
    {
        auto* engine = new UringEngine;
        if (!engine->SetUp()) {
            delete engine;
            return nullptr;
        }
        return engine;
    }

    DWORD Start(ReadRequest& request) override
    {
        std::lock_guard<std::mutex> lock(submitMutex_);
        io_uring_sqe* const sqe = io_uring_get_sqe(&ring_);
        if (sqe == nullptr) {
            return ERROR_NOT_ENOUGH_MEMORY; // every entry is taken, which Submit never leaves
        }
        PrepareRead(*sqe, request);
        return Submit(*sqe);
    }

    bool Cancel(ReadRequest& request) override
    {
        std::lock_guard<std::mutex> lock(submitMutex_);
        if (io_uring_sqe* const sqe = io_uring_get_sqe(&ring_)) {
            io_uring_prep_cancel(sqe, &request, 0);
            io_uring_sqe_set_data64(sqe, 0); // its own completion carries no request
            Submit(*sqe);
        }
        return false; // the read completes through the ring, cancelled or not
    }

private:
    ~UringEngine()
    {
        if (ringReady_) {
            io_uring_queue_exit(&ring_);
        }
    }

    bool SetUp()
    {
        io_uring_params params {};
        params.flags = IORING_SETUP_CQSIZE;
        params.cq_entries = kCompletionEntries;
        // Returns -errno: EPERM under container seccomp profiles and kernel.io_uring_disabled,
        // ENOSYS where the kernel has no io_uring.
        if (io_uring_queue_init_params(kSubmissionEntries, &ring_, &params) != 0) {
            return false;
        }
        ringReady_ = true;
        io_uring_probe* const probe = io_uring_get_probe_ring(&ring_);
        const bool supported = probe != nullptr && io_uring_opcode_supported(probe, IORING_OP_READ) &&
                               io_uring_opcode_supported(probe, IORING_OP_ASYNC_CANCEL);
        io_uring_free_probe(probe);
        if (!supported || !WorksEndToEnd()) {
            return false;
        }
        try {
            std::thread([this] { Reap(); }).detach();
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    // Set-up alone may pass where a filter refuses io_uring_enter: one no-op must come back.
    bool WorksEndToEnd()
    {
        io_uring_sqe* const sqe = io_uring_get_sqe(&ring_);
        io_uring_prep_nop(sqe);
        io_uring_sqe_set_data64(sqe, 0);
        io_uring_cqe* cqe = nullptr;
        if (io_uring_submit(&ring_) != 1 || io_uring_wait_cqe(&ring_, &cqe) != 0) {
            return false;
        }
        io_uring_cqe_seen(&ring_, cqe);
        return true;
    }

    void PrepareRead(io_uring_sqe& sqe, ReadRequest& request)
    {
        io_uring_prep_read(&sqe, request.fd, request.buffer + request.done,
                           static_cast<unsigned>(request.length - request.done), request.offset + request.done);
        sqe.flags |= kReadFlags;
        io_uring_sqe_set_data(&sqe, &request);
    }

    // Hands the one prepared entry to the kernel, under the submission lock. A ring that stays
    // busy (its completions overflowed) is retried while the completion thread drains it; if it
    // never takes the entry, the entry becomes a no-op, so that no later submission can start a
    // read whose caller was told it failed.
    DWORD Submit(io_uring_sqe& sqe)
    {
        int result = 0;
        submissions_.fetch_add(1, std::memory_order_release);
        for (int attempt = 0; attempt < kSubmitAttempts; ++attempt) {
            result = io_uring_submit(&ring_);
            if (result > 0) {
                return ERROR_SUCCESS;
            }
            if (result != -EBUSY && result != -EAGAIN && result != -EINTR) {
                break;
            }
            sched_yield();
        }
        io_uring_prep_nop(&sqe);
        io_uring_sqe_set_data64(&sqe, 0);
        return Win32ErrorFromErrno(result < 0 ? -result : EIO);
    }

    // The completion thread: publishes each read's result, and reads on where a read came back
    // short before the end of the file.
    void Reap()
    {
        for (;;) {
            io_uring_cqe* cqe = nullptr;
            if (io_uring_wait_cqe(&ring_, &cqe) != 0) {
                continue; // interrupted
            }
            submissions_.load(std::memory_order_acquire);
            auto* const request = static_cast<ReadRequest*>(io_uring_cqe_get_data(cqe));
            const long result = cqe->res;
            io_uring_cqe_seen(&ring_, cqe);
            if (request != nullptr && ReadProgress(*request, result)) {
                Restart(*request);
            }
        }
    }

    void Restart(ReadRequest& request)
    {
        DWORD error = ERROR_NOT_ENOUGH_MEMORY;
        {
            std::lock_guard<std::mutex> lock(submitMutex_);
            if (io_uring_sqe* const sqe = io_uring_get_sqe(&ring_)) {
                PrepareRead(*sqe, request);
                error = Submit(*sqe);
            }
        }
        if (error != ERROR_SUCCESS) {
            ReadProgress(request, -EIO); // completes it with the failure
        }
    }

    io_uring ring_ {};
    bool ringReady_ = false;
    std::mutex submitMutex_;
    // Orders what a submitter wrote before what the completion thread reads of the request, as the
    // kernel's hand-over does; spelled out for the sanitizers, which cannot see through the ring.
    std::atomic<std::uint64_t> submissions_ {0};
};

} // namespace

namespace platform {

ReadEngine* UringReadEngine()
{
    // Tried once; the engine lives as long as the process (its thread waits on the ring).
    static UringEngine* const engine = UringEngine::Create();
    return engine;
}

} // namespace platform
