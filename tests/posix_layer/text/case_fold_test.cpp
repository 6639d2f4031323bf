// Simple case folding and lstrcmpiW: letters of several scripts, the cases that full or Turkic
// folding would treat differently, escaped bytes, values beyond Unicode, and (when Debian's
// unicode-data is installed) every code point against CaseFolding.txt itself.
#include "platform/platform.h"
#include "platform/posix/text/case_fold.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

struct FoldPair {
    wchar_t a;
    wchar_t b;
    bool same;
};

const FoldPair kFoldPairs[] = {
    {L'A', L'a', true},           {L'Z', L'z', true},           {L'@', L'`', false},
    {L'[', L'{', false},          {L'_', L'\x7F', false},       {L'\u00C9', L'\u00E9', true},  // É é
    {L'\u00DC', L'\u00FC', true}, {L'\u03A3', L'\u03C3', true}, {L'\u03C2', L'\u03C3', true},  // Σ σ ς
    {L'\u0414', L'\u0434', true}, {L'\uFF21', L'\uFF41', true}, {L'\u0130', L'i', false},      // Д д, Ａ ａ, İ
    {L'\u0131', L'I', false},     {L'\u0131', L'i', false},     {L'\u00DF', L's', false},      // ı, ß
    {L'\u1E9E', L'\u00DF', true}, {L'\u2126', L'\u03C9', true}, {L'\u212A', L'k', true},       // ẞ, Ω ohm, K kelvin
    {L'\u00B5', L'\u03BC', true}, {L'\u0345', L'\u03B9', true}, {L'\u1C88', L'\uA64B', true},  // µ, ypogegrammeni, ᲈ
    {L'\U00010400', L'\U00010428', true}, {L'\U0001E900', L'\U0001E922', true},                // Deseret, Adlam
    {L'\U0001E921', L'\U0001E943', true}, {L'\u00E9', L'e', false},
};

TEST(CaseFold, LettersOfSeveralScripts)
{
    for (const FoldPair& pair : kFoldPairs) {
        SCOPED_TRACE(testing::Message() << std::hex << "U+" << static_cast<std::uint32_t>(pair.a) << " U+"
                                        << static_cast<std::uint32_t>(pair.b));
        EXPECT_EQ(platform::FoldCase(pair.a) == platform::FoldCase(pair.b), pair.same);
    }
}

// Escaped bytes stand for undecodable name bytes, not for letters; values beyond Unicode (and
// negative ones, wchar_t being signed) pass through untouched.
TEST(CaseFold, NonCharactersFoldToThemselves)
{
    for (wchar_t ch = 0xDC80; ch <= 0xDCFF; ++ch) {
        EXPECT_EQ(platform::FoldCase(ch), ch);
    }
    for (wchar_t ch : {static_cast<wchar_t>(0x110000), static_cast<wchar_t>(0x7FFFFFFF), static_cast<wchar_t>(-1),
                       static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x10FFFF)}) {
        EXPECT_EQ(platform::FoldCase(ch), ch);
    }
}

// A Turkish or German process locale must not change file-name matching.
TEST(CaseFold, IndependentOfProcessLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"tr_TR.UTF-8", "de_DE.UTF-8", "C"}) {
        if (std::setlocale(LC_ALL, name) == nullptr) {
            continue;
        }
        EXPECT_EQ(platform::FoldCase(L'I'), L'i') << name;
        EXPECT_EQ(platform::FoldCase(L'\u0130'), L'\u0130') << name;
        EXPECT_EQ(lstrcmpiW(L"FILE.TXT", L"file.txt"), 0) << name;
    }
    std::setlocale(LC_ALL, saved.c_str());
}

// The committed table against the source data, when the unicode-data package is present.
TEST(CaseFold, MatchesCaseFoldingFileForEveryCodePoint)
{
    std::ifstream file("/usr/share/unicode/CaseFolding.txt");
    if (!file) {
        GTEST_SKIP() << "/usr/share/unicode/CaseFolding.txt not installed (Debian package unicode-data)";
    }
    std::map<std::uint32_t, std::uint32_t> simple;
    for (std::string line; std::getline(file, line);) {
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        std::string code, status, mapping;
        if (std::getline(fields, code, ';') && std::getline(fields, status, ';') && std::getline(fields, mapping, ';')) {
            if (status == " C" || status == " S") {
                simple[std::stoul(code, nullptr, 16)] = std::stoul(mapping, nullptr, 16);
            }
        }
    }
    ASSERT_GT(simple.size(), 1000u);
    int mismatches = 0;
    for (std::uint32_t cp = 0; cp <= 0x10FFFF && mismatches < 10; ++cp) {
        const auto entry = simple.find(cp);
        const std::uint32_t expected = entry == simple.end() ? cp : entry->second;
        const auto actual = static_cast<std::uint32_t>(platform::FoldCase(static_cast<wchar_t>(cp)));
        if (actual != expected) {
            ++mismatches;
            ADD_FAILURE() << std::hex << "U+" << cp << " folds to U+" << actual << ", expected U+" << expected;
        }
    }
}

struct CompareCase {
    const wchar_t* a;
    const wchar_t* b;
    int sign;
};

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(LstrcmpiW, ComparesFoldedCodePoints)
{
    const CompareCase cases[] = {
        {L"abc", L"ABC", 0},         {L"", L"", 0},                {L"a", L"b", -1},
        {L"B", L"a", 1},             {L"ab", L"abc", -1},          {L"ABC", L"ab", 1},
        {L"", L"a", -1},             {L"_", L"a", -1},             {L"_", L"A", -1},  // folded to lower case
        {L"ΣΑΣ", L"σας", 0},         {L"Straße", L"STRASSE", 1},   {L"ДОМ", L"дом", 0},
        {L"ı", L"I", 1},             {L"\U00010400", L"\U00010428", 0}, {L"\U0001F600", L"\uFFFF", 1},
        {L"\xDC80", L"\xDCFF", -1},  {L"\xDCC3", L"\xDCE3", -1},   {L"e\u0301", L"é", -1},
    };
    for (const CompareCase& row : cases) {
        SCOPED_TRACE(testing::Message() << "\"" << platform::BytesFromWide(row.a) << "\" vs \""
                                        << platform::BytesFromWide(row.b) << "\"");
        EXPECT_EQ(Sign(lstrcmpiW(row.a, row.b)), row.sign);
        EXPECT_EQ(Sign(lstrcmpiW(row.b, row.a)), -row.sign);
    }
}

TEST(LstrcmpiW, NullSortsFirst)
{
    EXPECT_EQ(lstrcmpiW(nullptr, nullptr), 0);
    EXPECT_LT(lstrcmpiW(nullptr, L""), 0);
    EXPECT_GT(lstrcmpiW(L"", nullptr), 0);
}

} // namespace
