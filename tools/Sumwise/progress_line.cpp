// ProgressLine: a thread that sleeps until the next refresh (or the end of the run) and rewrites
// the line with WriteConsoleW; the work items only add to two relaxed counters.
#include "tools/Sumwise/progress_line.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include "common/buffer_format.h"
#include "common/number_format.h"
#include "tools/Sumwise/file_lookup.h"
#include "tools/Sumwise/hashing_statistics.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFirstShown = std::chrono::seconds(1);
constexpr auto kRefresh = std::chrono::milliseconds(250);

// "3 of 10 file(s), 1.20 GB hashed, 812 MB/s" and, for one file of known size, " (12%), 0:01:23 left".
std::wstring StatusText(const ProgressCounters& counters, ULONGLONG filesGiven, ULONGLONG size, double seconds)
{
    const ULONGLONG bytes = counters.bytes.load(std::memory_order_relaxed);
    wchar_t done[kFieldChars];
    wchar_t given[kFieldChars];
    wchar_t hashed[kFieldChars] = {};
    wchar_t rate[kFieldChars];
    FormatGroupedField(done, L"%llu", counters.files.load(std::memory_order_relaxed));
    FormatGroupedField(given, L"%llu", filesGiven);
    StrFormatByteSizeW(static_cast<LONGLONG>(bytes), hashed, static_cast<UINT>(kFieldChars));
    FormatHashingRate(bytes, seconds, rate);
    wchar_t text[4 * kFieldChars];
    FormatToBuffer(text, std::size(text), L"%ls of %ls file(s), %ls hashed, %ls/s", done, given, hashed, rate);
    std::wstring status = text;
    if (size != 0 && bytes <= size && bytes != 0) {
        const auto left =
            static_cast<ULONGLONG>(seconds * static_cast<double>(size - bytes) / static_cast<double>(bytes));
        FormatToBuffer(text, std::size(text), L" (%u%%), %llu:%02llu:%02llu left",
            static_cast<unsigned>(bytes * 100 / size), left / 3600, left / 60 % 60, left % 60);
        status += text;
    }
    return status;
}

// Holds a critical section for its scope, so that a line that cannot be made releases it.
class HeldLock {
public:
    explicit HeldLock(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
    ~HeldLock() { LeaveCriticalSection(lock_); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

private:
    CRITICAL_SECTION* lock_;
};

} // namespace

struct ProgressLine::State {
    HANDLE console = nullptr;
    const ProgressCounters* counters = nullptr;
    CRITICAL_SECTION* outputLock = nullptr;
    bool sharesTerminal = false; // standard output is a console too
    ULONGLONG filesGiven = 0;
    const wchar_t* onlyFile = nullptr;
    std::mutex mutex;
    std::condition_variable stop;
    bool stopping = false;
    size_t shown = 0; // characters of the line on the console now; changed under the output lock
    std::thread thread;

    void Write(const std::wstring& text)
    {
        DWORD written = 0;
        WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

    void Erase()
    {
        if (shown != 0) {
            Write(L"\r" + std::wstring(shown, L' ') + L"\r");
            shown = 0;
        }
    }

    // Over the previous line: blanks cover what the new one does not.
    void Show(const std::wstring& status)
    {
        std::wstring text = L"\r" + status;
        if (status.size() < shown) {
            text.append(shown - status.size(), L' ');
        }
        Write(text);
        shown = status.size();
    }

    void Run()
    {
        const Clock::time_point start = Clock::now();
        ULONGLONG size = 0; // left at 0 when it cannot be read: no percentage is shown then
        if (bool folder = false; onlyFile != nullptr) {
            LookUpSize(onlyFile, size, folder);
        }
        std::unique_lock<std::mutex> lock(mutex);
        for (Clock::time_point next = start + kFirstShown;; next += kRefresh) {
            if (stop.wait_until(lock, next, [this] { return stopping; })) {
                break;
            }
            const std::chrono::duration<double> elapsed = Clock::now() - start;
            const std::wstring status = StatusText(*counters, filesGiven, size, elapsed.count());
            const HeldLock held(outputLock);
            Show(status);
        }
        const HeldLock held(outputLock);
        Erase();
    }
};

void ProgressLine::Start(const ProgressCounters& counters, ULONGLONG filesGiven, const wchar_t* onlyFile,
                         CRITICAL_SECTION* outputLock)
{
    DWORD mode = 0;
    const HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    if (console == INVALID_HANDLE_VALUE || console == nullptr || !GetConsoleMode(console, &mode)) {
        return;
    }
    // Without the memory or the thread the run goes on without its status line.
    state_ = new (std::nothrow) State;
    if (state_ == nullptr) {
        return;
    }
    state_->console = console;
    state_->counters = &counters;
    state_->outputLock = outputLock;
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    state_->sharesTerminal = output != INVALID_HANDLE_VALUE && output != nullptr && GetConsoleMode(output, &mode);
    state_->filesGiven = filesGiven;
    state_->onlyFile = onlyFile;
    try {
        state_->thread = std::thread([state = state_] {
            try {
                state->Run();
            } catch (const std::bad_alloc&) {
                // Without memory for its text the line stops; the run goes on.
            }
        });
    } catch (...) {
        delete state_;
        state_ = nullptr;
    }
}

void ProgressLine::MakeWayForOutput()
{
    if (state_ != nullptr && state_->sharesTerminal) {
        state_->Erase();
    }
}

void ProgressLine::Stop()
{
    if (state_ == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stopping = true;
    }
    state_->stop.notify_one();
    state_->thread.join();
    delete state_;
    state_ = nullptr;
}
