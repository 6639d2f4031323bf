// purgent over a tree with mount points inside, in a private mount namespace: a bind mount of a
// folder of the same file system over a subfolder, and a folder of another file system (a tmpfs)
// bound over a deeper one. Whatever the switches, nothing outside the root is considered, deleted
// or removed, and the report counts the root's own files only.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/private_mounts.h"
#include "support/test_support.h"

namespace {
namespace fs = std::filesystem;
using testing_support::Mount;
using testing_support::RunProgram;

void Touch(const fs::path& file)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

TEST(PurgentMounts, BindMountsAreNeitherEnteredNorEmptied)
{
    testing_support::TempDir dir;
    const fs::path root = dir.Folder("root");
    const fs::path bait = dir.Folder("bait");
    const fs::path other = dir.Folder("other");
    dir.Folder("root/sub");
    dir.Folder("root/a/b/deep");
    const std::vector<fs::path> outside = {bait / "keep1", bait / "keep2", bait / "inner" / "keep3",
                                           other / "nested" / "keep4", other / "nested" / "keep5"};
    const std::vector<fs::path> own = {root / "own1", root / "a" / "own2", root / "plain" / "own3"};
    for (const fs::path& file : {outside[0], outside[1], outside[2]}) {
        Touch(file);
    }
    bool failed = false;
    const std::string refused = testing_support::RunWithPrivateMounts(
        [&] {
            ASSERT_TRUE(Mount(bait, root / "sub"));
            ASSERT_TRUE(Mount("orvo-test", other, "tmpfs"));
            Touch(outside[3]);
            Touch(outside[4]);
            ASSERT_TRUE(Mount(other / "nested", root / "a" / "b" / "deep"));
            const std::vector<std::vector<std::wstring>> switchSets = {{L"-z"}, {L"-x"}, {L"-s", L"-n", L"*"}};
            for (const auto& switches : switchSets) {
                const std::string name = platform::BytesFromWide(switches[0]);
                for (const fs::path& file : own) {
                    Touch(file);
                }
                std::vector<std::wstring> arguments = {root.wstring()};
                arguments.insert(arguments.end(), switches.begin(), switches.end());
                const auto result = RunProgram("purgent", arguments);
                EXPECT_EQ(result.exitCode, 0) << name << ": " << result.output;
                EXPECT_NE(result.output.find("Removed 3 file(s) out of 3 considered"), std::string::npos)
                    << name << ": " << result.output;
                for (const fs::path& file : own) {
                    EXPECT_FALSE(fs::exists(file)) << name << ": " << file;
                }
                for (const fs::path& file : outside) {
                    EXPECT_TRUE(fs::exists(file)) << name << ": " << file;
                }
                EXPECT_TRUE(fs::exists(root / "sub" / "keep1")) << name << ": the mount point was removed";
                EXPECT_TRUE(fs::exists(root / "a" / "b" / "deep" / "keep4")) << name << ": the mount point was removed";
            }
        },
        failed);
    if (!refused.empty()) {
        GTEST_SKIP() << refused;
    }
    EXPECT_FALSE(failed) << "the failures are printed above";
}

} // namespace
#endif
