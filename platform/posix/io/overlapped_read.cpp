// Provides GetOverlappedResult, CancelIo and the bookkeeping of overlapped reads (their start
// for ReadFile, their completion, the wait of CloseHandle) over std::mutex and
// std::condition_variable; the engines of read_engine.h do the reading.
//
// Each handle opened with FILE_FLAG_OVERLAPPED owns an OverlappedReads: its descriptor, its
// engine and the list of its reads in flight, under one lock. A read's completion is published
// under that lock, in this order: InternalHigh, then Internal (a release store, which is what a
// caller that does not wait reads first), then the event is signaled, then the read leaves the
// list. Because a new read on the same handle takes the same lock before it resets its event, a
// completion can never signal the event of the read that follows it on the same record. Closing
// the handle cancels whatever is still in flight and waits until the list is empty, so no
// engine touches a buffer, a record or the descriptor after CloseHandle has returned.
//
// Pacing. A read is handed to the engine at once only while fewer than kReadsAhead reads of its
// handle have been handed over and not yet collected by GetOverlappedResult; the others are held,
// in order, and handed over as their predecessors are collected. The device still sees every read
// at once (each held read asks for read-ahead of its range), but the bytes are copied into a
// buffer only shortly before the caller gets to it, so they are still in a cache when it does.
// Hashing bytes that were copied 31 MiB earlier costs more than the copy saves: on the 2-core
// build machine, SHA-256 of a cached 2 GiB file, 32 reads of 1 MiB in flight, took 1.85 s with
// every read copied at once and 1.54-1.66 s with the copies two reads ahead (medians of 3 runs;
// hashing alone takes 1.25 s from a 1 MiB window and 1.80 s from a 32 MiB one). A handle with
// no read at the engine hands the next held one over whatever was collected, so callers that
// only wait on the events still see every read complete, one after another.
#include "platform/posix/io/overlapped_read.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/io/file_object.h"
#include "platform/posix/sync/kernel_object.h"
#include "platform/posix/io/read_engine.h"
#include "platform/posix/sync/sync.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>

namespace platform {

struct OverlappedReads {
    int fd = -1;
    ReadEngine* engine = nullptr;
    std::mutex mutex;
    std::condition_variable completed; // a read of this handle has completed
    ReadRequest* inFlight = nullptr;    // doubly linked through previous/next
    ReadRequest* held = nullptr;        // reads not handed over yet, oldest first, through nextHeld
    ReadRequest** heldTail = &held;
    unsigned running = 0;               // handed to the engine and not completed
    unsigned uncollected = 0;           // handed to the engine and not yet collected
};

} // namespace platform

namespace {
using namespace platform;

constexpr ULONG_PTR kStatusSuccess = 0;
// Reads of one handle handed to the engine and not yet collected, at most (see Pacing above).
constexpr unsigned kReadsAhead = 2;
constexpr ULONG_PTR kStatusFromWin32 = 0xC0070000;

std::atomic<bool> g_forceThreadReads {false};

ULONG_PTR LoadStatus(const OVERLAPPED& overlapped)
{
    return __atomic_load_n(&overlapped.Internal, __ATOMIC_ACQUIRE);
}

void StoreStatus(OVERLAPPED& overlapped, ULONG_PTR status)
{
    __atomic_store_n(&overlapped.Internal, status, __ATOMIC_RELEASE);
}

ULONG_PTR StatusFromErrno(int err)
{
    return err == ECANCELED ? STATUS_CANCELLED : kStatusFromWin32 | Win32ErrorFromErrno(err);
}

DWORD Win32ErrorFromStatus(ULONG_PTR status)
{
    switch (status) {
    case kStatusSuccess:
        return ERROR_SUCCESS;
    case STATUS_END_OF_FILE:
        return ERROR_HANDLE_EOF;
    case STATUS_CANCELLED:
        return ERROR_OPERATION_ABORTED;
    default:
        return (status & 0xFFFF0000) == kStatusFromWin32 ? static_cast<DWORD>(status & 0xFFFF) : ERROR_GEN_FAILURE;
    }
}

void Link(OverlappedReads& reads, ReadRequest& request)
{
    request.previous = nullptr;
    request.next = reads.inFlight;
    if (reads.inFlight != nullptr) {
        reads.inFlight->previous = &request;
    }
    reads.inFlight = &request;
}

void Unlink(OverlappedReads& reads, ReadRequest& request)
{
    (request.previous != nullptr ? request.previous->next : reads.inFlight) = request.next;
    if (request.next != nullptr) {
        request.next->previous = request.previous;
    }
}

// Publishes the outcome (see the top of the file) and frees the request. Runs under the lock,
// which the caller releases afterwards; the event reference goes last, after the signal.
void Complete(OverlappedReads& reads, ReadRequest& request, ULONG_PTR status)
{
    OVERLAPPED& overlapped = *request.overlapped;
    overlapped.InternalHigh = request.done;
    StoreStatus(overlapped, status);
    if (request.event != nullptr) {
        SetEvent(request.event);
        ReleaseIoEvent(request.event);
    }
    Unlink(reads, request);
    if (!request.held) {
        --reads.running;
    }
    // Under the lock: a closing thread may destroy the condition as soon as the list is empty.
    reads.completed.notify_all();
    delete &request;
}

bool MayHandOver(const OverlappedReads& reads)
{
    return reads.running == 0 || reads.uncollected < kReadsAhead;
}

void CountHandedOver(OverlappedReads& reads)
{
    ++reads.running;
    ++reads.uncollected;
}

// Hands held reads to the engine while the pacing allows, under the lock (the engines never take
// it while they hold their own). A read the engine refuses completes with the engine's error.
void HandOverDue(OverlappedReads& reads)
{
    while (reads.held != nullptr && MayHandOver(reads)) {
        ReadRequest& request = *reads.held;
        reads.held = request.nextHeld;
        if (reads.held == nullptr) {
            reads.heldTail = &reads.held;
        }
        request.held = false;
        CountHandedOver(reads);
        if (const DWORD error = reads.engine->Start(request); error != ERROR_SUCCESS) {
            Complete(reads, request, kStatusFromWin32 | error);
        }
    }
}

// A read of the handle was collected: the next held ones may follow.
void NoteCollected(OverlappedReads& reads)
{
    std::lock_guard<std::mutex> lock(reads.mutex);
    if (reads.uncollected > 0) {
        --reads.uncollected;
    }
    HandOverDue(reads);
}

// Asks every read in flight that `matches` to stop; those the engine hands back unstarted are
// completed here as cancelled.
template <typename Matches>
void CancelReads(OverlappedReads& reads, Matches matches)
{
    std::lock_guard<std::mutex> lock(reads.mutex);
    for (ReadRequest** link = &reads.held; *link != nullptr;) {
        ReadRequest& request = **link;
        if (matches(request)) {
            *link = request.nextHeld;
            Complete(reads, request, STATUS_CANCELLED);
        } else {
            link = &request.nextHeld;
        }
    }
    reads.heldTail = &reads.held;
    while (*reads.heldTail != nullptr) {
        reads.heldTail = &(*reads.heldTail)->nextHeld;
    }
    for (ReadRequest* request = reads.inFlight; request != nullptr;) {
        ReadRequest* const next = request->next;
        if (!request->cancelled && matches(*request)) {
            request->cancelled = true;
            if (reads.engine->Cancel(*request)) {
                Complete(reads, *request, STATUS_CANCELLED);
            }
        }
        request = next;
    }
    HandOverDue(reads);
}

ReadEngine& ProcessReadEngine()
{
    static ReadEngine* const engine = []() -> ReadEngine* {
        const char* const choice = std::getenv("ORVO_OVERLAPPED_READS");
        if (choice == nullptr || std::strcmp(choice, "threads") != 0) {
            if (ReadEngine* const ring = UringReadEngine()) {
                return ring;
            }
        }
        return &ThreadReadEngine();
    }();
    return *engine;
}

} // namespace

namespace platform {

void OverlappedReadsDeleter::operator()(OverlappedReads* reads) const
{
    CancelReads(*reads, [](const ReadRequest&) { return true; });
    {
        std::unique_lock<std::mutex> lock(reads->mutex);
        reads->completed.wait(lock, [reads] { return reads->inFlight == nullptr; });
    }
    delete reads;
}

OverlappedReadsPtr NewOverlappedReads(int fd)
{
    OverlappedReadsPtr reads(new (std::nothrow) OverlappedReads);
    if (reads != nullptr) {
        reads->fd = fd;
        reads->engine = &CurrentReadEngine();
    }
    return reads;
}

DWORD StartOverlappedRead(OverlappedReads& reads, void* buffer, DWORD length, OVERLAPPED& overlapped)
{
    auto* const request = new (std::nothrow) ReadRequest;
    if (request == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    request->owner = &reads;
    request->overlapped = &overlapped;
    request->event = overlapped.hEvent;
    request->issuer = std::this_thread::get_id();
    request->fd = reads.fd;
    request->buffer = static_cast<char*>(buffer);
    request->length = length;
    const ULONGLONG offset = (static_cast<ULONGLONG>(overlapped.OffsetHigh) << 32) | overlapped.Offset;
    request->offset = offset;
    bool held = false;
    {
        // The event is reset under the lock that the previous completion on this handle held while
        // it signaled (see the top of the file). The lock also orders the record's fields before
        // anything the engine's threads do with them.
        std::lock_guard<std::mutex> lock(reads.mutex);
        if (request->event != nullptr && !AcquireIoEvent(request->event)) {
            delete request;
            return ERROR_INVALID_HANDLE;
        }
        overlapped.InternalHigh = 0;
        StoreStatus(overlapped, STATUS_PENDING);
        Link(reads, *request);
        held = !MayHandOver(reads);
        if (held) {
            request->held = true;
            *reads.heldTail = request;
            reads.heldTail = &request->nextHeld;
        } else {
            CountHandedOver(reads);
        }
    }
    if (held) {
        // Only the copy waits; the device may read the range now. The request itself may already
        // be handed over and gone: only the values taken above are used.
        posix_fadvise(reads.fd, static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
        return ERROR_IO_PENDING;
    }
    const DWORD error = reads.engine->Start(*request);
    if (error != ERROR_SUCCESS) {
        std::lock_guard<std::mutex> lock(reads.mutex);
        --reads.running;
        --reads.uncollected;
        Unlink(reads, *request);
        StoreStatus(overlapped, kStatusFromWin32 | error);
        if (request->event != nullptr) {
            ReleaseIoEvent(request->event);
        }
        delete request;
        return error;
    }
    return ERROR_IO_PENDING;
}

bool ReadProgress(ReadRequest& request, long result)
{
    OverlappedReads& reads = *request.owner;
    std::lock_guard<std::mutex> lock(reads.mutex);
    ULONG_PTR status = kStatusSuccess;
    if (result > 0) {
        request.done += static_cast<std::size_t>(result);
        if (request.done < request.length) {
            if (!request.cancelled) {
                return true; // a short read before the end: read the rest, as Windows gives it all
            }
            status = STATUS_CANCELLED;
        }
    } else if (result == 0) {
        // The end of the file: the bytes up to it, or EOF for a read that began there.
        status = request.done > 0 || request.length == 0 ? kStatusSuccess : STATUS_END_OF_FILE;
    } else if (result == -EINTR) {
        if (!request.cancelled) {
            return true;
        }
        status = STATUS_CANCELLED;
    } else {
        status = StatusFromErrno(static_cast<int>(-result));
    }
    Complete(reads, request, status);
    HandOverDue(reads);
    return false;
}

ReadEngine& CurrentReadEngine()
{
    return g_forceThreadReads.load(std::memory_order_relaxed) ? ThreadReadEngine() : ProcessReadEngine();
}

void ForceThreadReads(bool force)
{
    g_forceThreadReads.store(force, std::memory_order_relaxed);
}

} // namespace platform

BOOL WINAPI GetOverlappedResult(HANDLE handle, LPOVERLAPPED overlapped, LPDWORD bytesTransferred, BOOL wait)
{
    FileObject* const file = FileObjectOf(handle);
    if (file == nullptr) {
        return FALSE;
    }
    if (overlapped == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (LoadStatus(*overlapped) == STATUS_PENDING) {
        if (!wait) {
            SetLastError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
        if (file->reads == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (overlapped->hEvent != nullptr) {
            // The event is signaled after the status is published; a signal that the caller gave
            // the event for another reason only makes the loop wait again.
            do {
                if (WaitForSingleObject(overlapped->hEvent, INFINITE) == WAIT_FAILED) {
                    return FALSE;
                }
            } while (LoadStatus(*overlapped) == STATUS_PENDING);
        } else {
            OverlappedReads& reads = *file->reads;
            std::unique_lock<std::mutex> lock(reads.mutex);
            reads.completed.wait(lock, [overlapped] { return LoadStatus(*overlapped) != STATUS_PENDING; });
        }
    }
    if (file->reads != nullptr) {
        NoteCollected(*file->reads);
    }
    const ULONG_PTR status = LoadStatus(*overlapped);
    if (bytesTransferred != nullptr) {
        *bytesTransferred = static_cast<DWORD>(overlapped->InternalHigh);
    }
    if (status != kStatusSuccess) {
        SetLastError(Win32ErrorFromStatus(status));
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI CancelIo(HANDLE handle)
{
    FileObject* const file = FileObjectOf(handle);
    if (file == nullptr) {
        return FALSE;
    }
    if (file->reads != nullptr) {
        const std::thread::id self = std::this_thread::get_id();
        CancelReads(*file->reads, [self](const ReadRequest& request) { return request.issuer == self; });
    }
    return TRUE;
}
