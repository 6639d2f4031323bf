// Provides IsDebuggerPresent, OutputDebugStringW, RaiseFailFastException and GetCurrentThreadId over
// /proc/self/status, stderr, abort and gettid.
#include "platform/posix/system/debug.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/text/text.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <string>
#include <unistd.h>

BOOL WINAPI IsDebuggerPresent()
{
    return platform::WithoutThrowing(BOOL{FALSE}, [&]() -> BOOL {
        // A tracer (a debugger, strace) shows as a non-zero TracerPid.
        std::ifstream status("/proc/self/status");
        const std::string key = "TracerPid:";
        for (std::string line; std::getline(status, line);) {
            if (line.compare(0, key.size(), key) == 0) {
                return std::strtol(line.c_str() + key.size(), nullptr, 10) != 0 ? TRUE : FALSE;
            }
        }
        return FALSE;
    });
}

// Standard error stands for the debugger's output window, so the text appears only while a
// debugger is attached, as it would on Win32; it is written as its original bytes, in one write.
void WINAPI OutputDebugStringW(LPCWSTR text)
{
    if (text == nullptr || !IsDebuggerPresent()) {
        return;
    }
    platform::WithoutThrowing(size_t{0}, [&] {
        std::string bytes;
        platform::BytesFromWide(text, wcslen(text), bytes); // a character with no byte form ends the text
        return fwrite(bytes.data(), 1, bytes.size(), stderr);
    });
}

void WINAPI RaiseFailFastException(void*, void*, DWORD)
{
    // No handler may run: restore the default action so that abort ends the process at once.
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
}

DWORD WINAPI GetCurrentThreadId()
{
    return static_cast<DWORD>(gettid());
}
