// findle's argument grammar, the -c conversion and the long-path helpers, as functions.
#include "tools/Findle/command_line.h"
#include "tools/Findle/long_path.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "common/hresults.h"

namespace {

TEST(ParseDecimal, ReadsLikeTheRuntimesWideAtoi)
{
    const struct {
        const wchar_t* text;
        int value;
    } cases[] = {
        {L"2", 2},          {L"1024", 1024},   {L"  \t17", 17},  {L"+5", 5},         {L"-3", -3},
        {L"12abc", 12},     {L"abc", 0},       {L"", 0},         {L"-", 0},          {L"0x10", 0},
        {L"4294967297", INT_MAX}, {L"-99999999999", INT_MIN}, {L"007", 7}, {L"1 2", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseDecimal(c.text), c.value) << std::wstring(c.text).size();
    }
}

struct CommandCase {
    std::vector<std::wstring> arguments;
    bool run;
    int exitCode;
    DWORD limit;
    bool quiet;
    const wchar_t* search; // expected search argument when run
};

// The argument texts live as long as the object: the options point into them.
struct CommandLine {
    explicit CommandLine(const std::vector<std::wstring>& arguments) : texts{L"findle"}
    {
        texts.insert(texts.end(), arguments.begin(), arguments.end());
        for (auto& text : texts) {
            argv.push_back(text.data());
        }
    }
    ParseOutcome Parse(FindleOptions& options) { return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options); }

    std::vector<std::wstring> texts;
    std::vector<wchar_t*> argv;
};

TEST(ParseCommandLine, SwitchesLimitsAndTheSearchArgument)
{
    const CommandCase cases[] = {
        {{}, false, -1, 1024, false, nullptr},
        {{L"-?"}, false, 0, 1024, false, nullptr},
        {{L"*.log", L"-?", L"x", L"y"}, false, 0, 1024, false, nullptr}, // later arguments not looked at
        {{L"a", L"b"}, false, -1, 1024, false, nullptr},
        {{L"-q"}, false, -1, 1024, true, nullptr},
        {{L"-c", L"0", L"*.log"}, false, -1, 0, false, nullptr},
        {{L"-c", L"1025", L"*.log"}, false, -1, 1025, false, nullptr},
        {{L"-c", L"many", L"*.log"}, false, -1, 0, false, nullptr},
        {{L"-c", L"-1", L"*.log"}, false, -1, 0xFFFFFFFF, false, nullptr},
        {{L"*.log", L"-c"}, true, 0, 1024, false, L"*.log"},             // nothing after -c: limit unchanged
        {{L"-c"}, false, -1, 1024, false, nullptr},                      // still needs a search argument
        {{L"-c1", L"*.log"}, true, 0, 1, false, L"*.log"},
        {{L"-c", L"2", L"*.log"}, true, 0, 2, false, L"*.log"},
        {{L"-c", L" 7x", L"*.log"}, true, 0, 7, false, L"*.log"},
        {{L"-c", L"", L"*.log"}, true, 0, 1024, false, L"*.log"},        // empty: consumed, limit unchanged
        {{L"-c1024", L"-q", L"*.log"}, true, 0, 1024, true, L"*.log"},
        {{L"-cx"}, true, 0, 1024, false, L"-cx"},                        // not -c: an unknown switch
        {{L"-x"}, true, 0, 1024, false, L"-x"},
        {{L"-Q"}, true, 0, 1024, false, L"-Q"},                          // letter case counts
        {{L"-qq"}, true, 0, 1024, false, L"-qq"},
        {{L"-q", L"-x", L"-y"}, false, -1, 1024, true, nullptr},
    };
    for (const auto& c : cases) {
        FindleOptions options;
        CommandLine commandLine(c.arguments);
        const ParseOutcome outcome = commandLine.Parse(options);
        const std::string label = std::to_string(&c - cases);
        EXPECT_EQ(outcome.run, c.run) << label;
        EXPECT_EQ(outcome.exitCode, c.exitCode) << label;
        if (c.run || c.exitCode == -1) {
            EXPECT_EQ(options.concurrencyLimit, c.limit) << label;
            EXPECT_EQ(options.quiet, c.quiet) << label;
        }
        if (c.run) {
            EXPECT_STREQ(options.searchArgument, c.search) << label;
        }
    }
}

TEST(ParseCommandLine, SlashIsASwitchOnlyOnWindows)
{
    FindleOptions options;
    CommandLine commandLine({L"/?"});
    const ParseOutcome outcome = commandLine.Parse(options);
    if (platform::kIsWindows) {
        EXPECT_FALSE(outcome.run);
        EXPECT_EQ(outcome.exitCode, 0);
    } else {
        EXPECT_TRUE(outcome.run);
        EXPECT_STREQ(options.searchArgument, L"/?");
    }
}

const std::wstring kPrefix = platform::kLongPathPrefix;
const std::wstring kSeparator(1, platform::kPathSeparator);

TEST(MakeLongPath, PrefixSourceAndSeparator)
{
    const std::wstring folder = platform::kIsWindows ? L"C:\\data" : L"/data";
    const struct {
        std::wstring source;
        bool trailing;
        std::wstring expected;
    } cases[] = {
        {folder, false, kPrefix + folder},
        {folder, true, kPrefix + folder + kSeparator},
        {folder + kSeparator, true, kPrefix + folder + kSeparator},  // no second separator
        {kPrefix + folder, false, kPrefix + folder},                  // prefix not doubled
        {L"relative", true, kPrefix + L"relative" + kSeparator},     // prefixed whatever the form
    };
    for (const auto& c : cases) {
        wchar_t buffer[64];
        wchar_t* end = nullptr;
        size_t remaining = 0;
        EXPECT_EQ(MakeLongPath(buffer, 64, c.source.c_str(), &end, &remaining, c.trailing), S_OK);
        EXPECT_EQ(std::wstring(buffer), c.expected);
        EXPECT_EQ(end, buffer + c.expected.size());
        EXPECT_EQ(remaining, 64 - c.expected.size());
    }
}

TEST(MakeLongPath, RefusesEmptySourcesAndCutsLongOnes)
{
    wchar_t buffer[8] = L"keep";
    wchar_t* end = nullptr;
    size_t remaining = 99;
    EXPECT_EQ(MakeLongPath(buffer, 8, L"", &end, &remaining, true), E_INVALIDARG);
    EXPECT_EQ(MakeLongPath(buffer, 8, nullptr, nullptr, nullptr, false), E_INVALIDARG);
    EXPECT_STREQ(buffer, L"keep");
    EXPECT_EQ(remaining, 99u);

    const std::wstring source(20, L'a');
    EXPECT_EQ(MakeLongPath(buffer, 8, source.c_str(), &end, &remaining, true), kHrInsufficientBuffer);
    EXPECT_EQ(std::wstring(buffer).size(), 7u);
    EXPECT_EQ(end, buffer + 7);
    EXPECT_EQ(remaining, 1u);

    // The separator is the part that does not fit.
    const std::wstring exact(7 - kPrefix.size(), L'b');
    EXPECT_EQ(MakeLongPath(buffer, 8, exact.c_str(), &end, &remaining, true), kHrInsufficientBuffer);
    EXPECT_EQ(std::wstring(buffer), kPrefix + exact);
}

TEST(ResolveFullPath, LongFormOfTheCurrentFolder)
{
    PathBuffer path;
    EXPECT_EQ(ResolveFullPath(L"", path), E_INVALIDARG);
    EXPECT_EQ(ResolveFullPath(nullptr, path), E_INVALIDARG);
    EXPECT_FALSE(path);

    wchar_t current[kPathBufferChars];
    ASSERT_GT(GetCurrentDirectoryW(kPathBufferChars, current), 0u);
    std::wstring expected = kPrefix + current;
    if (expected.back() != platform::kPathSeparator) {
        expected += kSeparator;
    }
    ASSERT_EQ(ResolveFullPath(L"name.log", path), S_OK);
    EXPECT_EQ(std::wstring(path.get()), expected + L"name.log");

    const std::wstring tooLong(kPathBufferChars, L'n');
    EXPECT_TRUE(FAILED(ResolveFullPath(tooLong.c_str(), path)));
}

} // namespace
