// Temporary trees and platform notes for the tests (portable parts).
#include "support/test_support.h"

#include "platform/platform.h"

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir(bool inMemory)
{
    std::random_device random;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::error_code error;
    const fs::path memory = "/dev/shm";
    const fs::path base = inMemory && fs::is_directory(memory, error) ? memory : fs::temp_directory_path();
    path_ = base / ("orvo-test-" + std::to_string(stamp) + "-" + std::to_string(random()));
    fs::create_directories(path_);
}

TempDir::~TempDir()
{
    std::error_code error;
    // Make everything writable first: tests leave read-only files and denied folders behind.
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        if (!it->is_symlink(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path_, error);
}

fs::path TempDir::File(const std::string& relative, size_t size) const
{
    const fs::path file = path_ / fs::path(relative).make_preferred();
    fs::create_directories(file.parent_path());
    std::ofstream stream(file, std::ios::binary);
    const std::string content(size, 'x');
    stream.write(content.data(), static_cast<std::streamsize>(content.size()));
    return file;
}

fs::path TempDir::Folder(const std::string& relative) const
{
    const fs::path folder = path_ / fs::path(relative).make_preferred();
    fs::create_directories(folder);
    return folder;
}

std::string MakeFolderLink(const fs::path& link, const fs::path& target)
{
    const fs::path written = fs::path(target).make_preferred();
#if defined(_WIN32)
    if (!CreateSymbolicLinkW(link.c_str(), written.c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
        return "no folder link can be made here (CreateSymbolicLinkW error " + std::to_string(GetLastError()) + ")";
    }
#else
    std::error_code error;
    fs::create_directory_symlink(written, link, error);
    if (error) {
        return "no folder link can be made here: " + error.message();
    }
#endif
    // Wine's CreateSymbolicLinkW reports success and makes nothing, and Wine shows the system's own
    // links as plain folders: there no enumeration ever meets a folder link.
    WIN32_FIND_DATAW found{};
    const HANDLE lookUp =
        FindFirstFileExW(link.wstring().c_str(), FindExInfoStandard, &found, FindExSearchNameMatch, nullptr, 0);
    if (lookUp == INVALID_HANDLE_VALUE) {
        return "the folder link was reported made, but there is none (error " + std::to_string(GetLastError()) + ")";
    }
    FindClose(lookUp);
    const DWORD attributes = found.dwFileAttributes;
    constexpr DWORD kFolderLink = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if ((attributes & kFolderLink) != kFolderLink) {
        return "a folder link made here is not reported as a link (attributes " + std::to_string(attributes) + ")";
    }
    return {};
}

int ExpectedExitCode(int32_t result)
{
#if defined(_WIN32)
    return result;
#else
    return result & 0xFF;
#endif
}

std::vector<std::string> Lines(const std::string& output)
{
    std::vector<std::string> lines;
    std::istringstream stream(output);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string Separator()
{
#if defined(_WIN32)
    return "\\";
#else
    return "/";
#endif
}

std::string ReportLineEnd()
{
#if defined(_WIN32)
    return "\n\r";
#else
    return "\n";
#endif
}

} // namespace testing_support
