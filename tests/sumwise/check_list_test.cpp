// The lines of a digest list: every form other tools write, and the lines that must not be taken
// for a digest.
#include <gtest/gtest.h>

#include <string>

#include "tools/Sumwise/check_list.h"

namespace {

const std::string kMd5(32, 'a');
const std::string kSha256(64, 'B');

TEST(CheckList, FormsAndTheAlgorithmTheyChoose)
{
    const Algorithm* crc32c = FindAlgorithm(L"crc32c");
    const struct {
        std::string line;
        const Algorithm* given;
        const wchar_t* path;
        const wchar_t* algorithm; // switch name
    } cases[] = {
        {kMd5 + "  a file.txt", nullptr, L"a file.txt", L"md5"},
        {kMd5 + " *bin.dat\r", nullptr, L"bin.dat", L"md5"},
        {kSha256 + "  x", nullptr, L"x", L"sha256"},
        {std::string(40, '0') + "  y", nullptr, L"y", L"sha1"},
        {std::string(128, 'f') + "  z", nullptr, L"z", L"sha512"},
        {"SHA256 (dir/n (1).txt) = " + kSha256, nullptr, L"dir/n (1).txt", L"sha256"},
        {"SHA-256 (t) = " + kSha256 + "\r", nullptr, L"t", L"sha256"},
        {"MD5 (m) = " + kMd5, FindAlgorithm(L"md5"), L"m", L"md5"},
        {"0a1b2c3d  c", crc32c, L"c", L"crc32c"},
        {"\\" + kMd5 + "  back\\\\slash\\nline", nullptr, L"back\\slash\nline", L"md5"},
    };
    for (const auto& c : cases) {
        CheckEntry entry{};
        ASSERT_EQ(ReadListLine(c.line, c.given, entry), ListLine::kEntry) << c.line;
        EXPECT_EQ(entry.path, c.path) << c.line;
        EXPECT_EQ(entry.algorithm, FindAlgorithm(c.algorithm)) << c.line;
    }
    CheckEntry entry{};
    ASSERT_EQ(ReadListLine(kSha256 + "  x", nullptr, entry), ListLine::kEntry);
    EXPECT_EQ(entry.expected, std::wstring(64, L'b'));
}

TEST(CheckList, LinesThatAreNoDigestLine)
{
    const Algorithm* md5 = FindAlgorithm(L"md5");
    for (const std::string& skipped : {std::string(), std::string("\r"),
             std::string("Hashed 3 file(s) totaling 12 byte(s) in 1ms (0.001s) @ n/a (MD5)")}) {
        CheckEntry entry{};
        EXPECT_EQ(ReadListLine(skipped, nullptr, entry), ListLine::kSkipped) << skipped;
    }
    const struct {
        std::string line;
        const Algorithm* given;
    } malformed[] = {
        {kMd5 + " x", nullptr},                  // one blank
        {kMd5 + "  ", nullptr},                  // no path
        {"0a1b2c3d  c", nullptr},                // a checksum needs its switch
        {std::string(33, 'a') + "  x", nullptr}, // no algorithm has that length
        {kSha256 + "  x", md5},                  // not the switch's length
        {"SHA256 (t) = " + kMd5, nullptr},       // not the tag's length
        {"SHA256 (t) = " + kSha256, md5},        // the tag contradicts the switch
        {"WHIRL (t) = " + kSha256, nullptr},     // no such tag
        {"MD5 (t) = " + std::string(31, 'a') + "g", nullptr},
        {"\\" + kMd5 + "  bad\\tescape", nullptr},
        {"(error 0x80070002)", nullptr},
        {"x: (error 0x80070002)", nullptr},
    };
    for (const auto& c : malformed) {
        CheckEntry entry{};
        EXPECT_EQ(ReadListLine(c.line, c.given, entry), ListLine::kMalformed) << c.line;
    }
}

} // namespace
