// Wide/byte conversion of names (UTF-8 with escaped bytes) and StrChrW.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

TEST(NameCodec, EveryKindOfByteSequence)
{
    const struct {
        const char* kind;
        std::string bytes;
        std::wstring wide;
    } rows[] = {
        {"ASCII", "plain.txt", L"plain.txt"},
        {"two-byte", "caf\xC3\xA9", L"caf\u00E9"},
        {"three-byte", "\xE2\x82\xAC", L"\u20AC"},
        {"four-byte maximum", "\xF4\x8F\xBF\xBF", L"\U0010FFFF"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", L"\xDCF4\xDC90\xDC80\xDC80"},
        {"overlong slash", "\xC0\xAF", L"\xDCC0\xDCAF"},
        {"overlong three-byte", "\xE0\x80\xAF", L"\xDCE0\xDC80\xDCAF"},
        {"encoded surrogate", "\xED\xA0\x80", L"\xDCED\xDCA0\xDC80"},
        {"truncated sequence", "a\xE2\x82", L"a\xDCE2\xDC82"},
        {"lone continuation", "\x80z", L"\xDC80z"},
        {"stray byte then valid", "\xFF\xC3\xA9", L"\xDCFF\u00E9"},
        {"embedded NUL", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.kind);
        EXPECT_EQ(row.wide, platform::WideFromBytes(row.bytes));
        std::string bytes;
        EXPECT_TRUE(platform::BytesFromWide(row.wide.data(), row.wide.size(), bytes));
        EXPECT_EQ(row.bytes, bytes);
    }
}

TEST(NameCodec, RandomBytesRoundTripExactly)
{
    // Random bytes mixed with pieces of valid and nearly valid sequences, so that every decoder
    // path is taken at every position.
    const std::string pieces[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xED\xA0\x80", "\xC0\xAF", "\xF4\x90"};
    std::mt19937 random(20261208);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        const int length = static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i) {
            if (random() % 4 == 0) {
                bytes += pieces[random() % std::size(pieces)];
            } else {
                bytes += static_cast<char>(1 + random() % 255); // NUL-free, as names are
            }
        }
        const std::wstring wide = platform::WideFromBytes(bytes);
        std::string back;
        ASSERT_TRUE(platform::BytesFromWide(wide.data(), wide.size(), back));
        ASSERT_EQ(bytes, back);
    }
}

TEST(NameCodec, CharactersWithoutAByteFormFail)
{
    for (const wchar_t ch : {L'\xD800', L'\xDBFF', L'\xDC00', L'\xDC7F', L'\xDD00', L'\xDFFF', wchar_t(0x110000)}) {
        std::string out;
        EXPECT_FALSE(platform::BytesFromWide(&ch, 1, out)) << static_cast<unsigned>(ch);
    }
}

TEST(StrChr, FindsTheFirstOccurrenceAndTheTerminator)
{
    const wchar_t* text = L"a/b/c";
    EXPECT_EQ(text + 1, StrChrW(text, L'/'));
    EXPECT_EQ(text, StrChrW(text, L'a'));
    EXPECT_EQ(text + 5, StrChrW(text, L'\0'));
    EXPECT_EQ(nullptr, StrChrW(text, L'x'));
    EXPECT_EQ(nullptr, StrChrW(L"", L'x'));
    EXPECT_EQ(nullptr, StrChrW(nullptr, L'x'));
}

} // namespace

TEST(MultiByteToWideChar, SizesRoomAndRefusals)
{
    const char text[] = "a\xC3\xA9\xFF"; // "a", e acute, a byte that is not UTF-8
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), 4); // terminator included
    wchar_t wide[4] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 4, wide, 4), 3);
    EXPECT_EQ(std::wstring(wide, 3), (std::wstring{L'a', 0xE9, 0xDCFF}));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 4, wide, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, text, 4, wide, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 0, wide, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}
