// The tests' fault injector: a library preloaded into a program of the build (LD_PRELOAD) that
// makes the N-th call of one chosen function fail with a chosen errno, so that tests reach the
// failure paths a healthy system never takes.
//
//   ORVO_FAIL=<function>:<N>[:<errno>]   the N-th call fails (only that one); N = 0 only counts
//   ORVO_FAIL_REPORT=<file>              at exit: "<calls> <1 if the failure was injected, else 0>"
//
// Functions (a name covers every entry that does its work):
//   malloc      malloc, calloc, realloc (operator new allocates through malloc)  default ENOMEM
//   unlinkat    unlinkat                                                        default EIO
//   read        read, pread, pread64                                            default EIO
//   openat      openat, openat64                                                default EIO
//   fstatat     fstatat, fstatat64 (a folder entry whose data cannot be read)   default EIO
//   getdents64  getdents64 and syscall(SYS_getdents64, ...)                     default EIO
//   fchmodat    fchmodat                                                        default EIO
//   clock       clock_gettime(CLOCK_REALTIME): from the N-th read on, the clock reads an hour
//               ahead (a step of the system clock; nothing fails), for time budgets
// <errno> is a number or one of ENOMEM EIO EACCES EPERM ENOSPC EROFS EBUSY.
//
// Calls are counted only from the program's main on (the wrapper of __libc_start_main arms the
// counter), so the count does not depend on what the loader and static initialization allocate.
// Calls that glibc makes internally do not pass through here; the product's own calls do. Once
// armed, an alarm ends the program with SIGALRM after kWatchdogSeconds, so that a hang is a
// visible failure of the test rather than a test that never ends.
//
// Not used with AddressSanitizer, whose runtime must come first and intercepts the same calls.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

enum { kWatchdogSeconds = 60 };

enum Family { kNone, kMalloc, kUnlinkat, kRead, kOpenat, kFstatat, kGetdents, kFchmodat, kClock };

static enum Family g_family = kNone;
static long g_failAt = 0; // 0: count only
static int g_errno = 0;
static atomic_bool g_armed = false;
static atomic_long g_calls = 0;
static atomic_bool g_injected = false;

// The number of this call of `family` since main, or 0 when `family` is not the one chosen.
static long CountCall(enum Family family)
{
    if (family != g_family || !atomic_load_explicit(&g_armed, memory_order_relaxed)) {
        return 0;
    }
    return atomic_fetch_add(&g_calls, 1) + 1;
}

// glibc ends the process when it cannot register the destructor of a thread-local object
// (__cxa_thread_atexit_impl): its own rule, out of any program's reach. That allocation is
// counted but never failed, and the run goes on without a failure.
static int RegistersThreadDestructor(void* caller)
{
    Dl_info info;
    return caller != NULL && dladdr(caller, &info) != 0 && info.dli_sname != NULL &&
           strcmp(info.dli_sname, "__cxa_thread_atexit_impl") == 0;
}

// True when this call of `family`, made from `caller`, is the one to fail; errno is then set.
static int ShouldFailFrom(enum Family family, void* caller)
{
    if (CountCall(family) != g_failAt || g_failAt == 0 || RegistersThreadDestructor(caller)) {
        return 0;
    }
    atomic_store(&g_injected, true);
    errno = g_errno;
    return 1;
}

static int ShouldFail(enum Family family)
{
    return ShouldFailFrom(family, NULL);
}

static int ErrnoFromText(const char* text, enum Family family)
{
    static const struct {
        const char* name;
        int value;
    } kNames[] = {{"ENOMEM", ENOMEM}, {"EIO", EIO},       {"EACCES", EACCES}, {"EPERM", EPERM},
                  {"ENOSPC", ENOSPC}, {"EROFS", EROFS}, {"EBUSY", EBUSY}};
    if (text == NULL || *text == '\0') {
        return family == kMalloc ? ENOMEM : EIO;
    }
    for (size_t i = 0; i < sizeof kNames / sizeof kNames[0]; ++i) {
        if (strcmp(text, kNames[i].name) == 0) {
            return kNames[i].value;
        }
    }
    return atoi(text);
}

static void __attribute__((constructor)) ReadSettings(void)
{
    static const struct {
        const char* name;
        enum Family family;
    } kFamilies[] = {{"malloc", kMalloc}, {"unlinkat", kUnlinkat},     {"read", kRead},         {"openat", kOpenat},
                     {"fstatat", kFstatat}, {"getdents64", kGetdents}, {"fchmodat", kFchmodat}, {"clock", kClock}};
    const char* setting = getenv("ORVO_FAIL");
    if (setting == NULL) {
        return;
    }
    char text[64];
    snprintf(text, sizeof text, "%s", setting);
    char* count = strchr(text, ':');
    char* error = count != NULL ? strchr(count + 1, ':') : NULL;
    if (count == NULL) {
        return;
    }
    *count++ = '\0';
    if (error != NULL) {
        *error++ = '\0';
    }
    for (size_t i = 0; i < sizeof kFamilies / sizeof kFamilies[0]; ++i) {
        if (strcmp(text, kFamilies[i].name) == 0) {
            g_family = kFamilies[i].family;
        }
    }
    g_failAt = atol(count);
    g_errno = ErrnoFromText(error, g_family);
}

static void __attribute__((destructor)) WriteReport(void)
{
    const char* path = getenv("ORVO_FAIL_REPORT");
    if (path == NULL) {
        return;
    }
    // open and write: stdio would allocate while the count is being taken.
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        char line[64];
        const int length = snprintf(line, sizeof line, "%ld %d\n", atomic_load(&g_calls), atomic_load(&g_injected) ? 1 : 0);
        ssize_t written = write(fd, line, (size_t)length);
        (void)written;
        close(fd);
    }
}

// The next definition of `name` (libc's), looked up once.
#define NEXT(type, name)                                                                                     \
    static type next_;                                                                                        \
    if (next_ == NULL) {                                                                                      \
        next_ = (type)dlsym(RTLD_NEXT, name);                                                                 \
    }

// ---- arming at main ----

typedef int (*MainFunction)(int, char**, char**);
static MainFunction g_main;

static int ArmedMain(int argc, char** argv, char** envp)
{
    if (g_family != kNone) {
        alarm(kWatchdogSeconds);
        atomic_store(&g_armed, true);
    }
    return g_main(argc, argv, envp);
}

int __libc_start_main(MainFunction main, int argc, char** argv, void (*init)(void), void (*fini)(void),
                      void (*rtldFini)(void), void* stackEnd)
{
    typedef int (*StartMain)(MainFunction, int, char**, void (*)(void), void (*)(void), void (*)(void), void*);
    NEXT(StartMain, "__libc_start_main");
    g_main = main;
    return next_(ArmedMain, argc, argv, init, fini, rtldFini, stackEnd);
}

// ---- memory: glibc's own entries, which need no lookup (dlsym itself allocates) ----

void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);

void* malloc(size_t size)
{
    return ShouldFailFrom(kMalloc, __builtin_return_address(0)) ? NULL : __libc_malloc(size);
}

void* calloc(size_t count, size_t size)
{
    return ShouldFailFrom(kMalloc, __builtin_return_address(0)) ? NULL : __libc_calloc(count, size);
}

void* realloc(void* block, size_t size)
{
    return ShouldFailFrom(kMalloc, __builtin_return_address(0)) ? NULL : __libc_realloc(block, size);
}

// ---- files ----

int unlinkat(int dirFd, const char* path, int flags)
{
    typedef int (*Function)(int, const char*, int);
    NEXT(Function, "unlinkat");
    return ShouldFail(kUnlinkat) ? -1 : next_(dirFd, path, flags);
}

ssize_t read(int fd, void* buffer, size_t count)
{
    typedef ssize_t (*Function)(int, void*, size_t);
    NEXT(Function, "read");
    return ShouldFail(kRead) ? -1 : next_(fd, buffer, count);
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset)
{
    typedef ssize_t (*Function)(int, void*, size_t, off_t);
    NEXT(Function, "pread");
    return ShouldFail(kRead) ? -1 : next_(fd, buffer, count, offset);
}

ssize_t pread64(int fd, void* buffer, size_t count, off_t offset) __attribute__((alias("pread")));

// The mode argument is there only with O_CREAT or O_TMPFILE; reading it regardless is what
// libc's own wrapper does too.
int openat(int dirFd, const char* path, int flags, ...)
{
    typedef int (*Function)(int, const char*, int, ...);
    NEXT(Function, "openat");
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = va_arg(arguments, mode_t);
    va_end(arguments);
    return ShouldFail(kOpenat) ? -1 : next_(dirFd, path, flags, mode);
}

int openat64(int dirFd, const char* path, int flags, ...) __attribute__((alias("openat")));

int fstatat(int dirFd, const char* path, struct stat* info, int flags)
{
    typedef int (*Function)(int, const char*, struct stat*, int);
    NEXT(Function, "fstatat");
    return ShouldFail(kFstatat) ? -1 : next_(dirFd, path, info, flags);
}

int fstatat64(int dirFd, const char* path, struct stat64* info, int flags)
{
    typedef int (*Function)(int, const char*, struct stat64*, int);
    NEXT(Function, "fstatat64");
    return ShouldFail(kFstatat) ? -1 : next_(dirFd, path, info, flags);
}

int fchmodat(int dirFd, const char* path, mode_t mode, int flags)
{
    typedef int (*Function)(int, const char*, mode_t, int);
    NEXT(Function, "fchmodat");
    return ShouldFail(kFchmodat) ? -1 : next_(dirFd, path, mode, flags);
}

ssize_t getdents64(int fd, void* buffer, size_t bytes)
{
    typedef ssize_t (*Function)(int, void*, size_t);
    NEXT(Function, "getdents64");
    return ShouldFail(kGetdents) ? -1 : next_(fd, buffer, bytes);
}

// The layer reads folders through syscall(SYS_getdents64, ...); every other number passes
// through with its six possible arguments.
long syscall(long number, ...)
{
    typedef long (*Function)(long, ...);
    NEXT(Function, "syscall");
    va_list arguments;
    va_start(arguments, number);
    long a[6];
    for (int i = 0; i < 6; ++i) {
        a[i] = va_arg(arguments, long);
    }
    va_end(arguments);
    if (number == SYS_getdents64 && ShouldFail(kGetdents)) {
        return -1;
    }
    return next_(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

// ---- time ----

int clock_gettime(clockid_t clock, struct timespec* now)
{
    typedef int (*Function)(clockid_t, struct timespec*);
    NEXT(Function, "clock_gettime");
    const int result = next_(clock, now);
    const long call = result == 0 && clock == CLOCK_REALTIME ? CountCall(kClock) : 0;
    if (g_failAt != 0 && call >= g_failAt) {
        atomic_store(&g_injected, true);
        now->tv_sec += 3600;
    }
    return result;
}
