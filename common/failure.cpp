// The failure-reporting sink: numbering, delivery to the callback and the thread's observer,
// and the debug line (built in a 2,048-character buffer, written only while a debugger is
// attached).
#include "common/failure.h"

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cwchar>

#include "common/buffer_format.h"

namespace failure {

namespace {
constexpr size_t kDebugLineChars = 2048;
constexpr size_t kMessageChars = 2048;

std::atomic<FailureCallback> g_callback{nullptr};
std::atomic<std::uint32_t> g_failureCount{0};
thread_local ThreadObserver t_observer{};

// Appends formatted text at `*cursor`, never beyond the buffer's end; a cut text stays cut.
void Append(wchar_t* buffer, size_t capacity, size_t& used, const wchar_t* format, ...)
{
    if (used + 1 >= capacity) {
        return;
    }
    va_list args;
    va_start(args, format);
    FormatToBufferV(buffer + used, capacity - used, format, args);
    va_end(args);
    used += wcslen(buffer + used);
}

// Narrow source texts (file, module, function, code) are ASCII; widen them without consulting
// the process locale.
struct Widened {
    explicit Widened(const char* text)
    {
        size_t i = 0;
        for (; text != nullptr && text[i] != '\0' && i + 1 < sizeof chars / sizeof chars[0]; ++i) {
            chars[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
        }
        chars[i] = L'\0';
    }
    wchar_t chars[512];
};
} // namespace

const char* KindName(FailureKind kind)
{
    switch (kind) {
    case FailureKind::Exception:
        return "Exception";
    case FailureKind::ReturnHr:
        return "ReturnHr";
    case FailureKind::ReturnNt:
        return "ReturnNt";
    case FailureKind::LogHr:
        return "LogHr";
    case FailureKind::LogNt:
        return "LogNt";
    case FailureKind::FailFast:
        return "FailFast";
    }
    return "Unknown";
}

FailureCallback SetFailureCallback(FailureCallback callback)
{
    return g_callback.exchange(callback);
}

ThreadObserver SetThreadFailureObserver(ThreadObserver observer)
{
    const ThreadObserver previous = t_observer;
    t_observer = observer;
    return previous;
}

std::uint32_t FailureCount()
{
    return g_failureCount.load();
}

void FormatFailureLine(const FailureInfo& info, wchar_t* buffer, size_t capacity)
{
    size_t used = 0;
    buffer[0] = L'\0';
    const Widened module(info.module);
    if (info.file != nullptr) {
        Append(buffer, capacity, used, L"%ls(%u)\\%ls!%p: ", Widened(info.file).chars, info.line, module.chars,
               info.returnAddress);
    } else {
        Append(buffer, capacity, used, L"%ls!%p: ", module.chars, info.returnAddress);
    }
    if (info.callerReturnAddress != nullptr) {
        Append(buffer, capacity, used, L"(caller: %p) ", info.callerReturnAddress);
    }
    wchar_t systemText[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(info.hr), 0, systemText, 512, nullptr);
    Append(buffer, capacity, used, L"%ls(%d) tid(%x) %08X %ls", Widened(KindName(info.kind)).chars,
           static_cast<int>(info.failureCount), info.threadId, static_cast<unsigned int>(info.hr), systemText);
    if (info.message == nullptr && info.callContext == nullptr && info.function == nullptr) {
        return;
    }
    Append(buffer, capacity, used, L"    ");
    if (info.message != nullptr) {
        Append(buffer, capacity, used, L"Msg:[%ls] ", info.message);
    }
    if (info.callContext != nullptr) {
        Append(buffer, capacity, used, L"CallContext:[%ls] ", Widened(info.callContext).chars);
    }
    if (info.function != nullptr && info.code != nullptr) {
        Append(buffer, capacity, used, L"[%ls(%ls)]\n", Widened(info.function).chars, Widened(info.code).chars);
    } else if (info.function != nullptr) {
        Append(buffer, capacity, used, L"[%ls]\n", Widened(info.function).chars);
    } else {
        Append(buffer, capacity, used, L"\n");
    }
}

void Report(FailureInfo& info)
{
    info.failureCount = ++g_failureCount;
    info.failureId = info.failureCount;
    info.threadId = GetCurrentThreadId();
    if (const FailureCallback callback = g_callback.load(); callback != nullptr) {
        callback(info);
    }
    if (t_observer.notify != nullptr) {
        t_observer.notify(t_observer.context, info);
    }
    if (IsDebuggerPresent()) {
        wchar_t line[kDebugLineChars];
        FormatFailureLine(info, line, kDebugLineChars);
        OutputDebugStringW(line);
    }
}

namespace {
HRESULT Deliver(FailureKind kind, HRESULT hr, const char* file, unsigned int line, const char* module,
                const char* function, const char* code, void* returnAddress, void* callerReturnAddress,
                const wchar_t* message)
{
    FailureInfo info;
    info.kind = kind;
    info.hr = hr;
    info.file = file;
    info.line = line;
    info.module = module;
    info.function = function;
    info.code = code;
    info.message = message;
    info.returnAddress = returnAddress;
    info.callerReturnAddress = callerReturnAddress;
    Report(info);
    return hr;
}
} // namespace

__attribute__((noinline)) HRESULT ReportHr(FailureKind kind, HRESULT hr, const char* file, unsigned int line,
                                           const char* module, const char* function, const char* code,
                                           void* callerReturnAddress)
{
    return Deliver(kind, hr, file, line, module, function, code, __builtin_return_address(0), callerReturnAddress,
                   nullptr);
}

__attribute__((noinline)) HRESULT ReportHrMsg(FailureKind kind, HRESULT hr, const char* file, unsigned int line,
                                              const char* module, const char* function, const char* code,
                                              void* callerReturnAddress, const wchar_t* format, ...)
{
    wchar_t message[kMessageChars];
    va_list args;
    va_start(args, format);
    FormatToBufferV(message, kMessageChars, format, args);
    va_end(args);
    return Deliver(kind, hr, file, line, module, function, code, __builtin_return_address(0), callerReturnAddress,
                   message);
}

__attribute__((noinline)) HRESULT LogIfFailed(HRESULT hr, const char* file, unsigned int line, const char* module,
                                              const char* function, const char* code, void* callerReturnAddress)
{
    if (SUCCEEDED(hr)) {
        return hr;
    }
    return Deliver(FailureKind::LogHr, hr, file, line, module, function, code, __builtin_return_address(0),
                   callerReturnAddress, nullptr);
}

__attribute__((noinline)) BOOL LogIfWin32BoolFalse(BOOL ok, const char* file, unsigned int line,
                                                   const char* module, const char* function, const char* code,
                                                   void* callerReturnAddress)
{
    if (!ok) {
        Deliver(FailureKind::LogHr, HResultFromLastError(), file, line, module, function, code,
                __builtin_return_address(0), callerReturnAddress, nullptr);
    }
    return ok;
}

__attribute__((noinline)) void FailFast(HRESULT hr, const char* file, unsigned int line, const char* module,
                                        const char* function, const char* code, void* callerReturnAddress)
{
    Deliver(FailureKind::FailFast, hr, file, line, module, function, code, __builtin_return_address(0),
            callerReturnAddress, nullptr);
    RaiseFailFastException(nullptr, nullptr, 0);
    std::abort();
}

HRESULT HResultFromWin32(DWORD error)
{
    switch (error) {
    case ERROR_SUCCESS:
        return E_FAIL; // a failing call that left no error code must still read as a failure
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return E_OUTOFMEMORY;
    default:
        return HRESULT_FROM_WIN32(error);
    }
}

HRESULT HResultFromLastError()
{
    return HResultFromWin32(GetLastError());
}

} // namespace failure
