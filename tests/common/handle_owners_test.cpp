// The handle owners: a moved enumeration stays open where it went (the walks keep their levels in a
// vector that grows), and each owner tells an empty handle from a held one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/handle_owners.h"
#include "support/test_support.h"

namespace {

TEST(FindHandle, EnumerationsSurviveTheGrowthOfTheirVector)
{
    testing_support::TempDir dir;
    dir.File("a", 1);
    dir.File("b", 1);
    const std::wstring pattern = dir.path().wstring() + platform::kPathSeparator + L"*";
    std::vector<FindHandle> finds;
    for (int i = 0; i < 40; ++i) { // several reallocations, each moving every handle
        WIN32_FIND_DATAW entry;
        finds.emplace_back(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
        ASSERT_TRUE(finds.back().valid());
    }
    for (const FindHandle& find : finds) {
        WIN32_FIND_DATAW entry;
        EXPECT_TRUE(FindNextFileW(find.get(), &entry)); // a second entry: "." or ".." or a file
    }
}

TEST(FindHandle, EmptyAfterMoveAndClose)
{
    testing_support::TempDir dir;
    const std::wstring pattern = dir.path().wstring() + platform::kPathSeparator + L"*";
    WIN32_FIND_DATAW entry;
    FindHandle find;
    EXPECT_FALSE(find.valid());
    find.Reset(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
    ASSERT_TRUE(find.valid());
    FindHandle moved(std::move(find));
    EXPECT_FALSE(find.valid());
    EXPECT_TRUE(moved.valid());
    moved.Close();
    EXPECT_FALSE(moved.valid());
    EXPECT_EQ(moved.get(), INVALID_HANDLE_VALUE);
}

TEST(OwnedHandle, NullAndInvalidBothMeanNone)
{
    EXPECT_FALSE(OwnedHandle().valid());
    EXPECT_FALSE(OwnedHandle(INVALID_HANDLE_VALUE).valid());
    const OwnedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event.valid());
    EXPECT_TRUE(SetEvent(event.get()));
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0);
}

} // namespace
