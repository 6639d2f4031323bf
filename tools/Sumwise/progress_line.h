// The status line of a long run: when standard error is a console and the run has lasted a
// second, one line there, rewritten at most four times a second, with the files finished out of
// the files given, the bytes hashed, the rate and, for a run of one file, its percentage and the
// time left. Standard output never changes; the line is erased before the run's last lines.
#pragma once
#include "platform/platform.h"

#include <atomic>

// What the work items add as they go: bytes as they are fed, files as they finish.
struct ProgressCounters {
    std::atomic<ULONGLONG> bytes{0};
    std::atomic<ULONGLONG> files{0};
};

class ProgressLine {
public:
    ProgressLine() = default;
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    ~ProgressLine() { Stop(); }

    // Starts the line's thread when standard error is a console, showing `counters`. `onlyFile`:
    // the one file of a run of one, whose size gives the percentage and the time left; null
    // otherwise. The line is written holding `outputLock`, the lock under which the run prints its
    // own lines.
    void Start(const ProgressCounters& counters, ULONGLONG filesGiven, const wchar_t* onlyFile,
               CRITICAL_SECTION* outputLock);
    // Called holding the output lock before a line goes to standard output: when that is the
    // same terminal, the status line is erased first (and written again at the next refresh), so
    // that no output line is written behind it.
    void MakeWayForOutput();
    // Erases the line (if one was written) and ends the thread.
    void Stop();

private:
    struct State;
    State* state_ = nullptr;
};
