// The path pieces every walk shares: the names no walk enters, the separator text, the buffer size.
#include <gtest/gtest.h>

#include <cwchar>

#include "common/path_names.h"

namespace {

TEST(PathNames, OnlyDotAndDotDotAreTheFolderItselfAndItsParent)
{
    for (const wchar_t* name : {L".", L".."}) {
        EXPECT_TRUE(IsDotOrDotDot(name)) << name;
    }
    for (const wchar_t* name : {L"...", L".a", L"..a", L"a.", L"a", L".hidden", L""}) {
        EXPECT_FALSE(IsDotOrDotDot(name)) << name;
    }
}

TEST(PathNames, SeparatorTextAndBufferSize)
{
    EXPECT_EQ(std::wcslen(kSeparatorText), 1u);
    EXPECT_EQ(kSeparatorText[0], platform::kPathSeparator);
    EXPECT_EQ(kPathBufferChars, 32768u);
}

} // namespace
