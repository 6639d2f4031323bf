// DigestFileOverlapped: up to 32 overlapped 1 MiB reads in flight over one committed block, each
// slot re-issued as soon as its buffer has been fed, consumed round-robin so the data reaches
// the digest strictly in file order.
//
// Timeline of a slot: issued (primed, or re-issued after its buffer was fed) -> completes in the
// background -> GetOverlappedResult reports it -> its buffer is fed -> issued again while the
// file has more. The calling thread touches a buffer only after its read was reported complete.
// On a failure every read still in flight is cancelled and waited for before the events, the
// buffers and the file are released, so no read ever lands in released memory.
#include "tools/Sumwise/digest_file_overlapped.h"

#include "common/failure.h"
#include "common/failure_macros.h"
#include "common/handle_owners.h"
#include "tools/Sumwise/file_lookup.h"

namespace {

struct Slot {
    OVERLAPPED overlapped;
    bool inFlight;
};

// The slots, their events, their one block of buffers, and the reads in flight. The destructor
// cancels and drains whatever is still in flight before it releases the buffers and the events.
class SlotSet {
public:
    explicit SlotSet(HANDLE file) : file_(file), slots_{} {}
    ~SlotSet()
    {
        if (inFlight_ > 0) {
            CancelIo(file_);
            for (DWORD k = 0; k < count_; ++k) {
                if (slots_[k].inFlight) {
                    DWORD ignored = 0;
                    GetOverlappedResult(file_, &slots_[k].overlapped, &ignored, TRUE);
                }
            }
        }
        if (buffers_ != nullptr) {
            VirtualFree(buffers_, 0, MEM_RELEASE);
        }
        for (DWORD k = 0; k < count_; ++k) {
            CloseHandle(slots_[k].overlapped.hEvent);
        }
    }
    SlotSet(const SlotSet&) = delete;
    SlotSet& operator=(const SlotSet&) = delete;

    // One slot per 1 MiB block of the file, at most kSlotLimit.
    HRESULT CreateEvents(ULONGLONG size)
    {
        while (count_ < kSlotLimit && static_cast<ULONGLONG>(count_) * kBlockSize < size) {
            const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            RETURN_HR_IF(failure::HResultFromLastError(), event == nullptr);
            slots_[count_++].overlapped.hEvent = event;
        }
        return S_OK;
    }

    // One block of committed pages; slot k's buffer starts k blocks into it.
    HRESULT CommitBuffers()
    {
        buffers_ = static_cast<BYTE*>(
            VirtualAlloc(nullptr, static_cast<SIZE_T>(count_) * kBlockSize, MEM_COMMIT, PAGE_READWRITE));
        RETURN_HR_IF(E_OUTOFMEMORY, buffers_ == nullptr);
        return S_OK;
    }

    DWORD count() const { return count_; }
    DWORD inFlight() const { return inFlight_; }
    const BYTE* Buffer(DWORD k) const { return buffers_ + static_cast<SIZE_T>(k) * kBlockSize; }

    // Issues slot k's read of one block at `offset` into its buffer.
    HRESULT Issue(DWORD k, ULONGLONG offset)
    {
        OVERLAPPED& overlapped = slots_[k].overlapped;
        overlapped.Offset = static_cast<DWORD>(offset);
        overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
        BYTE* const buffer = buffers_ + static_cast<SIZE_T>(k) * kBlockSize;
        if (!ReadFile(file_, buffer, kBlockSize, nullptr, &overlapped) && GetLastError() != ERROR_IO_PENDING) {
            RETURN_HR(failure::HResultFromLastError());
        }
        slots_[k].inFlight = true;
        ++inFlight_;
        return S_OK;
    }

    // Waits for slot k's read; the bytes it transferred go to `transferred`.
    HRESULT Complete(DWORD k, DWORD& transferred)
    {
        const BOOL completed = GetOverlappedResult(file_, &slots_[k].overlapped, &transferred, TRUE);
        RETURN_HR_IF(failure::HResultFromLastError(), !completed);
        slots_[k].inFlight = false;
        --inFlight_;
        return S_OK;
    }

private:
    HANDLE file_;
    BYTE* buffers_ = nullptr;
    Slot slots_[kSlotLimit];
    DWORD count_ = 0;
    DWORD inFlight_ = 0;
};

} // namespace

HRESULT DigestFileOverlapped(const wchar_t* path, Digester& digester, BYTE* digest, DWORD* digestLength,
                             ULONGLONG* bytesHashed)
{
    *bytesHashed = 0;
    const OwnedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OVERLAPPED | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    RETURN_HR_IF(failure::HResultFromLastError(), !file.valid());
    RETURN_IF_FAILED(CheckRegularFile(file.get()));
    ULONGLONG size = 0;
    RETURN_IF_FAILED(SizeOfOpenFile(file.get(), size));
    RETURN_HR_IF(kHrFileInvalid, size == 0);
    RETURN_IF_FAILED(digester.Begin());

    SlotSet slots(file.get());
    RETURN_IF_FAILED(slots.CreateEvents(size));
    RETURN_IF_FAILED(slots.CommitBuffers());
    ULONGLONG nextOffset = 0;
    for (DWORD k = 0; k < slots.count(); ++k) {
        RETURN_IF_FAILED(slots.Issue(k, nextOffset));
        nextOffset += kBlockSize;
    }
    for (DWORD d = 0; slots.inFlight() > 0; d = (d + 1) % slots.count()) {
        DWORD transferred = 0;
        RETURN_IF_FAILED(slots.Complete(d, transferred));
        *bytesHashed += transferred;
        RETURN_IF_FAILED(digester.Feed(slots.Buffer(d), transferred));
        if (nextOffset < size) {
            RETURN_IF_FAILED(slots.Issue(d, nextOffset));
            nextOffset += kBlockSize;
        }
    }
    return digester.Finish(digest, digestLength);
}
