// Provides CreateSemaphoreW, ReleaseSemaphore, CreateEventW, SetEvent, WaitForSingleObject, the
// closing of these objects for CloseHandle, the critical sections and GetSystemInfo over atomics,
// futex(2), pthread mutexes, sched_getaffinity and sysconf.
//
// A semaphore or event handle points to one heap object with a signature (so that a wrong handle
// is refused rather than misused) and a reference count: the handle holds one reference and every
// call that may block or wake others holds another while it runs, so that a thread may close the
// handle as soon as its wait returns while the thread that signaled it is still leaving SetEvent.
// The count is an atomic: taking a signal without waiting and signaling with no thread asleep
// (the whole traffic of a parallel search's slot semaphore) take no lock and no system call.
// A sleeper registers in `sleepers` and then sleeps on the count word itself with FUTEX_WAIT,
// which the kernel refuses while the count is no longer 0; a signaler changes the count first and
// then looks at `sleepers` (both sequentially consistent), so either the sleeper sees the new
// count or the signaler sees the sleeper and wakes it. A sleep and a wake-up are one system call
// each, and a signal given while nobody sleeps costs none. A wait that finds no signal sleeps at
// once: it neither spins nor yields, so a waiting thread costs no processor time (a driver that
// waits for a slot leaves both processors to the work items that give slots back).
#include "platform/posix/sync/sync.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/sync/futex.h"
#include "platform/posix/sync/kernel_object.h"

#include <atomic>
#include <chrono>
#include <new>
#include <sched.h>
#include <unistd.h>

namespace {

enum class Kind { Semaphore, ManualEvent, AutoEvent };

constexpr std::uint32_t kLiveSignature = platform::kSyncObjectSignature;
constexpr std::uint32_t kDeadSignature = platform::kDeadObjectSignature;

struct SyncObject {
    std::uint32_t signature = kLiveSignature;
    Kind kind;
    std::atomic<int> references{1};
    std::atomic<LONG> count; // semaphore: the count; event: 1 when signaled, 0 when not
    LONG maximum;            // semaphore: the largest count; event: 1
    std::atomic<int> sleepers{0};

    SyncObject(Kind objectKind, LONG initialCount, LONG maximumCount)
        : kind(objectKind), count(initialCount), maximum(maximumCount)
    {
    }
    ~SyncObject() { signature = kDeadSignature; }

    // Takes the signal when it is there (a manual-reset event keeps it).
    bool TryTake()
    {
        LONG current = count.load();
        while (current > 0) {
            if (kind == Kind::ManualEvent || count.compare_exchange_weak(current, current - 1)) {
                return true;
            }
        }
        return false;
    }

    // After the count went up: wakes sleepers, if any.
    void WakeSleepers(bool all)
    {
        if (sleepers.load() != 0) {
            platform::FutexWake(&count, all);
        }
    }

    // Sleeps while the count is 0, at most until `deadline` when one is given; returns at once
    // when the count changed in between (the caller tests it again).
    void SleepWhileZero(const std::chrono::steady_clock::time_point* deadline)
    {
        if (deadline == nullptr) {
            platform::FutexWait(&count, 0);
            return;
        }
        const std::chrono::nanoseconds left = *deadline - std::chrono::steady_clock::now();
        platform::FutexWait(&count, 0, &left);
    }
};
static_assert(sizeof(std::atomic<LONG>) == sizeof(int) && std::atomic<LONG>::is_always_lock_free,
              "the count word is what the futex calls wait on");

// One reference held for the duration of a call; the last one frees the object.
class ObjectUse {
public:
    explicit ObjectUse(SyncObject* object) : object_(object) { object_->references.fetch_add(1, std::memory_order_relaxed); }
    ~ObjectUse() { Release(object_); }
    ObjectUse(const ObjectUse&) = delete;
    ObjectUse& operator=(const ObjectUse&) = delete;
    SyncObject* operator->() const { return object_; }

    static void Release(SyncObject* object)
    {
        if (object->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete object;
        }
    }

private:
    SyncObject* object_;
};

// The object behind a handle, or null (last error 6) when the handle is not a live object of
// one of the kinds asked for.
SyncObject* ObjectOf(HANDLE handle, bool semaphoreWanted, bool eventWanted)
{
    auto* object = static_cast<SyncObject*>(handle);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && object->signature == kLiveSignature) {
        const bool isSemaphore = object->kind == Kind::Semaphore;
        if ((isSemaphore && semaphoreWanted) || (!isSemaphore && eventWanted)) {
            return object;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

HANDLE CreateObject(Kind kind, LONG initialCount, LONG maximumCount)
{
    auto* object = new (std::nothrow) SyncObject(kind, initialCount, maximumCount);
    if (object == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return object;
}

} // namespace

HANDLE WINAPI CreateSemaphoreW(LPSECURITY_ATTRIBUTES, LONG initialCount, LONG maximumCount, LPCWSTR name)
{
    if (initialCount < 0 || maximumCount <= 0 || initialCount > maximumCount || name != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateObject(Kind::Semaphore, initialCount, maximumCount);
}

BOOL WINAPI ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LPLONG previousCount)
{
    SyncObject* found = ObjectOf(semaphore, true, false);
    if (found == nullptr) {
        return FALSE;
    }
    if (releaseCount <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ObjectUse object(found);
    LONG current = object->count.load();
    do {
        if (releaseCount > object->maximum - current) {
            SetLastError(ERROR_TOO_MANY_POSTS);
            return FALSE;
        }
    } while (!object->count.compare_exchange_weak(current, current + releaseCount));
    if (previousCount != nullptr) {
        *previousCount = current;
    }
    object->WakeSleepers(releaseCount > 1);
    return TRUE;
}

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name)
{
    if (name != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateObject(manualReset ? Kind::ManualEvent : Kind::AutoEvent, initialState ? 1 : 0, 1);
}

BOOL WINAPI SetEvent(HANDLE event)
{
    SyncObject* found = ObjectOf(event, false, true);
    if (found == nullptr) {
        return FALSE;
    }
    ObjectUse object(found);
    object->count.store(1);
    object->WakeSleepers(object->kind == Kind::ManualEvent);
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    SyncObject* found = ObjectOf(handle, true, true);
    if (found == nullptr) {
        return WAIT_FAILED;
    }
    if (found->TryTake()) {
        return WAIT_OBJECT_0;
    }
    if (milliseconds == 0) {
        return WAIT_TIMEOUT;
    }
    ObjectUse object(found);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    const auto* limit = milliseconds == INFINITE ? nullptr : &deadline;
    object->sleepers.fetch_add(1);
    bool taken = object->TryTake();
    while (!taken && (limit == nullptr || std::chrono::steady_clock::now() < deadline)) {
        object->SleepWhileZero(limit);
        taken = object->TryTake();
    }
    object->sleepers.fetch_sub(1);
    return taken ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL platform::CloseSyncObject(HANDLE handle)
{
    SyncObject* object = ObjectOf(handle, true, true);
    if (object == nullptr) {
        return FALSE;
    }
    ObjectUse::Release(object);
    return TRUE;
}

bool platform::AcquireIoEvent(HANDLE event)
{
    SyncObject* object = ObjectOf(event, false, true);
    if (object == nullptr) {
        return false;
    }
    object->references.fetch_add(1, std::memory_order_relaxed);
    object->count.store(0); // a read that starts resets its event
    return true;
}

void platform::ReleaseIoEvent(HANDLE event)
{
    ObjectUse::Release(static_cast<SyncObject*>(event));
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&section->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section)
{
    pthread_mutex_lock(&section->mutex);
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    pthread_mutex_unlock(&section->mutex);
}

void WINAPI GetSystemInfo(SYSTEM_INFO* info)
{
    *info = SYSTEM_INFO{};
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    long processors = sched_getaffinity(0, sizeof allowed, &allowed) == 0 ? CPU_COUNT(&allowed) : 0;
    if (processors <= 0) {
        processors = sysconf(_SC_NPROCESSORS_ONLN);
    }
    const long pageSize = sysconf(_SC_PAGESIZE);
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    info->dwPageSize = static_cast<DWORD>(pageSize > 0 ? pageSize : 4096);
    info->dwNumberOfProcessors = static_cast<DWORD>(processors > 0 ? processors : 1);
    for (int cpu = 0; cpu < 64; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) {
            info->dwActiveProcessorMask |= DWORD_PTR{1} << cpu;
        }
    }
    info->dwAllocationGranularity = 0x10000;
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(std::uintptr_t{0x10000});
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(std::uintptr_t{0x7FFFFFFEFFFF});
}
