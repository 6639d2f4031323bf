// purgent's command line as a function: switch table, grammars, combination rules, path rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api-orvo-files/orvo_files.h"
#include "support/scoped_environment.h"
#include "support/test_support.h"
#include "tools/Purgent/command_line.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

struct Parsed {
    ParseOutcome outcome;
    CleanupRequest request;
    std::wstring root;
    std::wstring patterns;
};

class CommandLine : public testing::Test {
protected:
    Parsed Parse(std::vector<std::wstring> arguments)
    {
        arguments_ = std::move(arguments);
        arguments_.insert(arguments_.begin(), L"purgent");
        std::vector<wchar_t*> argv;
        for (auto& argument : arguments_) {
            argv.push_back(argument.data());
        }
        Parsed parsed;
        testing::internal::CaptureStdout();
        parsed.outcome = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), pathBuffer_, parsed.request);
        output_ = testing::internal::GetCapturedStdout();
        parsed.root = parsed.request.rootPath ? parsed.request.rootPath : L"";
        parsed.patterns = parsed.request.fileSpecs ? parsed.request.fileSpecs : L"(null)";
        return parsed;
    }
    std::string output_;

private:
    std::vector<std::wstring> arguments_;
    wchar_t pathBuffer_[kPathBufferChars] = {};
};

TEST_F(CommandLine, UsageRequestsAndRejections)
{
    auto parsed = Parse({});
    EXPECT_FALSE(parsed.outcome.run);
    EXPECT_EQ(parsed.outcome.exitCode, -1);
    EXPECT_EQ(output_.rfind("Purgent - Scalable File Deletion Utility - v1.00\n", 0), 0u);

    parsed = Parse({L"-?"});
    EXPECT_EQ(parsed.outcome.exitCode, 0);
    EXPECT_FALSE(parsed.outcome.run);
    parsed = Parse({L"-s", L"-?", L"-k"});
    EXPECT_EQ(parsed.outcome.exitCode, 0);
    parsed = Parse({L"-k", L"-?"});
    EXPECT_EQ(parsed.outcome.exitCode, -1);
    EXPECT_EQ(output_, "Unrecognized switch '-k'.\n");
    for (const wchar_t* bad : {L"-", L"-sx", L"--s"}) {
        Parse({bad, L"x"});
        EXPECT_EQ(output_, "Unrecognized switch '" + std::string(bad, bad + wcslen(bad)) + "'.\n");
    }
    parsed = Parse({L"-s"});
    EXPECT_EQ(parsed.outcome.exitCode, -1);
    EXPECT_EQ(output_.rfind("Purgent", 0), 0u);
}

TEST_F(CommandLine, SlashIsASwitchPrefixOnlyOnWindows)
{
    const auto parsed = Parse({L"/?"});
    if (platform::kIsWindows) {
        EXPECT_EQ(parsed.outcome.exitCode, 0);
        EXPECT_FALSE(parsed.outcome.run);
    } else {
        EXPECT_TRUE(parsed.outcome.run);
        EXPECT_EQ(parsed.root, L"/?");
    }
}

TEST_F(CommandLine, FlagSwitchesAndTheirCombinations)
{
    struct Case {
        std::vector<std::wstring> switches;
        DWORD flags;
    } const cases[] = {
        {{L"-s"}, 0x1},         {{L"-S"}, 0x1},          {{L"-o"}, 0x2},          {{L"-e"}, 0x8},
        {{L"-r"}, 0x10},        {{L"-u"}, 0x4},          {{L"-i"}, 0x100},        {{L"-j"}, 0x200},
        {{L"-b"}, 0x20},        {{L"-x"}, 0x30B},        {{L"-z"}, 0x317},        {{L"-e", L"-u"}, 0x4},
        {{L"-x", L"-z"}, 0x317}, {{L"-s", L"-s"}, 0x1},   {{L"-X", L"-R"}, 0x31B},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> arguments = c.switches;
        arguments.push_back(L"root");
        const auto parsed = Parse(arguments);
        ASSERT_TRUE(parsed.outcome.run);
        EXPECT_EQ(parsed.request.flags, c.flags) << testing::PrintToString(c.switches);
    }
}

TEST_F(CommandLine, AgeGrammar)
{
    struct Case {
        const wchar_t* text;
        ULONGLONG age;
    } const accepted[] = {
        {L"3d", 3 * 864'000'000'000ULL},  {L"2M", 51'840'000'000'000ULL},  {L"0s", 0},
        {L"58494Y", 58494ULL * 315'360'000'000'000ULL}, {L"1s", 10'000'000ULL},  {L"5m", 3'000'000'000ULL},
        {L"1h", 36'000'000'000ULL},       {L"1w", 6'048'000'000'000ULL},     {L"1844674407370s", 18'446'744'073'700'000'000ULL},
    };
    for (const Case& c : accepted) {
        const auto parsed = Parse({L"-a", c.text, L"root"});
        ASSERT_TRUE(parsed.outcome.run) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(parsed.request.minimumAge, c.age);
    }
    EXPECT_TRUE(Parse({L"-A", L"3d", L"root"}).outcome.run);
    for (const wchar_t* text : {L"3D", L"3 d", L"+3d", L"3dd", L"d", L"3", L"3x"}) {
        Parse({L"-a", text, L"root"});
        EXPECT_EQ(output_, "Unrecognized argument ('" + std::string(text, text + wcslen(text)) +
                               "') to the -a switch. Example: -a 3d (for 3 days of age or older)\n");
    }
    Parse({L"-a", L"58495Y", L"root"});
    EXPECT_EQ(output_, "Arithmetic conversion error in -a argument ('58495Y').\n");
    Parse({L"-a", L"99999999999999999999s", L"root"});
    EXPECT_EQ(output_, "Scalar in -a argument ('99999999999999999999s') is out of range.\n");
    Parse({L"-a", L"-3d", L"root"});
    EXPECT_EQ(output_, "Missing argument for the -a switch. Age must be specified.\n");
    Parse({L"root", L"-a"});
    EXPECT_EQ(output_, "Missing argument for the -a switch. Age must be specified.\n");
}

TEST_F(CommandLine, DurationGrammar)
{
    EXPECT_EQ(Parse({L"-d", L"1193h", L"root"}).request.maximumDurationMs, 4'294'800'000u);
    EXPECT_EQ(Parse({L"-d", L"71582m", L"root"}).request.maximumDurationMs, 4'294'920'000u);
    EXPECT_EQ(Parse({L"-d", L"4294967s", L"root"}).request.maximumDurationMs, 4'294'967'000u);
    EXPECT_EQ(Parse({L"-d", L"0s", L"root"}).request.maximumDurationMs, 0u);
    EXPECT_EQ(Parse({L"root"}).request.maximumDurationMs, 0xFFFFFFFFu);
    Parse({L"-d", L"1194h", L"root"});
    EXPECT_EQ(output_, "Arithmetic conversion error in -d argument ('1194h').\n");
    Parse({L"-d", L"2147483648s", L"root"});
    EXPECT_EQ(output_, "Scalar in -d argument ('2147483648s') is out of range.\n");
    Parse({L"-d", L"3d", L"root"});
    EXPECT_EQ(output_, "Unrecognized argument ('3d') to the -d switch. Example: -d 30s (for max. 30 seconds)\n");
    Parse({L"-d"});
    EXPECT_EQ(output_, "Missing argument for the -d switch. Maximum duration must be specified.\n");
}

TEST_F(CommandLine, FileSpecifications)
{
    EXPECT_EQ(Parse({L"-n", L"*.log;;", L"root"}).patterns, L"*.log");
    EXPECT_EQ(Parse({L"-n", L";;;", L"root"}).patterns, L"");
    EXPECT_EQ(Parse({L"-n", L"*.log ", L"root"}).patterns, L"*.log ");
    EXPECT_EQ(Parse({L"-n", L"a;b;", L"root"}).patterns, L"a;b");
    EXPECT_EQ(Parse({L"root"}).patterns, L"(null)");
    EXPECT_EQ(Parse({L"-n", L"*.a", L"-n", L"*.b", L"root"}).patterns, L"*.b");
    Parse({L"-n", L"-x", L"root"});
    EXPECT_EQ(output_, "Missing argument for the -n switch. FileSpec(s) must be specified.\n");
}

TEST_F(CommandLine, RootPathRules)
{
    EXPECT_EQ(Parse({L"first", L"second"}).root, L"second");
    EXPECT_EQ(Parse({L"   spaced"}).root, L"spaced");
    auto parsed = Parse({L"  \t "});
    EXPECT_EQ(parsed.outcome.exitCode, -1);
    EXPECT_EQ(output_, "The supplied path empty.\n");
    for (const wchar_t* invalid : {L"..", L"...", L"..x"}) {
        Parse({invalid});
        EXPECT_EQ(output_, "The supplied path is invalid.\n");
    }
    const std::wstring tooLong(32768, L'a');
    Parse({tooLong});
    EXPECT_EQ(output_, "The supplied path is too long.\n");
    EXPECT_TRUE(Parse({std::wstring(32767, L'a')}).outcome.run);

    wchar_t current[kPathBufferChars];
    ASSERT_NE(GetCurrentDirectoryW(kPathBufferChars, current), 0u);
    EXPECT_EQ(Parse({L"."}).root, current);
    EXPECT_EQ(Parse({std::wstring(L".") + platform::kPathSeparator}).root, current);
    const std::wstring relative = std::wstring(L".") + platform::kPathSeparator + L"sub";
    EXPECT_EQ(Parse({relative}).root, relative);
}

TEST_F(CommandLine, TempFolder)
{
    auto parsed = Parse({L"-t", L"-z"});
    ASSERT_TRUE(parsed.outcome.run);
    EXPECT_EQ(parsed.request.flags, 0x307u);
    wchar_t temp[kPathBufferChars];
    ASSERT_NE(GetTempPathW(kPathBufferChars, temp), 0u);
    EXPECT_EQ(parsed.root, temp);
    parsed = Parse({L"-t", L"root"});
    EXPECT_EQ(parsed.outcome.exitCode, -1);
    EXPECT_EQ(output_, "The -t switch cannot be set together with a user-supplied path.\n");
}

#if !defined(_WIN32)
// A chain of folders whose path is longer than the path buffer, built and removed one relative
// step at a time (no call with the whole path would work). The current folder is its deepest
// folder while the object lives.
class FolderDeeperThanTheBuffer {
public:
    FolderDeeperThanTheBuffer() : path_(dir_.path().string()), previous_(get_current_dir_name())
    {
        EXPECT_EQ(chdir(path_.c_str()), 0);
        for (; path_.size() <= kPathBufferChars; ++depth_, path_ += "/" + kName) {
            EXPECT_EQ(mkdir(kName.c_str(), 0755), 0);
            EXPECT_EQ(chdir(kName.c_str()), 0);
        }
    }
    ~FolderDeeperThanTheBuffer()
    {
        for (; depth_ > 0; --depth_) {
            EXPECT_EQ(chdir(".."), 0);
            EXPECT_EQ(rmdir(kName.c_str()), 0);
        }
        EXPECT_EQ(chdir(previous_), 0);
        free(previous_);
    }
    FolderDeeperThanTheBuffer(const FolderDeeperThanTheBuffer&) = delete;
    FolderDeeperThanTheBuffer& operator=(const FolderDeeperThanTheBuffer&) = delete;
    const std::string& path() const { return path_; }

private:
    inline static const std::string kName = std::string(250, 'd');
    testing_support::TempDir dir_{true};
    std::string path_;
    char* previous_;
    size_t depth_ = 0;
};

// Both folders exist but do not fit: the calls give the size they need, which is no path.
TEST_F(CommandLine, TempAndCurrentFoldersLongerThanTheBufferAreRefused)
{
    const FolderDeeperThanTheBuffer deep;
    auto parsed = Parse({L"."});
    EXPECT_FALSE(parsed.outcome.run);
    EXPECT_EQ(parsed.outcome.exitCode, -1);
    EXPECT_EQ(output_, "Cannot retrieve the current directory.\n");

    const testing_support::ScopedEnvironment tmpdir("TMPDIR", deep.path().c_str());
    parsed = Parse({L"-t"});
    EXPECT_FALSE(parsed.outcome.run);
    EXPECT_EQ(parsed.outcome.exitCode, -1);
    EXPECT_EQ(output_, "Cannot retrieve the user's TEMP path.\n");
}
#endif

} // namespace
