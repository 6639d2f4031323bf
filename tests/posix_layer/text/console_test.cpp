// Console text of the POSIX layer: the printf/wprintf formatter (the conversions the product
// prints, wide text as original bytes, every other conversion a failure) and whole-call writes to
// standard output.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/test_support.h"

namespace {

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

// What one call writes to standard output, or "<failed>" when it returns -1 having written nothing.
template <typename Print>
std::string Printed(Print print)
{
    CapturedStdout captured;
    const int written = print();
    const std::string text = captured.Text();
    if (written < 0) {
        return text.empty() ? "<failed>" : "<failed after writing " + text + ">";
    }
    EXPECT_EQ(static_cast<size_t>(written), text.size()) << text;
    return text;
}
#define NARROW(...) Printed([&] { return platform::Printf(__VA_ARGS__); })
#define WIDE(...) Printed([&] { return platform::WPrintf(__VA_ARGS__); })

struct Case {
    const char* expected;
    std::string actual;
};

TEST(ConsoleFormat, NumbersAndNarrowText)
{
    const char* volatile noText = nullptr; // volatile: a visible null draws a compiler warning
    const Case cases[] = {
        {"18446744073709551615 4294967295", NARROW("%llu %lu", ULLONG_MAX, 4294967295ul)},
        {"0000beef deadbeefcafe", NARROW("%08lx %llx", 0xBEEFul, 0xDEADBEEFCAFEull)},
        {"1.500 0.001 2.5", NARROW("%.03f %.3f %.1f", 1.5, 0.0006, 2.5)},
        {"-d: x.\n", NARROW("-%c: %s.\n", 'd', "x")},
        {"(null)", NARROW("%s", noText)},
        {"no conversions", NARROW("no conversions")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, c.actual);
    }
}

TEST(ConsoleFormat, WideTextPrintsItsOriginalBytes)
{
    const std::string rawName = "caf\xC3\xA9-\xFF\xC0\xAF.log"; // valid UTF-8, a stray byte, an overlong form
    const std::wstring name = platform::WideFromBytes(rawName);
    const wchar_t* volatile none = nullptr;
    const Case cases[] = {
        {"file: plain.txt\n", NARROW("file: %ls\n", L"plain.txt")},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", NARROW("%ls", L"\u00E9\u20AC\U0001F600")},
        {"[caf\xC3\xA9-\xFF\xC0\xAF.log]", NARROW("[%ls]", name.c_str())},
        {"(null)", NARROW("%ls", none)},
        {"\xC3\xA9t\xC3\xA9 \xFF", WIDE(L"\u00E9t\u00E9 %ls", L"\xDCFF")},
        {"x: line 7 (error 0x80070057) 5 1.235", WIDE(L"%ls: line %lu (error 0x%08lx) %llu %.3f", L"x", 7ul,
                                                      0x80070057ul, 5ull, 1.23456)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, c.actual);
    }
}

// What the product never prints fails the whole call, text before it included: a conversion, flag,
// width or length outside the supported set, narrow text in a wide format, a malformed format, and
// wide text with no byte form (a lone surrogate that is not an escaped byte).
TEST(ConsoleFormat, EverythingElseFailsAndWritesNothing)
{
    const std::string results[] = {
        NARROW("text %d", 1), NARROW("%x", 1u), NARROW("%e", 1.0), NARROW("%zu", size_t{1}), NARROW("100%%"),
        NARROW("%5s", "x"), NARROW("%-8lu", 1ul), NARROW("%+.1f", 1.0), NARROW("%.2ls", L"ab"),
        NARROW("%lc", static_cast<wint_t>(L'x')), NARROW("%p", static_cast<void*>(nullptr)),
        WIDE(L"%s", "abc"), WIDE(L"%c", 'x'), WIDE(L"%lllu", 1ull), WIDE(L"%Lf", 1.0L), WIDE(L"%"), WIDE(L"%y", 1),
        WIDE(L"%ls", L"a\xD800"), WIDE(L"bad \xD801 literal"),
    };
    for (const std::string& result : results) {
        EXPECT_EQ("<failed>", result);
    }
}

// Only the format's own "\n\r" ending becomes "\n"; a name's bytes, wherever they stand, and
// every other ending are written as they are.
TEST(ConsoleFormat, AFormatsLineFeedCarriageReturnEndingIsWrittenAsALineFeed)
{
    const Case cases[] = {
        {"Cleaning /tmp/\n", NARROW("Cleaning %ls\n\r", L"/tmp/")},
        {"**** Error 0x80070057\n", NARROW("**** Error 0x%08lx\n\r", 0x80070057ul)},
        {"Cleaning /odd\n\r\n", NARROW("Cleaning %ls\n\r", L"/odd\n\r")},
        {"/odd\n\r", NARROW("%ls", L"/odd\n\r")},
        {"/odd\r\n", NARROW("%ls\n", L"/odd\r")},
        {"a\n\rb\n", NARROW("a\n\rb\n\r")},
        {"a\r\n", NARROW("a\r\n")},
        {"\n", NARROW("\n\r")},
        {"x\n", WIDE(L"%ls\n\r", L"x")},
        {"x\n\r", WIDE(L"%ls", L"x\n\r")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, c.actual);
    }
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
                    platform::Printf("%lu:%ls:%lu\n", static_cast<unsigned long>(t), payload.c_str(),
                                     static_cast<unsigned long>(i));
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
