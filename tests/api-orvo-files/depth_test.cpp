// A deep tree is walked without exhausting the stack (the walk keeps its levels on the heap).
// Wine passes paths to the host, whose PATH_MAX (4,096 bytes) bounds the depth it can show;
// the Linux build walks 16,000 levels in safety_test.cpp.
#include <gtest/gtest.h>

#include <string>

#include "engine_test_support.h"
#include "platform/platform.h"

namespace {

using engine_test::Clean;
using testing_support::TempDir;

#if defined(_WIN32)
bool MakeFolder(const std::wstring& path)
{
    return CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr) != 0;
}
#endif

TEST(CleanupDepth, HundredsOfLevelsOnTheMainThread)
{
#if !defined(_WIN32)
    GTEST_SKIP() << "the Linux build walks 16,000 levels in CleanupSafety.SixteenThousandLevels";
#else
    TempDir dir;
    std::wstring path = dir.path().wstring();
    const std::wstring root = path;
    constexpr int kLevels = 250;
    for (int level = 0; level < kLevels; ++level) {
        path += L"\\d";
        ASSERT_TRUE(MakeFolder(path)) << level;
    }
    const auto result = Clean(root, nullptr, 0, CLEANUP_RECURSE | CLEANUP_REMOVE_EMPTY_SUBFOLDERS);
    ASSERT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.stats.FoldersVisited, static_cast<DWORD>(kLevels + 1));
    EXPECT_EQ(result.stats.FoldersRemoved, static_cast<DWORD>(kLevels));
#endif
}

} // namespace
