// File-name wildcard matching: the observed behaviour of the system functions, row by row, for
// PathMatchSpecW and every PathMatchSpecExW flag value; the single-pattern matcher the
// enumeration uses; and the time taken by many stars against long names.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

struct MatchCase {
    const wchar_t* name;
    const wchar_t* patterns;
    bool matches;
};

// Observed on a Win32 implementation. Rows that use '\' as a path separator hold unchanged here,
// where '\' is an ordinary character: the whole string is matched and '*' runs across it.
// One deliberate difference: final sigma folds to sigma (Unicode simple folding).
const MatchCase kObserved[] = {
    {L"a.log", L"*", true}, {L"A.LOG", L"*", true}, {L"a.log.bak", L"*", true}, {L"alog", L"*", true},
    {L".log", L"*", true}, {L"a.", L"*", true}, {L"a", L"*", true}, {L"", L"*", true},
    {L"a.logx", L"*", true}, {L"a.lo", L"*", true}, {L"a.log.", L"*", true}, {L"a.log ", L"*", true},
    {L"a b.log", L"*", true},
    {L"a.log", L"*.*", true}, {L"A.LOG", L"*.*", true}, {L"a.log.bak", L"*.*", true}, {L"alog", L"*.*", true},
    {L".log", L"*.*", true}, {L"a.", L"*.*", true}, {L"a", L"*.*", true}, {L"", L"*.*", true},
    {L"a.logx", L"*.*", true}, {L"a.lo", L"*.*", true}, {L"a.log.", L"*.*", true}, {L"a.log ", L"*.*", true},
    {L"a b.log", L"*.*", true},
    {L"a.log", L"*.log", true}, {L"A.LOG", L"*.log", true}, {L"a.log.bak", L"*.log", false},
    {L"alog", L"*.log", false}, {L".log", L"*.log", true}, {L"a.", L"*.log", false}, {L"a", L"*.log", false},
    {L"", L"*.log", false}, {L"a.logx", L"*.log", false}, {L"a.lo", L"*.log", false},
    {L"a.log.", L"*.log", false}, {L"a.log ", L"*.log", false}, {L"a b.log", L"*.log", true},
    {L"a.log", L"?.log", true}, {L"ab.log", L"?.log", false}, {L".log", L"?.log", false},
    {L"abc", L"a?c", true}, {L"ac", L"a?c", false}, {L"abbc", L"a?c", false}, {L"a.c", L"a?c", true},
    {L"ab", L"???", false}, {L"abc", L"???", true}, {L"abcd", L"???", false},
    {L"a", L"a??", false}, {L"ab", L"a??", false}, {L"abc", L"a??", true},
    {L"a", L"a?", false}, {L"a", L"?a", false}, {L"", L"?", false}, {L"", L"*?", false}, {L"a", L"*?", true},
    {L"", L"?*", false}, {L"a.log", L"a.???", true}, {L"a.lo", L"a.???", false},
    {L"a.log", L"*.l?g", true}, {L"a.lg", L"*.l?g", false},
    {L"a", L"a.*", false}, {L"a.", L"a.*", true}, {L"a.b", L"a.*", true},
    {L"abc", L"a*b*c", true}, {L"aXbYc", L"a*b*c", true}, {L"abcbc", L"a*b*c", true}, {L"ab", L"a*b*c", false},
    {L"acb", L"a*b*c", false}, {L"aabbcc", L"a*b*c", true}, {L"abcx", L"a*b*c", false},
    {L"a", L"**", true}, {L"", L"**", true}, {L"a.b", L"*.*.*", false}, {L"a.b.c", L"*.*.*", true},
    {L"abab", L"*ab", true}, {L"abxab", L"*ab*ab", true},
    {L"a.log", L"*.log.", false}, {L"a.log.", L"*.log.", true}, {L"a.log", L"*.log ", false},
    {L"a.log ", L"*.log ", true}, {L"a", L"a.", false}, {L"a.", L"a.", true}, {L"a", L"*.", false},
    {L"a.", L"*.", true}, {L"a.b", L"*.", false}, {L"a", L"a ", false}, {L"a ", L"a", false},
    {L"a.log", L" *.log", true}, {L" a.log", L" *.log", true}, {L"a.log", L"  a.log", true},
    {L"a.log", L"\t*.log", false},
    {L"a.log", L"*.dmp;*.log", true}, {L"a.dmp", L"*.dmp;*.log", true}, {L"a.txt", L"*.dmp;*.log", false},
    {L"a.dmp;*.log", L"*.dmp;*.log", true}, {L"a.log", L"*.dmp,*.log", false},
    {L"a.txt", L" *.log; *.txt", true}, {L"a.log", L" *.log; *.txt", true}, {L" a.txt", L" *.log; *.txt", true},
    {L"a.log", L"*.log;", true}, {L"a.txt", L"*.log;", false}, {L"", L"*.log;", false},
    {L"a.log", L";*.log", true}, {L"a.txt", L";*.log", false},
    {L"a", L";;", false}, {L"", L";;", true}, {L";", L";;", false}, {L"a", L"", false}, {L"", L"", false},
    {L"a.txt", L"*.log; ", false}, {L"a.log", L"*.log ;*.txt", false}, {L"a.txt", L"*.log ;*.txt", true},
    {L"a.log", L"*.txt;*", true}, {L"a.log", L"a.log;b.log", true}, {L"b.log", L"a.log;b.log", true},
    {L"a;b", L"a;b", false},
    {L"é.txt", L"É.TXT", true}, {L"É.txt", L"*.TXT", true}, {L"é", L"É", true}, {L"ü", L"Ü", true},
    {L"д", L"Д", true}, {L"σ", L"Σ", true}, {L"ς", L"Σ", true}, {L"straße", L"STRASSE", false},
    {L"ı", L"I", false}, {L"i", L"İ", false}, {L"é", L"e", false}, {L"e\u0301", L"é", false}, {L"ａ", L"Ａ", true},
    {L"[a].log", L"[a].log", true}, {L"a.log", L"[a].log", false}, {L"a", L"[abc]", false}, {L"b", L"[a-c]", false},
    {L"[", L"[", true}, {L"^a", L"^a", true}, {L"a", L"^a", false}, {L"a^", L"*^", true}, {L"a+b", L"a+b", true},
    {L"a$", L"a$", true}, {L"a(b)", L"a(b)", true}, {L"a{b}", L"a{b}", true}, {L"a~1.log", L"*~*", true},
    {L"a.b", L"a\\.b", false}, {L"a*b", L"a\\*b", false},
    {L"dir\\a.log", L"*.log", true}, {L"C:\\dir\\a.log", L"*.log", true}, {L"C:\\dir\\a.log", L"a.log", false},
    {L"C:\\dir\\a.log", L"dir\\a.log", false}, {L"C:\\dir\\a.log", L"*\\a.log", true},
    {L"C:\\dir\\a.log", L"C:\\*.log", true}, {L"dir/a.log", L"a.log", false}, {L"C:\\dir\\", L"*", true},
    {L"C:\\dir\\", L"dir", false}, {L"dir\\a.log", L"d*", true},
    {L"a.b.log", L"*.log", true}, {L"a..log", L"*.log", true}, {L"log", L"*log", true},
    {L".", L"*", true}, {L".", L"*.*", true}, {L"..", L"*.*", true},
    {L"a.log", L"*.LOG", true}, {L"A.log", L"a*", true}, {L"abc", L"ABC", true},
};

// The flag values the callers pass, the combinations with PMSF_DONT_STRIP_SPACES, and values
// without a defined meaning: every one behaves alike.
const DWORD kFlagValues[] = {PMSF_NORMAL, PMSF_MULTIPLE, PMSF_NORMAL | PMSF_DONT_STRIP_SPACES,
                             PMSF_MULTIPLE | PMSF_DONT_STRIP_SPACES, 0x2, 0x4, 0x100, 0x10002, 0x80000000};

TEST(PathMatchSpec, ObservedTable)
{
    static_assert(std::size(kObserved) == 165);
    for (const MatchCase& row : kObserved) {
        SCOPED_TRACE(testing::Message() << "name \"" << platform::BytesFromWide(row.name) << "\" patterns \""
                                        << platform::BytesFromWide(row.patterns) << "\"");
        EXPECT_EQ(PathMatchSpecW(row.name, row.patterns), row.matches ? TRUE : FALSE);
        for (DWORD flags : kFlagValues) {
            EXPECT_EQ(PathMatchSpecExW(row.name, row.patterns, flags), row.matches ? S_OK : S_FALSE)
                << "flags 0x" << std::hex << flags;
        }
    }
}

// Edges of the ';' list beyond the observed rows: a blank pattern between separators is empty
// and so matches only the empty name, and a list stops at its terminator.
TEST(PathMatchSpec, PatternListEdges)
{
    const MatchCase cases[] = {
        {L"", L"*.log; ", true},     {L"", L"   ", true},          {L"a", L"   ", false},
        {L"b.txt", L"*.log;;*.txt", true}, {L"", L"*.log;;*.txt", true}, {L"a", L";a", true},
        {L"a", L"x; ; a", true},     {L" a", L"x; ; a", false},    {L"a;", L"a;", false},
    };
    for (const MatchCase& row : cases) {
        SCOPED_TRACE(testing::Message() << "name \"" << platform::BytesFromWide(row.name) << "\" patterns \""
                                        << platform::BytesFromWide(row.patterns) << "\"");
        EXPECT_EQ(PathMatchSpecW(row.name, row.patterns), row.matches ? TRUE : FALSE);
        EXPECT_EQ(PathMatchSpecExW(row.name, row.patterns, PMSF_MULTIPLE), row.matches ? S_OK : S_FALSE);
    }
}

TEST(PathMatchSpec, NullArgumentsAreRejectedNotRead)
{
    EXPECT_EQ(PathMatchSpecW(nullptr, L"*"), FALSE);
    EXPECT_EQ(PathMatchSpecW(L"a.log", nullptr), FALSE);
    EXPECT_EQ(PathMatchSpecW(nullptr, nullptr), FALSE);
    for (DWORD flags : {PMSF_NORMAL, PMSF_MULTIPLE}) {
        EXPECT_EQ(PathMatchSpecExW(nullptr, L"*", flags), E_INVALIDARG);
        EXPECT_EQ(PathMatchSpecExW(L"a.log", nullptr, flags), E_INVALIDARG);
    }
}

bool MatchSingle(const std::wstring& name, const std::wstring& pattern)
{
    return platform::MatchSinglePattern(name.data(), name.size(), pattern.data(), pattern.size());
}

// The enumeration's filter takes one pattern as it is: no list, no blanks skipped.
TEST(MatchSinglePattern, OnePatternTakenLiterally)
{
    const MatchCase cases[] = {
        {L"a;b", L"a;b", true},   {L"a", L"a;b", false},     {L"a.log", L" *.log", false},
        {L" a.log", L" *.log", true}, {L"", L"", true},       {L"a", L"", false},
        {L".", L"*.*", true},     {L"..", L"*.*", true},     {L"", L"*.*", true},
        {L"noext", L"*.*", true}, {L"a.b", L"**.*", true},   {L"ab", L"**.*", false},
        {L"README", L"readme", true}, {L"Straße.TXT", L"STRASSE.txt", false},
        {L"\xDC80x", L"?X", true}, {L"\xDCC3", L"\xDCE3", false}, {L"\U0001F600.png", L"?.PNG", true},
    };
    for (const MatchCase& row : cases) {
        SCOPED_TRACE(testing::Message() << "name \"" << platform::BytesFromWide(row.name) << "\" pattern \""
                                        << platform::BytesFromWide(row.patterns) << "\"");
        EXPECT_EQ(MatchSingle(row.name, row.patterns), row.matches);
    }
}

// The lengths bound both strings: the enumeration passes a name and a pattern cut out of longer
// buffers, with no terminator after them.
TEST(MatchSinglePattern, ReadsOnlyTheGivenLengths)
{
    const wchar_t name[] = {L'a', L'.', L'l', L'o', L'g', L'x'};
    const wchar_t pattern[] = {L'*', L'.', L'L', L'O', L'G', L'y'};
    EXPECT_TRUE(platform::MatchSinglePattern(name, 5, pattern, 5));
    EXPECT_FALSE(platform::MatchSinglePattern(name, 6, pattern, 5));
    EXPECT_FALSE(platform::MatchSinglePattern(name, 5, pattern, 6));
    EXPECT_TRUE(platform::MatchSinglePattern(name, 0, pattern, 1));
    EXPECT_TRUE(platform::MatchSinglePattern(nullptr, 0, pattern, 1));
}

// Patterns of many stars against 255-character names are the classic trap for recursive
// matchers (exponential in the number of stars); greedy matching with one resume point stays
// at most quadratic, well below a second even under sanitizers.
TEST(MatchSinglePattern, ManyStarsAgainstLongNamesStayFast)
{
    const std::wstring longName(255, L'a');
    std::wstring starsThenMiss;
    for (int i = 0; i < 40; ++i) {
        starsThenMiss += L"*a";
    }
    starsThenMiss += L"*b";
    std::wstring allStars(4000, L'*');
    std::wstring questionsAndStars;
    for (int i = 0; i < 255; ++i) {
        questionsAndStars += L"?*";
    }

    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 100; ++round) {
        EXPECT_FALSE(MatchSingle(longName, starsThenMiss));
        EXPECT_TRUE(MatchSingle(longName + L'b', starsThenMiss));
        EXPECT_TRUE(MatchSingle(longName, allStars));
        EXPECT_TRUE(MatchSingle(longName, questionsAndStars));
        EXPECT_FALSE(MatchSingle(longName.substr(1), questionsAndStars));
        EXPECT_FALSE(PathMatchSpecW(longName.c_str(), (starsThenMiss + L";" + starsThenMiss).c_str()));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

} // namespace
