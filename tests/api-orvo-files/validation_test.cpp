// The engine's request validation: every refusal, in order, with the statistics it leaves.
#include <gtest/gtest.h>

#include "common/hresults.h"
#include "engine_test_support.h"

namespace {

using engine_test::AllZero;
using engine_test::Clean;
using testing_support::TempDir;

TEST(EngineValidation, FlagWords)
{
    struct Case {
        DWORD flags;
        HRESULT expected;
    } const cases[] = {
        {0x20, E_INVALIDARG},       {0x0C, E_INVALIDARG},       {0x2C, E_INVALIDARG},
        {0x80000000, E_INVALIDARG}, {0x40000000, E_INVALIDARG}, {0x400, E_INVALIDARG},
        {0x24, S_OK},               {0x28, S_OK},               {0x30, S_OK},
        {0x33B, S_OK},              {0x0, S_OK},
    };
    for (const Case& c : cases) {
        TempDir dir; // a fresh root each time: some accepted words remove it
        const auto result = Clean(dir.path(), nullptr, 0, c.flags);
        EXPECT_EQ(result.hr, c.expected) << std::hex << c.flags;
        if (FAILED(c.expected)) {
            EXPECT_TRUE(AllZero(result.stats)) << std::hex << c.flags;
        }
    }
}

TEST(EngineValidation, ZeroDurationTimesOutBeforeAnythingIsDeleted)
{
    TempDir dir;
    const auto file = dir.File("a.log", 10);
    const auto result = Clean(dir.path(), nullptr, 0, CLEANUP_RECURSE, 0);
    EXPECT_EQ(result.hr, kHrTimeout);
    EXPECT_TRUE(AllZero(result.stats));
    EXPECT_TRUE(std::filesystem::exists(file));
}

TEST(EngineValidation, RefusedPaths)
{
    CleanupStatistics stats{};
    const wchar_t separator = platform::kPathSeparator;
    const std::wstring refused[] = {
        L"", L"   ", L" \t ", L".", L"..", L"..x", std::wstring(L"..") + separator + L"x",
        std::wstring(L".") + separator + L"x", std::wstring(L"  .") + separator,
    };
    for (const std::wstring& path : refused) {
        stats.FilesConsidered = 0xDEADBEEF;
        EXPECT_EQ(OrvoFilesCleanup(path.c_str(), nullptr, 0, 0, CLEANUP_NO_TIME_LIMIT, &stats), E_INVALIDARG)
            << "[" << testing::PrintToString(path) << "]";
        EXPECT_TRUE(AllZero(stats));
    }
    EXPECT_EQ(OrvoFilesCleanup(nullptr, nullptr, 0, 0, CLEANUP_NO_TIME_LIMIT, &stats), E_INVALIDARG);
}

TEST(EngineValidation, PathLengthLimit)
{
    CleanupStatistics stats{};
    const std::wstring tooLong(32768, L'a');
    EXPECT_EQ(OrvoFilesCleanup(tooLong.c_str(), nullptr, 0, 0, CLEANUP_NO_TIME_LIMIT, &stats), E_INVALIDARG);
    EXPECT_TRUE(AllZero(stats));
    // 32,767 characters pass the length step; the path then fails later, and not as a refusal.
    std::wstring longest(1, platform::kPathSeparator);
    longest.append(32766, L'a');
    EXPECT_NE(OrvoFilesCleanup(longest.c_str(), nullptr, 0, 0, CLEANUP_NO_TIME_LIMIT, &stats), E_INVALIDARG);
}

TEST(EngineValidation, NameStartingWithADotPassesAndMissingRootFails)
{
    CleanupStatistics stats{};
    // ".cache" is relative: it resolves against the current folder, where it does not exist.
    const HRESULT hr = OrvoFilesCleanup(L".orvo-no-such-folder", nullptr, 0, 0, CLEANUP_NO_TIME_LIMIT, &stats);
    EXPECT_NE(hr, E_INVALIDARG);
    EXPECT_TRUE(FAILED(hr));
    TempDir dir;
    EXPECT_EQ(Clean(dir.path() / "missing", nullptr, 0, 0).hr, kHrPathNotFound);
}

TEST(EngineValidation, BlanksAndTrailingSeparatorNameTheSameFolder)
{
    TempDir dir;
    const std::wstring plain = dir.path().wstring();
    const std::wstring variants[] = {plain, L"   " + plain, plain + platform::kPathSeparator};
    for (const std::wstring& path : variants) {
        dir.File("x.tmp", 3);
        CleanupStatistics stats{};
        ASSERT_EQ(OrvoFilesCleanup(path.c_str(), nullptr, 0, 0, CLEANUP_NO_TIME_LIMIT, &stats), S_OK);
        EXPECT_EQ(stats.FilesRemoved, 1u);
        EXPECT_EQ(stats.FoldersVisited, 1u);
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "x.tmp"));
    }
}

TEST(EngineValidation, NullStatisticsWorksTheSame)
{
    TempDir dir;
    dir.File("x.tmp", 3);
    const std::wstring path = dir.path().wstring();
    EXPECT_EQ(OrvoFilesCleanup(path.c_str(), nullptr, 0, 0, CLEANUP_NO_TIME_LIMIT, nullptr), S_OK);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "x.tmp"));
}

} // namespace
