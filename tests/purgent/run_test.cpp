// purgent's run end to end: the exact lines of the report, the quiet setting, the time budget,
// and the telemetry a session receives from a deletion run.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/test_support.h"

#if !defined(_WIN32)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/trace_decoder.h"
#endif

namespace {

namespace fs = std::filesystem;
using testing_support::ExpectedExitCode;
using testing_support::RunProgram;
using testing_support::TempDir;

// Wine's number formatter gives an empty text for a zero count (Windows gives "0"), so a zero
// elapsed time may print as "ms" there.
const std::regex kElapsedLine(R"(Elapsed time: [0-9,]*ms \([0-9]+\.[0-9]{3}s\) @ ([0-9,]+|n/a) items/sec\n)");

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
    return "Cleaning " + root.string() + "\n\r";
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
    EXPECT_EQ(failure.output, "**** Error 0x80070003\n\r");
    EXPECT_EQ(failure.exitCode, ExpectedExitCode(-1));
}

TEST(PurgentRun, ADurationOfZeroFailsWithTheTimeoutAndZeroStatistics)
{
    TempDir dir;
    const fs::path root = dir.Folder("root");
    dir.File("root/a.bin", 5);
    const auto result = RunProgram("purgent", {root.wstring(), L"-d", L"0s"});
    const std::string zero = Count("0");
    EXPECT_EQ(result.output, Announce(root) + "**** Error 0x80070102\n\r" + "Removed " + zero + " file(s) out of " +
                                 zero + " considered in " + zero + " subfolder(s)\n" + "Elapsed time: " + zero +
                                 "ms (0.000s) @ n/a items/sec\n");
    EXPECT_EQ(result.exitCode, ExpectedExitCode(-1));
    EXPECT_TRUE(fs::exists(root / "a.bin"));
}

#if defined(_WIN32)
TEST(PurgentRun, ARunStoppedByItsDurationReportsThePartDone)
{
    GTEST_SKIP() << "pausing the program in mid-walk is done with job-control signals (POSIX build)";
}
#else
constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 200;

std::string FolderName(int index)
{
    char name[16];
    std::snprintf(name, sizeof name, "d%03d", index);
    return name;
}

// purgent started with its output in a pipe; the test may pause and resume it.
class RunningPurgent {
public:
    explicit RunningPurgent(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> texts{std::string(ORVO_BIN_DIR) + "/purgent"};
        texts.insert(texts.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& text : texts) {
            argv.push_back(text.data());
        }
        argv.push_back(nullptr);
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        output_ = fds[0];
    }

    void Pause() const { kill(pid_, SIGSTOP); }
    void Resume() const { kill(pid_, SIGCONT); }

    testing_support::ProgramResult Finish()
    {
        testing_support::ProgramResult result;
        char buffer[4096];
        for (ssize_t got; (got = read(output_, buffer, sizeof buffer)) > 0;) {
            result.output.append(buffer, static_cast<size_t>(got));
        }
        close(output_);
        int status = 0;
        waitpid(pid_, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return result;
    }

private:
    pid_t pid_ = 0;
    int output_ = -1;
};

size_t CountFiles(const fs::path& root)
{
    size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        count += entry.is_regular_file() ? 1 : 0;
    }
    return count;
}

// The run is paused (SIGSTOP) as soon as its first deletion shows in a folder's modification
// time, and resumed after more than its one-second budget: the next deadline check fails.
TEST(PurgentRun, ARunStoppedByItsDurationReportsThePartDone)
{
    TempDir dir;
    const fs::path root = dir.Folder("root");
    std::vector<fs::file_time_type> created;
    for (int folder = 0; folder < kFolders; ++folder) {
        for (int file = 0; file < kFilesPerFolder; ++file) {
            dir.File("root/" + FolderName(folder) + "/f" + std::to_string(file) + ".tmp");
        }
        created.push_back(fs::last_write_time(root / FolderName(folder)));
    }
    RunningPurgent run({root.string(), "-s", "-n", "*.tmp", "-d", "1s"});
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (bool started = false; !started && std::chrono::steady_clock::now() < giveUp;) {
        for (int folder = 0; folder < kFolders && !started; ++folder) {
            std::error_code error;
            started = fs::last_write_time(root / FolderName(folder), error) != created[folder];
        }
    }
    run.Pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    run.Resume();
    const auto result = run.Finish();

    const size_t total = kFolders * kFilesPerFolder;
    const size_t left = CountFiles(root);
    ASSERT_GT(left, 0u) << "the walk ended before it could be paused";
    ASSERT_LT(left, total);
    const std::regex report("Cleaning " + root.string() +
                            "\n\r\\*\\*\\*\\* Error 0x80070102\n\r"
                            "Removed ([0-9,]+) file\\(s\\) out of [0-9,]+ considered in [0-9,]+ subfolder\\(s\\)\n"
                            "Elapsed time: [0-9,]+ms \\([0-9.]+s\\) @ [0-9,]+ items/sec\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(result.output, match, report)) << result.output;
    std::string removed = match[1].str();
    std::erase(removed, ',');
    EXPECT_EQ(std::stoul(removed), total - left);
    EXPECT_EQ(result.exitCode, ExpectedExitCode(-1));
}

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

TEST(PurgentRun, AFailedRunStillWritesItsStatisticsAndStopsWithTheEnginesResult)
{
    TempDir dir;
    const fs::path root = dir.Folder("root");
    dir.File("root/a.bin", 5);
    const TracedRun traced;
    const auto result = RunProgram("purgent", {root.wstring(), L"-q", L"-d", L"0s"});
    EXPECT_EQ(result.output, "**** Error 0x80070102\n\r");
    ExpectRunEvents(traced.Events(), {0, 0, 0, 0, 0, 0}, 0x80070102);
}
#endif

} // namespace
