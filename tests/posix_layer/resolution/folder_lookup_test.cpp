// The path-text tests that decide which open enumeration a path is resolved through: which path
// lies below which folder, and which relative paths would leave the folder they start in.
#include "platform/posix/resolution/folder_lookup.h"

#include <gtest/gtest.h>

namespace {

TEST(FolderLookup, OffsetOfThePartBelowAFolder)
{
    const size_t none = platform::kNotBelow;
    const struct {
        const char* folder;
        const char* path;
        size_t offset;
    } rows[] = {
        {"/", "/a", 1},         {"/", "/a/b", 1},     {"/", "/", none},      {"/", "a", none},
        {"/a", "/a/b", 3},      {"/a", "/a/b/c", 3},  {"/a", "/a", none},    {"/a", "/ab", none},
        {"/a/b", "/a", none},   {"/a", "/b/a", none}, {"a", "a/b", 2},       {"a", "/a/b", none},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.offset, platform::OffsetBelow(row.folder, row.path)) << row.folder << " " << row.path;
    }
}

TEST(FolderLookup, DotComponentsAndComponentCounts)
{
    const struct {
        const char* relative;
        bool hasDot;
        size_t components;
    } rows[] = {
        {"a", false, 1},     {"a/b/c", false, 3}, {".", true, 1},      {"..", true, 1},
        {"a/./b", true, 3},  {"a/..", true, 2},   {"../a", true, 2},   {".a/b..", false, 2},
        {"a/...", false, 2}, {"a/.b", false, 2},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.hasDot, platform::HasDotComponent(row.relative)) << row.relative;
        EXPECT_EQ(row.components, platform::ComponentCount(row.relative)) << row.relative;
    }
}

} // namespace
