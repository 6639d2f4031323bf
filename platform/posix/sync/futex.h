// Internal to the layer: sleeping on a 32-bit word and waking its sleepers, over futex(2). The
// waits, the one-time initialization, the slim reader-writer locks and the pool's idle threads
// sleep here, so a thread that waits costs no processor time until a thread that has something
// for it wakes it.
#pragma once
#include <chrono>

namespace platform {

// Sleeps while the 32-bit word at `word` holds `expected` (the kernel compares atomically with
// the sleep, so a change made before the sleep begins is never missed); returns on a wake-up, on
// a change, on a signal or when `timeout` (optional) has passed. The caller tests its condition
// again in every case.
void FutexWait(const void* word, unsigned expected, const std::chrono::nanoseconds* timeout = nullptr);
// Wakes one sleeper of `word`, or every sleeper when `all` is set.
void FutexWake(const void* word, bool all);

} // namespace platform
