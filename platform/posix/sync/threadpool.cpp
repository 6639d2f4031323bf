// Provides QueueUserWorkItem over a process-wide pool of detached POSIX threads (pthread_create,
// std::mutex, futex(2)).
//
// Design: one FIFO queue and one stack of idle threads under one lock, held only to move an item
// or a thread record. Queuing hands the item straight to the idle thread that went idle last (its
// caches are the warmest) and wakes that one thread alone, after the lock is left; only when no
// thread is idle does the item wait in the queue, where the next thread to finish an item takes
// it before it would go idle. Below one thread per processor, queuing starts a thread instead, so
// every core is busy as soon as there is work. An idle thread sleeps on its own futex word until
// an item is handed to it: no thread ever polls, so a pool of 32 threads waiting costs nothing,
// and a hand-off costs one wake-up of one thread. Above one thread per processor, a monitor
// thread (started on the first item that finds no idle thread) watches for starvation: when items
// stay queued for a whole interval and no item finishes, the busy threads are blocked, and it
// adds one thread, up to 512. Items queued behind blocked ones therefore always start in the end.
// Threads above one per processor retire after a long idle time. The pool is never destroyed:
// its threads may still wait on it while the process exits.
#include "platform/posix/sync/threadpool.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/sync/futex.h"
#include "platform/posix/sync/sync.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <new>
#include <pthread.h>
#include <vector>

namespace {

constexpr unsigned kMaximumThreads = 512;
// Long enough that threads merely preempted by a busy machine, or items that run long, do not
// count as starving (each added thread costs every other one some of its processor).
constexpr auto kStarvationInterval = std::chrono::milliseconds(250);
constexpr std::chrono::nanoseconds kIdleRetirement = std::chrono::seconds(20);

struct WorkItem {
    LPTHREAD_START_ROUTINE function;
    PVOID context;
};

// One pool thread as the idle stack holds it. `handed` is its futex word: 0 while it sleeps
// without an item, 1 once `item` holds one for it; both are written under the pool's lock.
struct Worker {
    std::atomic<std::uint32_t> handed{0};
    WorkItem item{};
};

// Runs one item; an exception never leaves a pool thread (the item reports its own failures).
void RunItem(const WorkItem& item)
{
    try {
        item.function(item.context);
    } catch (...) {
    }
}

class ThreadPool {
public:
    static ThreadPool& Instance()
    {
        static ThreadPool* const pool = new ThreadPool;
        return *pool;
    }

    // Last error as QueueUserWorkItem reports it when the item cannot be taken.
    DWORD Queue(const WorkItem& item, bool longFunction)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!idle_.empty()) {
            Worker* worker = idle_.back();
            idle_.pop_back();
            worker->item = item;
            // Set under the lock, so that a thread that wakes for another reason sees it too.
            worker->handed.store(1, std::memory_order_relaxed);
            lock.unlock();
            platform::FutexWake(&worker->handed, false);
            return ERROR_SUCCESS;
        }
        try {
            queue_.push_back(item);
        } catch (const std::bad_alloc&) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        if ((threads_ < coreThreads_ || longFunction) && threads_ < kMaximumThreads && StartThread(&WorkerMain)) {
            ++threads_;
            return ERROR_SUCCESS;
        }
        if (threads_ == 0) {
            queue_.pop_back();
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        if (!monitorStarted_) {
            monitorStarted_ = StartThread(&MonitorMain);
        }
        // A monitor that is already timing a wait needs no news: it looks again at the end.
        if (monitorAsleep_) {
            starving_.notify_one();
        }
        return ERROR_SUCCESS;
    }

private:
    ThreadPool()
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        coreThreads_ = info.dwNumberOfProcessors;
        idle_.reserve(kMaximumThreads);
    }

    bool StartThread(void* (*routine)(void*))
    {
        pthread_attr_t attributes;
        if (pthread_attr_init(&attributes) != 0) {
            return false;
        }
        pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
        pthread_t thread;
        const bool started = pthread_create(&thread, &attributes, routine, this) == 0;
        pthread_attr_destroy(&attributes);
        return started;
    }

    static void* WorkerMain(void* pool)
    {
        static_cast<ThreadPool*>(pool)->RunWorker();
        return nullptr;
    }

    static void* MonitorMain(void* pool)
    {
        static_cast<ThreadPool*>(pool)->RunMonitor();
        return nullptr;
    }

    void RunWorker()
    {
        Worker self;
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (!queue_.empty()) {
                const WorkItem item = queue_.front();
                queue_.pop_front();
                lock.unlock();
                RunItem(item);
                lock.lock();
                ++completed_;
                continue;
            }
            if (!WaitForHandOff(self, lock)) {
                --threads_;
                return;
            }
            lock.unlock();
            RunItem(self.item);
            lock.lock();
            ++completed_;
        }
    }

    // With the lock held and the queue empty: goes idle until an item is handed over (true, the
    // item in self.item, the lock held again). False when the thread is one above one per
    // processor and has had nothing to do for the whole retirement time: it leaves the pool.
    bool WaitForHandOff(Worker& self, std::unique_lock<std::mutex>& lock)
    {
        self.handed.store(0, std::memory_order_relaxed);
        idle_.push_back(&self); // never grows: room for every thread was reserved
        for (;;) {
            lock.unlock();
            platform::FutexWait(&self.handed, 0, &kIdleRetirement);
            lock.lock();
            if (self.handed.load(std::memory_order_relaxed) != 0) {
                return true;
            }
            if (threads_ > coreThreads_) {
                std::erase(idle_, &self);
                return false;
            }
        }
    }

    void RunMonitor()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto waiting = [this] { return !queue_.empty(); };
        for (;;) {
            monitorAsleep_ = true;
            starving_.wait(lock, waiting);
            monitorAsleep_ = false;
            // A whole interval, whatever is queued meanwhile: waking the monitor on every item
            // that finds all threads busy would cost a wake-up per item.
            const std::uint64_t completedBefore = completed_;
            starving_.wait_until(lock, std::chrono::steady_clock::now() + kStarvationInterval, [] { return false; });
            if (waiting() && completed_ == completedBefore && threads_ < kMaximumThreads && StartThread(&WorkerMain)) {
                ++threads_;
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable starving_; // the monitor waits here for items that find no thread
    std::deque<WorkItem> queue_;       // items that found no idle thread
    std::vector<Worker*> idle_;        // threads waiting for an item, the last to go idle on top
    unsigned coreThreads_ = 1;         // threads kept even when idle: one per processor
    unsigned threads_ = 0;             // worker threads alive
    std::uint64_t completed_ = 0;
    bool monitorStarted_ = false;
    bool monitorAsleep_ = false; // waiting for items that find no thread, not timing an interval
};

} // namespace

BOOL WINAPI QueueUserWorkItem(LPTHREAD_START_ROUTINE function, PVOID context, ULONG flags)
{
    if (function == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The pool is made on first use, which can fail for lack of memory like the queuing itself.
    const DWORD error = platform::WithoutThrowing(DWORD{ERROR_NOT_ENOUGH_MEMORY}, [&] {
        return ThreadPool::Instance().Queue(WorkItem{function, context}, (flags & WT_EXECUTELONGFUNCTION) != 0);
    });
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}
