/* A library the tests preload into a program (LD_PRELOAD, Linux): just before the program's first
 * openat of the path that SWAP_ON_OPEN_PATH names, it renames SWAP_ON_OPEN_WITH over that path, so
 * that what the program opens is no longer what it looked up a moment before. A folder cannot be
 * renamed over a file, so then the file is removed first. While a swap is armed, an alarm ends a
 * program that would otherwise hang (a test sees the signal in the exit code), and a swap that
 * cannot be made ends the program with exit code 121. */
#undef _FORTIFY_SOURCE /* the header's inline openat would stand in for the one defined here */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kWatchdogSeconds = 60, kSwapFailed = 121 };

typedef int (*OpenAtFunction)(int, const char*, int, ...);

static atomic_int g_swapped;

__attribute__((constructor)) static void ArmWatchdog(void)
{
    if (getenv("SWAP_ON_OPEN_PATH") != NULL) {
        alarm(kWatchdogSeconds);
    }
}

static void SwapBeforeFirstOpen(const char* path)
{
    const char* target = getenv("SWAP_ON_OPEN_PATH");
    const char* replacement = getenv("SWAP_ON_OPEN_WITH");
    if (target == NULL || replacement == NULL || strcmp(path, target) != 0 || atomic_exchange(&g_swapped, 1) != 0) {
        return;
    }
    if (rename(replacement, target) != 0 && (unlink(target) != 0 || rename(replacement, target) != 0)) {
        perror("swap_on_open");
        _exit(kSwapFailed);
    }
}

int openat(int folder, const char* path, int flags, ...)
{
    static _Atomic(OpenAtFunction) next;
    OpenAtFunction real = atomic_load(&next);
    if (real == NULL) {
        real = (OpenAtFunction)dlsym(RTLD_NEXT, "openat");
        atomic_store(&next, real);
    }
    mode_t mode = 0;
    if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
        va_list rest;
        va_start(rest, flags);
        mode = (mode_t)va_arg(rest, int);
        va_end(rest);
    }
    SwapBeforeFirstOpen(path);
    return real(folder, path, flags, mode);
}

/* The same call under its large-file name (offsets are 64-bit either way on x86-64). */
int openat64(int folder, const char* path, int flags, ...) __attribute__((alias("openat")));
