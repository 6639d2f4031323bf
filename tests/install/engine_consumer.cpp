// An outside caller of the cleanup engine, built against nothing but the installed header and
// library: it cleans the *.log files of a small tree of its own and checks what is left.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "api-orvo-files/orvo_files.h"

int main()
{
    namespace fs = std::filesystem;
    const fs::path root = fs::current_path() / "consumer-tree";
    fs::remove_all(root);
    fs::create_directories(root / "logs");
    std::ofstream(root / "logs" / "old.log") << "log";
    std::ofstream(root / "keep.txt") << "kept";

    CleanupStatistics statistics{};
    const HRESULT hr = OrvoFilesCleanup(root.wstring().c_str(), L"*.log", 0,
                                        CLEANUP_RECURSE | CLEANUP_REMOVE_EMPTIED_SUBFOLDERS, CLEANUP_NO_TIME_LIMIT,
                                        &statistics);
    std::printf("result 0x%08lx, %lu file(s) and %lu folder(s) removed\n", static_cast<unsigned long>(hr),
                static_cast<unsigned long>(statistics.FilesRemoved), static_cast<unsigned long>(statistics.FoldersRemoved));
    const bool cleaned = hr == 0 && statistics.FilesRemoved == 1 && statistics.FoldersRemoved == 1 &&
                         !fs::exists(root / "logs") && fs::exists(root / "keep.txt");
    fs::remove_all(root);
    return cleaned ? 0 : 1;
}
