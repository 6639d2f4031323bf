// Console text of the POSIX layer: the printf/wprintf formatter (C99 conversions, wide text as
// original bytes) and whole-call writes to standard output.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/test_support.h"

namespace {

std::string Narrow(const char* format, ...) __attribute__((__format__(__printf__, 1, 2)));
std::string Narrow(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = platform::FormatBytes(format, args);
    va_end(args);
    return text;
}

// The bytes WPrintf would write, or "<failed>".
std::string Wide(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text;
    const bool formatted = platform::AppendFormat(text, format, args);
    va_end(args);
    return formatted ? text : "<failed>";
}

// Sends standard output to a file while alive; Text() returns what was written.
class CapturedStdout {
public:
    CapturedStdout() : file_(dir_.path() / "stdout")
    {
        fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        FILE* target = fopen(file_.c_str(), "wb");
        dup2(fileno(target), STDOUT_FILENO);
        fclose(target);
    }
    ~CapturedStdout() { Restore(); }
    std::string Text()
    {
        Restore();
        std::ifstream stream(file_, std::ios::binary);
        return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    }

private:
    void Restore()
    {
        if (saved_ >= 0) {
            fflush(stdout);
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
            saved_ = -1;
        }
    }
    testing_support::TempDir dir_;
    std::filesystem::path file_;
    int saved_ = -1;
};

struct Case {
    const char* expected;
    std::string actual;
};

TEST(ConsoleFormat, NumbersAndNarrowText)
{
    const Case cases[] = {
        {"-42 42", Narrow("%d %i", -42, 42)},
        {"4294967295", Narrow("%u", 4294967295u)},
        {"18446744073709551615", Narrow("%llu", static_cast<unsigned long long>(UINT64_MAX))},
        {"-9223372036854775808", Narrow("%lld", static_cast<long long>(INT64_MIN))},
        {"0000beef", Narrow("%08lx", 0xBEEFul)},
        {"1.500 0.001", Narrow("%.03f %.03f", 1.5, 0.0006)},
        {"1.0e+02|  1.5|0x1p+0", Narrow("%.1e|%5.1f|%a", 100.0, 1.5, 1.0)},
        {"17 0X1F 0x1f", Narrow("%o %#X %#x", 15u, 31u, 31u)},
        {"  abc|abc  |ab", Narrow("%5s|%-5s|%.2s", "abc", "abc", "abcdef")},
        {"100%", Narrow("%d%%", 100)},
        {"   7|7   |  3.14", Narrow("%*d|%*d|%*.*f", 4, 7, -4, 7, 6, 2, 3.14159)},
        {"x|-1|65535|3", Narrow("%c|%hhd|%hu|%zu", 'x', 255, 65535, static_cast<size_t>(3))},
        {"no conversions", Narrow("no conversions")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, c.actual);
    }
}

TEST(ConsoleFormat, WideArgumentsPrintTheirOriginalBytes)
{
    const std::string rawName = "caf\xC3\xA9-\xFF\xC0\xAF.log"; // valid UTF-8, a stray byte, an overlong form
    const std::wstring name = platform::WideFromBytes(rawName);
    const wchar_t* volatile none = nullptr; // volatile: a visible null draws a compiler warning
    const Case cases[] = {
        {"file: plain.txt\n", Narrow("file: %ls\n", L"plain.txt")},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", Narrow("%ls", L"\u00E9\u20AC\U0001F600")},
        {"[caf\xC3\xA9-\xFF\xC0\xAF.log]", Narrow("[%ls]", name.c_str())},
        {"(null)", Narrow("%ls", none)},
        {"\xC3\xA9", Narrow("%lc", static_cast<wint_t>(L'\u00E9'))},
        // Width and precision count bytes in a narrow format; a character is never split.
        {"   \xC3\xA9|a|a\xC3\xA9", Narrow("%5ls|%.2ls|%.3ls", L"\u00E9", L"a\u00E9", L"a\u00E9b")},
        {"ab  |", Narrow("%-4ls|", L"ab")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, c.actual);
    }
}

TEST(ConsoleFormat, WideFormatKeepsC99Semantics)
{
    // In a wide format %s takes narrow text and %ls wide text; widths count characters.
    EXPECT_EQ("narrow wide 7", Wide(L"%s %ls %d", "narrow", L"wide", 7));
    EXPECT_EQ("\xC3\xA9t\xC3\xA9 \xFF", Wide(L"\u00E9t\u00E9 %ls", L"\xDCFF"));
    EXPECT_EQ("  \xC3\xA9|\xC3\xA9  |\xC3\xA9", Wide(L"%3ls|%-3s|%.1s", L"\u00E9", "\xC3\xA9", "\xC3\xA9\xC3\xA9"));
    EXPECT_EQ("\xFE|x|\xC3\xA9", Wide(L"%c|%c|%lc", 0xFE, 'x', static_cast<wint_t>(L'\u00E9')));
    EXPECT_EQ("12345.679 0x10 100%", Wide(L"%.3f %#x %d%%", 12345.6789, 16u, 100));
}

TEST(ConsoleFormat, CountsAndFailures)
{
    int narrowCount = 0;
    Narrow("\xC3\xA9%ls%n", L"\u00E9", &narrowCount);
    EXPECT_EQ(4, narrowCount); // bytes in a narrow format
    int wideCount = 0;
    EXPECT_EQ("\xC3\xA9\xC3\xA9", Wide(L"\u00E9%ls%n", L"\u00E9", &wideCount));
    EXPECT_EQ(2, wideCount); // characters in a wide format

    // A lone surrogate that is not an escaped byte has no byte form: the call fails, as C99
    // printf does for a character it cannot convert.
    EXPECT_EQ("<failed>", Wide(L"%ls", L"a\xD800"));
    EXPECT_EQ("<failed>", Wide(L"bad \xD801 literal"));
    EXPECT_EQ("<failed>", Wide(L"%hls", L"x"));
    EXPECT_EQ("<failed>", Wide(L"%", 1));
    EXPECT_EQ("<failed>", Wide(L"%y", 1));
    EXPECT_EQ("<failed>", Wide(L"%Ld", 1));
}

// Only the format's own "\n\r" ending becomes "\n"; a name's bytes, wherever they stand, and
// every other ending are written as they are.
TEST(ConsoleFormat, AFormatsLineFeedCarriageReturnEndingIsWrittenAsALineFeed)
{
    const Case cases[] = {
        {"Cleaning /tmp/\n", Narrow("Cleaning %ls\n\r", L"/tmp/")},
        {"**** Error 0x80070057\n", Narrow("**** Error 0x%08lx\n\r", 0x80070057ul)},
        {"Cleaning /odd\n\r\n", Narrow("Cleaning %ls\n\r", L"/odd\n\r")},
        {"/odd\n\r", Narrow("%ls", L"/odd\n\r")},
        {"/odd\r\n", Narrow("%ls\n", L"/odd\r")},
        {"a\n\rb\n", Narrow("a\n\rb\n\r")},
        {"a\r\n", Narrow("a\r\n")},
        {"a\r", Narrow("a\r")},
        {"\n", Narrow("\n\r")},
        {"x\n", Wide(L"%ls\n\r", L"x")},
        {"x\n\r", Wide(L"%ls", L"x\n\r")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, c.actual);
    }
    CapturedStdout captured;
    EXPECT_EQ(4, platform::Printf("%ls\n\r", L"abc"));
    EXPECT_EQ(3, platform::WPrintf(L"%d\n\r", 42));
    EXPECT_EQ("abc\n42\n", captured.Text());
}

TEST(ConsolePrint, WritesTheWholeTextAndReturnsItsByteCount)
{
    CapturedStdout captured;
    EXPECT_EQ(8, platform::Printf("%ls=%d\n", L"\u00E9t\u00E9", 5));
    EXPECT_EQ(4, platform::WPrintf(L"%s\n", "abc"));
    EXPECT_EQ(-1, platform::Printf("%ls", L"\xDFFF"));
    EXPECT_EQ("\xC3\xA9t\xC3\xA9=5\nabc\n", captured.Text());
}

TEST(ConsolePrint, ConcurrentCallsNeverInterleave)
{
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    const std::wstring payload(500, L'\u00E9');
    std::string output;
    {
        CapturedStdout captured;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t, &payload] {
                for (int i = 0; i < kLines; ++i) {
                    platform::Printf("%d:%ls:%d\n", t, payload.c_str(), i);
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        output = captured.Text();
    }
    const std::string bytes = platform::BytesFromWide(payload);
    std::istringstream lines(output);
    std::vector<int> next(kThreads, 0);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        const size_t first = line.find(':');
        const size_t last = line.rfind(':');
        ASSERT_NE(std::string::npos, first);
        ASSERT_EQ(bytes, line.substr(first + 1, last - first - 1));
        const int thread = std::stoi(line.substr(0, first));
        ASSERT_EQ(next[thread]++, std::stoi(line.substr(last + 1)));
        ++count;
    }
    EXPECT_EQ(kThreads * kLines, count);
}

} // namespace
