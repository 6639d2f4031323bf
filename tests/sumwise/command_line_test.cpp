// sumwise's argument grammar, the start-up expansion of wildcard arguments, the digest text and
// the rate text, as functions.
#include "tools/Sumwise/command_line.h"
#include "tools/Sumwise/digest_text.h"
#include "tools/Sumwise/hashing_statistics.h"
#include "tools/Sumwise/wildcard_arguments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

// The argument texts live as long as the object: the options point into them.
struct CommandLine {
    explicit CommandLine(const std::vector<std::wstring>& arguments) : texts{L"sumwise"}
    {
        texts.insert(texts.end(), arguments.begin(), arguments.end());
        for (auto& text : texts) {
            argv.push_back(text.data());
        }
    }
    std::vector<std::wstring> texts;
    std::vector<wchar_t*> argv;
};

TEST(ParseCommandLine, SwitchScanAlgorithmsAndFilespecs)
{
    const std::wstring slash = platform::kIsWindows ? L"/" : L"-";
    const struct {
        std::vector<std::wstring> arguments;
        int exitCode; // -1: runs
        DWORD selector;
        bool statistics;
        std::vector<std::wstring> filespecs;
    } cases[] = {
        {{}, 1, 0, true, {}},
        {{L"-?"}, 0, 0, true, {}},
        {{slash + L"?"}, 0, 0, true, {}},
        {{L"-sha256"}, 1, 0, true, {}},
        {{L"-"}, 1, 0, true, {}},
        {{L"a.txt"}, -1, 0x8003, true, {L"a.txt"}},
        {{L"-md5", L"-sha1", L"a.txt"}, -1, 0x8004, true, {L"a.txt"}},
        {{L"-SHA256", L"-q", L"a", L"b"}, -1, 0x800C, false, {L"a", L"b"}},
        {{slash + L"Adler", L"a"}, -1, 2, true, {L"a"}},
        {{L"-sha", L"-crc32c", L"a"}, -1, 0, true, {L"a"}},
        {{L"a.txt", L"-q"}, -1, 0x8003, true, {L"a.txt", L"-q"}},      // the scan stops at a filespec
        {{L"-q", L"-zipcrc"}, -1, 0x8003, false, {L"-zipcrc"}},         // the last is never a switch
        {{L"-sha256abc", L"a.txt"}, -1, 0x8003, true, {L"-sha256abc", L"a.txt"}}, // 8 characters
        {{L"-q", L"-x", L"a.txt"}, 1, 0, true, {}},
        {{L"-a.txt", L"b"}, 1, 0, true, {}},
        {{L"-?", L"-x", L"a"}, 0, 0, true, {}},
        {{L"-", L"a"}, 1, 0, true, {}},
    };
    for (const auto& c : cases) {
        CommandLine line(c.arguments);
        SumwiseOptions options;
        const ParseOutcome outcome = ParseCommandLine(static_cast<int>(line.argv.size()), line.argv.data(), options);
        const auto index = &c - cases;
        EXPECT_EQ(outcome.run, c.exitCode < 0) << index;
        if (!outcome.run) {
            EXPECT_EQ(outcome.exitCode, c.exitCode) << index;
            continue;
        }
        EXPECT_EQ(options.selector, c.selector) << index;
        EXPECT_EQ(options.statistics, c.statistics) << index;
        EXPECT_EQ(std::vector<std::wstring>(options.filespecs, options.filespecs + options.filespecCount), c.filespecs)
            << index;
    }
}

TEST(WildcardArguments, PrefixRules)
{
    const struct {
        const wchar_t* argument;
        bool expanded;
        size_t prefix;
    } cases[] = {
        {L"a.txt", false, 0},          {L"*.log", true, 0},           {L"c:\\audio\\*.mp3", true, 9},
        {L"c:*.mp3", true, 2},         {L"dir/sub/a?c", true, 8},     {L"file.txt:s*", false, 0},
        {L"c:\\x\\file:s*", false, 0}, {L"a*\\b\\*.c", true, 0},
    };
    for (const auto& c : cases) {
        size_t prefix = 99;
        EXPECT_EQ(WildcardPrefix(c.argument, prefix), c.expanded) << &c - cases;
        if (c.expanded) {
            EXPECT_EQ(prefix, c.prefix) << &c - cases;
        }
    }
}

TEST(WildcardArguments, NamesBehindTheFolderPartInEnumerationOrder)
{
    testing_support::TempDir dir;
    dir.File("b.log", 1);
    dir.File("a.log", 1);
    dir.Folder("sub.log");
    dir.File("c.txt", 1);
    const std::wstring root = dir.path().wstring() + platform::kPathSeparator;
    std::vector<std::wstring> typed = {L"sumwise", L"-q", root + L"*.log", root + L"*.none", root + L"c.txt"};
    std::vector<wchar_t*> argv;
    for (auto& text : typed) {
        argv.push_back(text.data());
    }
    ExpandedArguments expanded;
    ExpandWildcardArguments(static_cast<int>(argv.size()), argv.data(), expanded);
    ASSERT_EQ(expanded.count(), 7);
    EXPECT_EQ(expanded.pointers.back(), nullptr);
    std::vector<std::wstring> found(expanded.text.begin() + 2, expanded.text.begin() + 5);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::wstring>{root + L"a.log", root + L"b.log", root + L"sub.log"}));
    EXPECT_EQ(expanded.text[1], L"-q");
    EXPECT_EQ(expanded.text[5], root + L"*.none"); // nothing found: passed on as typed
    EXPECT_EQ(expanded.text[6], root + L"c.txt");
}

TEST(DigestText, HexInByteOrderHighNibbleFirst)
{
    const BYTE bytes[8] = {0x00, 0x1f, 0xa0, 0xff, 0xcb, 0xf4, 0x39, 0x26};
    wchar_t text[kDigestTextChars];
    FormatDigestText(bytes, 8, text);
    EXPECT_STREQ(text, L"001fa0ffcbf43926");
    FormatDigestText(bytes + 4, 4, text);
    EXPECT_STREQ(text, L"cbf43926");
}

TEST(HashingRate, ByteSizePerSecondOrNotApplicable)
{
    wchar_t rate[kFieldChars];
    FormatHashingRate(2048, 2.0, rate);
    EXPECT_STREQ(rate, L"1.00 KB");
    FormatHashingRate(1000, 0.0, rate);
    EXPECT_STREQ(rate, L"n/a");
    FormatHashingRate(~0ULL, 1e-9, rate); // beyond the 64-bit range: held at its end
    EXPECT_NE(rate[0], L'\0');
}

} // namespace
