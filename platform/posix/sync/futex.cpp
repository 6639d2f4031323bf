// Provides the layer's sleep on a word and its wake-up over futex(2), private to the process.
#include "platform/posix/sync/futex.h"

#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

void platform::FutexWait(const void* word, unsigned expected, const std::chrono::nanoseconds* timeout)
{
    timespec relative{};
    if (timeout != nullptr) {
        if (timeout->count() <= 0) {
            return;
        }
        relative.tv_sec = static_cast<time_t>(timeout->count() / 1000000000);
        relative.tv_nsec = static_cast<long>(timeout->count() % 1000000000);
    }
    syscall(SYS_futex, word, FUTEX_WAIT_PRIVATE, expected, timeout != nullptr ? &relative : nullptr, nullptr, 0);
}

void platform::FutexWake(const void* word, bool all)
{
    syscall(SYS_futex, word, FUTEX_WAKE_PRIVATE, all ? INT_MAX : 1, nullptr, nullptr, 0);
}
