// Internal to the layer: the overlapped reads in flight and the two engines that carry them out,
// io_uring (uring_read_engine.cpp) and reader threads (thread_read_engine.cpp).
#pragma once
#include "platform/posix/system/win32_types.h"

#include "platform/posix/io/overlapped_read.h"

#include <cstddef>
#include <thread>

namespace platform {

struct OverlappedReads;

// One overlapped read, from ReadFile until its completion is published.
struct ReadRequest {
    OverlappedReads* owner = nullptr;
    OVERLAPPED* overlapped = nullptr;
    HANDLE event = nullptr; // referenced while the read is in flight (AcquireIoEvent)
    std::thread::id issuer;
    int fd = -1;
    char* buffer = nullptr;
    std::size_t length = 0; // bytes asked for
    std::size_t done = 0;   // bytes read so far
    ULONGLONG offset = 0;
    bool cancelled = false; // CancelIo or the closing of the handle asked for it to stop
    bool held = false;      // not handed to the engine yet (the owner's list of held reads)
    ReadRequest* nextHeld = nullptr;
    ReadRequest* previous = nullptr; // the owner's list of reads in flight
    ReadRequest* next = nullptr;
    ReadRequest* queued = nullptr;   // an engine's own queue
};

// How reads reach the system. An engine is made once and lives as long as the process.
class ReadEngine {
public:
    virtual ~ReadEngine() = default;
    // Starts reading `length - done` bytes at `offset + done` into `buffer + done`; from then on the
    // engine calls ReadProgress until the request is finished. 0, or the Win32 error that kept it
    // from starting (the request is then the caller's again).
    virtual DWORD Start(ReadRequest& request) = 0;
    // Asks a started read to stop; called under the owner's lock. True when the engine hands the
    // request back unstarted (the caller completes it as cancelled); false when it completes it
    // later itself, cancelled or not.
    virtual bool Cancel(ReadRequest& request) = 0;
};

// Called by an engine with the result of one system read for `request`: bytes read, or a
// negated errno. True when the request wants the rest of its bytes read (the engine reads again,
// at the advanced position); false when it has been completed and freed.
bool ReadProgress(ReadRequest& request, long result);

// The io_uring engine, or null where a ring cannot be set up (tried once per process).
ReadEngine* UringReadEngine();
// The reader-thread engine.
ReadEngine& ThreadReadEngine();

// The engine of handles opened from now on: io_uring where the ring can be set up, unless the
// environment variable ORVO_OVERLAPPED_READS is "threads" (both read once per process) or
// ForceThreadReads asked for the reader threads.
ReadEngine& CurrentReadEngine();
// For tests: the reader threads for handles opened from now on (true), or the process's choice.
void ForceThreadReads(bool force);

} // namespace platform
