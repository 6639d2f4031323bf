// Failure reporting: every failing HRESULT is reported where it arises and again at each level
// that passes it on. One record type, one process-wide sink with a replaceable callback (tests
// record failures through it), an observer seam for the thread that runs a telemetry activity,
// and the debug line written while a debugger is attached.
#pragma once
#include "platform/platform.h"

#include <cstdint>

namespace failure {

enum class FailureKind : std::uint32_t { Exception = 0, ReturnHr = 1, ReturnNt = 2, LogHr = 3, LogNt = 4, FailFast = 5 };

// Text of a kind as it appears in the debug line ("ReturnHr", ...).
const char* KindName(FailureKind kind);

struct FailureInfo {
    FailureKind kind = FailureKind::ReturnHr;
    HRESULT hr = S_OK;
    std::uint32_t failureId = 0;       // process-wide, one per report
    std::uint32_t failureCount = 0;    // process-wide count of reports, this one included
    const char* file = nullptr;        // source file, or null
    unsigned int line = 0;
    const char* module = nullptr;      // the deliverable the code belongs to
    const char* function = nullptr;
    const char* code = nullptr;        // text of the failing expression, when known
    const wchar_t* message = nullptr;  // optional message
    const char* callContext = nullptr; // optional call-context name
    std::uint32_t threadId = 0;
    void* returnAddress = nullptr;
    void* callerReturnAddress = nullptr;
    bool suppressTelemetry = false;
};

using FailureCallback = void (*)(const FailureInfo& info);
// Replaces the process-wide callback (null: none) and returns the previous one.
FailureCallback SetFailureCallback(FailureCallback callback);

// The observer of the calling thread: a telemetry activity watches the thread that started it.
// Returns the previous observer of this thread.
using ThreadFailureObserver = void (*)(void* context, const FailureInfo& info);
struct ThreadObserver {
    ThreadFailureObserver notify = nullptr;
    void* context = nullptr;
};
ThreadObserver SetThreadFailureObserver(ThreadObserver observer);

// The process-wide number of failures reported so far.
std::uint32_t FailureCount();

// Builds the debug line of a report into `buffer` (capacity in characters; 2,048 is what the
// sink uses). Exposed for tests.
void FormatFailureLine(const FailureInfo& info, wchar_t* buffer, size_t capacity);

// Fills the process-wide fields of `info` (id, count, thread, addresses), delivers it to the
// callback, the thread's observer and, when a debugger is attached, the debug output.
void Report(FailureInfo& info);

// Reporting entries used by the macros of failure_macros.h; each returns the HRESULT it reported.
// They record their own return address (the failing code) and take the failing function's
// return address (its caller) from the macro.
HRESULT ReportHr(FailureKind kind, HRESULT hr, const char* file, unsigned int line, const char* module,
                 const char* function, const char* code, void* callerReturnAddress);
HRESULT ReportHrMsg(FailureKind kind, HRESULT hr, const char* file, unsigned int line, const char* module,
                    const char* function, const char* code, void* callerReturnAddress, const wchar_t* format, ...);
HRESULT LogIfFailed(HRESULT hr, const char* file, unsigned int line, const char* module, const char* function,
                    const char* code, void* callerReturnAddress);
BOOL LogIfWin32BoolFalse(BOOL ok, const char* file, unsigned int line, const char* module, const char* function,
                         const char* code, void* callerReturnAddress);
[[noreturn]] void FailFast(HRESULT hr, const char* file, unsigned int line, const char* module,
                           const char* function, const char* code, void* callerReturnAddress);

// HRESULT of a Win32 error code: E_FAIL when it is 0 (so that a failed call is never reported as
// success); E_OUTOFMEMORY for both codes of a memory shortage (8, ERROR_NOT_ENOUGH_MEMORY, and
// 14, ERROR_OUTOFMEMORY), the one result the tools report for it; else HRESULT_FROM_WIN32.
HRESULT HResultFromWin32(DWORD error);
// HResultFromWin32 of the calling thread's last error.
HRESULT HResultFromLastError();

} // namespace failure
