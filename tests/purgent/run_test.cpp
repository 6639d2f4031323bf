// purgent's run end to end: the exact lines of the report, the quiet setting, the time budget,
// and the telemetry a session receives from a deletion run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "support/test_support.h"

#if defined(_WIN32)
#include <tlhelp32.h>
#else
#include <signal.h>
#include <unistd.h>

#include "support/trace_decoder.h"
#endif

namespace {

namespace fs = std::filesystem;
using testing_support::ExpectedExitCode;
using testing_support::ReportLineEnd;
using testing_support::RunProgram;
using testing_support::TempDir;

// Wine's number formatter gives an empty text for a zero count (Windows gives "0"), so a zero
// elapsed time may print as "ms" there.
const std::regex kElapsedLine(R"(Elapsed time: [0-9,]*ms \([0-9]+\.[0-9]{3}s\) @ ([0-9,]*|n/a) items/sec\n)");

// The report with its elapsed-time line (the last line) checked by shape and cut off.
std::string WithoutElapsedLine(const std::string& output)
{
    const size_t last = output.rfind("Elapsed time: ");
    if (last == std::string::npos) {
        ADD_FAILURE() << "no elapsed-time line in:\n" << output;
        return output;
    }
    EXPECT_TRUE(std::regex_match(output.substr(last), kElapsedLine)) << output.substr(last);
    return output.substr(0, last);
}

// A grouped count as the report prints it: "0" is a known Wine difference (see above).
std::string Count(const std::string& digits)
{
    return digits == "0" && testing_support::RunningUnderWine() ? "" : digits;
}

std::string Announce(const fs::path& root)
{
    return "Cleaning " + root.string() + ReportLineEnd();
}

TEST(PurgentRun, TheFreedLineFollowsTheBytesAndFoldersRemoved)
{
    const struct {
        const char* label;
        int fileBytes; // -1: no file
        bool inSubfolder;
        const char* line;
    } cases[] = {
        {"nothing matches", -1, false, ""},
        {"1,023 bytes", 1023, false, "Freed 1,023 byte(s)\n"},
        {"1,024 bytes", 1024, false, "Freed 1.00 KB (1,024 bytes)\n"},
        {"1,023 bytes and a folder", 1023, true, "Freed 1,023 byte(s) and removed 1 subfolder(s)\n"},
        {"1,024 bytes and a folder", 1024, true, "Freed 1.00 KB (1,024 bytes) and removed 1 subfolder(s)\n"},
        {"an empty file and a folder", 0, true, "Removed 1 subfolder(s)\n"},
    };
    for (const auto& row : cases) {
        TempDir dir;
        const fs::path root = dir.Folder("root");
        dir.File("root/keep.txt", 10);
        if (row.fileBytes >= 0) {
            dir.File(row.inSubfolder ? "root/sub/a.bin" : "root/a.bin", static_cast<size_t>(row.fileBytes));
        }
        const auto result = RunProgram("purgent", {root.wstring(), L"-s", L"-e", L"-n", L"*.bin"});
        const bool removed = row.fileBytes >= 0;
        const std::string counts = "Removed " + Count(removed ? "1" : "0") + " file(s) out of " +
                                   (removed ? "2" : "1") + " considered in " + (row.inSubfolder ? "2" : "1") +
                                   " subfolder(s)\n";
        EXPECT_EQ(result.exitCode, 0) << row.label;
        EXPECT_EQ(WithoutElapsedLine(result.output), Announce(root) + counts + row.line) << row.label;
        EXPECT_TRUE(fs::exists(root / "keep.txt")) << row.label;
        EXPECT_FALSE(fs::exists(root / "a.bin") || fs::exists(root / "sub")) << row.label;
    }
}

TEST(PurgentRun, QuietSuccessPrintsNothingAndQuietFailureOnlyTheErrorLine)
{
    TempDir dir;
    const fs::path root = dir.Folder("root");
    dir.File("root/a.bin", 5);
    const auto success = RunProgram("purgent", {root.wstring(), L"-q"});
    EXPECT_EQ(success.output, "");
    EXPECT_EQ(success.exitCode, 0);
    EXPECT_FALSE(fs::exists(root / "a.bin"));

    const auto failure = RunProgram("purgent", {(dir.path() / "missing").wstring(), L"-q"});
    EXPECT_EQ(failure.output, "**** Error 0x80070003" + ReportLineEnd());
    EXPECT_EQ(failure.exitCode, ExpectedExitCode(-1));
}

TEST(PurgentRun, ADurationOfZeroFailsWithTheTimeoutAndZeroStatistics)
{
    TempDir dir;
    const fs::path root = dir.Folder("root");
    dir.File("root/a.bin", 5);
    const auto result = RunProgram("purgent", {root.wstring(), L"-d", L"0s"});
    const std::string zero = Count("0");
    EXPECT_EQ(result.output, Announce(root) + "**** Error 0x80070102" + ReportLineEnd() + "Removed " + zero +
                                 " file(s) out of " + zero + " considered in " + zero + " subfolder(s)\n" +
                                 "Elapsed time: " + zero + "ms (0.000s) @ n/a items/sec\n");
    EXPECT_EQ(result.exitCode, ExpectedExitCode(-1));
    EXPECT_TRUE(fs::exists(root / "a.bin"));
}

constexpr int kFolders = 50;
constexpr int kFilesPerFolder = 100;

std::string FolderName(int index)
{
    char name[16];
    std::snprintf(name, sizeof name, "d%03d", index);
    return name;
}

#if defined(_WIN32)
// Suspends or resumes every thread of this process's children that run purgent.
void PauseChildren(bool pause)
{
    std::vector<DWORD> children;
    const HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W process{};
    process.dwSize = sizeof process;
    for (BOOL more = Process32FirstW(processes, &process); more; more = Process32NextW(processes, &process)) {
        if (process.th32ParentProcessID == GetCurrentProcessId() && _wcsicmp(process.szExeFile, L"purgent.exe") == 0) {
            children.push_back(process.th32ProcessID);
        }
    }
    CloseHandle(processes);
    const HANDLE threads = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    for (BOOL more = Thread32First(threads, &thread); more; more = Thread32Next(threads, &thread)) {
        if (std::find(children.begin(), children.end(), thread.th32OwnerProcessID) == children.end()) {
            continue;
        }
        const HANDLE handle = OpenThread(THREAD_SUSPEND_RESUME, FALSE, thread.th32ThreadID);
        if (handle != nullptr) {
            pause ? SuspendThread(handle) : ResumeThread(handle);
            CloseHandle(handle);
        }
    }
    CloseHandle(threads);
}
#else
// Stops (SIGSTOP) or continues every child of this process that runs purgent.
void PauseChildren(bool pause)
{
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid;
        std::string command;
        std::string state;
        long parent = 0;
        if (stat >> pid >> command >> state >> parent && parent == getpid() && command == "(purgent)") {
            kill(static_cast<pid_t>(std::stol(pid)), pause ? SIGSTOP : SIGCONT);
        }
    }
}
#endif

size_t CountFiles(const fs::path& root)
{
    size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        count += entry.is_regular_file() ? 1 : 0;
    }
    return count;
}

// The run is paused as soon as its first deletion shows in a folder's modification time, and
// resumed after more than its one-second budget: the next deadline check fails.
TEST(PurgentRun, ARunStoppedByItsDurationReportsThePartDone)
{
    TempDir dir;
    const fs::path root = dir.Folder("root");
    std::vector<fs::file_time_type> created;
    for (int folder = 0; folder < kFolders; ++folder) {
        const fs::path path = dir.Folder("root/" + FolderName(folder));
        for (int file = 0; file < kFilesPerFolder; ++file) {
            std::ofstream(path / ("f" + std::to_string(file) + ".tmp"));
        }
        created.push_back(fs::last_write_time(path));
    }
    testing_support::ProgramResult result;
    std::thread run([&] { result = RunProgram("purgent", {root.wstring(), L"-s", L"-n", L"*.tmp", L"-d", L"1s"}); });
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    // A pause between rounds: a loop of nothing but lookups can keep the thread that starts the
    // program from running for as long as the loop lasts (seen under Wine with one free core).
    bool started = false;
    while (!started && std::chrono::steady_clock::now() < giveUp) {
        for (int folder = 0; folder < kFolders && !started; ++folder) {
            std::error_code error;
            started = fs::last_write_time(root / FolderName(folder), error) != created[folder];
        }
        if (!started) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    PauseChildren(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    PauseChildren(false);
    run.join();

    const size_t total = kFolders * kFilesPerFolder;
    const size_t left = CountFiles(root);
    ASSERT_TRUE(started) << "no deletion showed within a minute";
    ASSERT_GT(left, 0u) << "the walk ended before it could be paused";
    ASSERT_LT(left, total);
    const std::string announce = Announce(root);
    ASSERT_EQ(result.output.substr(0, announce.size()), announce);
    const std::string report = result.output.substr(announce.size());
    const std::regex shape("\\*\\*\\*\\* Error 0x80070102" + ReportLineEnd() +
                           "Removed ([0-9,]+) file\\(s\\) out of [0-9,]+ considered in [0-9,]+ subfolder\\(s\\)\n"
                           "Elapsed time: [0-9,]+ms \\([0-9.]+s\\) @ [0-9,]+ items/sec\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(report, match, shape)) << result.output;
    std::string removed = match[1].str();
    std::erase(removed, ',');
    EXPECT_EQ(std::stoul(removed), total - left);
    EXPECT_EQ(result.exitCode, ExpectedExitCode(-1));
}

#if !defined(_WIN32)
// A deletion run under a trace session: start, statistics and stop events of purgent's provider.
class TracedRun {
public:
    TracedRun() : file_(dir_.path() / "purgent.etl")
    {
        const std::string session = "provider=Brel.Orvo.Utilities.Purgent;level=5;file=" + file_.string();
        setenv("ORVO_TRACE", session.c_str(), 1);
    }
    ~TracedRun() { unsetenv("ORVO_TRACE"); }
    TracedRun(const TracedRun&) = delete;
    TracedRun& operator=(const TracedRun&) = delete;
    std::vector<testing_support::TraceEvent> Events() const { return testing_support::ReadTrace(file_); }

private:
    TempDir dir_;
    fs::path file_;
};

void ExpectRunEvents(const std::vector<testing_support::TraceEvent>& events, const std::vector<std::uint64_t>& counters,
                     std::uint32_t hresult)
{
    ASSERT_EQ(events.size(), 3u);
    const auto& start = events[0];
    const auto& stats = events[1];
    const auto& stop = events[2];
    EXPECT_EQ(start.name, "OrvoFilesCleanup");
    EXPECT_EQ(stats.name, "FileCleanupStats");
    EXPECT_EQ(stop.name, "OrvoFilesCleanup");
    for (const auto& event : events) {
        EXPECT_EQ(event.providerName, "Brel.Orvo.Utilities.Purgent");
        EXPECT_EQ(event.keyword, 0x400000000000u);
        EXPECT_EQ(event.channel, 11);
    }
    EXPECT_EQ(start.level, 5);
    EXPECT_EQ(start.opcode, 1);
    EXPECT_EQ(stop.level, 5);
    EXPECT_EQ(stop.opcode, 2);
    EXPECT_EQ(stats.level, 4);
    EXPECT_EQ(stats.opcode, 0);
    EXPECT_FALSE(testing_support::IsZero(start.activityId));
    EXPECT_EQ(stop.activityId, start.activityId);
    EXPECT_TRUE(testing_support::IsZero(stats.activityId));

    const std::vector<std::string> names = {"FilesConsidered", "FilesRemoved",   "FilesRemovedSizeBytes", "FoldersVisited",
                                            "FoldersRemoved",  "ElapsedTimeMs", "PartA_PrivTags"};
    EXPECT_EQ(stats.FieldNames(), names);
    const std::vector<int> inTypes = {8, 8, 10, 8, 8, 8, 10};
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(stats.fields[i].inType, inTypes[i]) << names[i];
    }
    for (size_t i = 0; i < counters.size(); ++i) {
        EXPECT_EQ(stats.fields[i].number, counters[i]) << names[i];
    }
    EXPECT_EQ(stats.Field("PartA_PrivTags").number, 0x3000000u);
    EXPECT_EQ(stop.Field("hresult").number, hresult);
}

TEST(PurgentRun, ADeletionRunWritesStartStatisticsAndStopEvents)
{
    TempDir dir;
    const fs::path root = dir.Folder("root");
    dir.File("root/a.bin", 1500);
    dir.File("root/sub/b.bin", 500);
    dir.File("root/keep.txt", 1);
    const TracedRun traced;
    const auto result = RunProgram("purgent", {root.wstring(), L"-s", L"-e", L"-n", L"*.bin"});
    EXPECT_EQ(result.exitCode, 0);
    // Considered 3, removed 2, 2,000 bytes, 2 folders visited, 1 removed; the time is not known.
    ExpectRunEvents(traced.Events(), {3, 2, 2000, 2, 1}, 0);
}

// Five counters that differ from each other, so that a counter sent in another's field shows.
TEST(PurgentRun, EachCounterOfTheRunReachesItsOwnStatisticsField)
{
    TempDir dir;
    const fs::path root = dir.Folder("root");
    dir.File("root/a.bin", 1000);
    dir.File("root/gone/b.bin", 200);
    dir.File("root/kept/c.bin", 34);
    dir.File("root/kept/keep.txt", 1);
    dir.File("root/other/keep.txt", 1);
    dir.File("root/keep.txt", 1);
    const TracedRun traced;
    const auto result = RunProgram("purgent", {root.wstring(), L"-s", L"-e", L"-n", L"*.bin"});
    EXPECT_EQ(result.exitCode, 0);
    // Considered 6, removed 3, 1,234 bytes, 4 folders visited, 1 removed.
    ExpectRunEvents(traced.Events(), {6, 3, 1234, 4, 1}, 0);
}

TEST(PurgentRun, AFailedRunStillWritesItsStatisticsAndStopsWithTheEnginesResult)
{
    TempDir dir;
    const fs::path root = dir.Folder("root");
    dir.File("root/a.bin", 5);
    const TracedRun traced;
    const auto result = RunProgram("purgent", {root.wstring(), L"-q", L"-d", L"0s"});
    EXPECT_EQ(result.output, "**** Error 0x80070102" + ReportLineEnd());
    ExpectRunEvents(traced.Events(), {0, 0, 0, 0, 0, 0}, 0x80070102);
}
#endif

} // namespace
