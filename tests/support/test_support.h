// Helpers for the tests: temporary folders, running the built programs, and notes about the
// platform the tests run on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder below the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    // `inMemory`: below /dev/shm where the system has it, for trees whose creation and removal
    // would otherwise wait on the disk (deep chains of folders).
    explicit TempDir(bool inMemory = false);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Creates a file (and its folders) with `size` bytes, returns its path.
    std::filesystem::path File(const std::string& relative, size_t size = 0) const;
    std::filesystem::path Folder(const std::string& relative) const;

private:
    std::filesystem::path path_;
};

// Makes `link` a folder link to `target` (a relative target is taken from the link's folder).
// Returns why it cannot when this system makes no such link, or does not report it as a link
// (FILE_ATTRIBUTE_REPARSE_POINT); empty on success. Tests skip with that reason.
std::string MakeFolderLink(const std::filesystem::path& link, const std::filesystem::path& target);

// Sets a file's or folder's last-write time to `days` days before now.
void SetAgeDays(const std::filesystem::path& path, double days);

struct ProgramResult {
    int exitCode = 0;         // low 8 bits on POSIX, the full 32-bit value on Windows
    std::string output;       // standard output, with CR LF turned back into LF on Windows
};

// Runs a program of the build (name without extension) with the arguments, in `workingDir`
// when given, and collects its standard output.
ProgramResult RunProgram(const std::string& name, const std::vector<std::wstring>& arguments,
                         const std::filesystem::path& workingDir = {});

// The exit code a program's `int` result becomes on this platform (-1 is 255 on POSIX).
int ExpectedExitCode(int32_t result);

// True when the Windows build runs under Wine, whose behaviour departs from Windows in a few
// documented places; tests mark such cases as known Wine differences.
bool RunningUnderWine();

// The lines of a program's output, without their line ends.
std::vector<std::string> Lines(const std::string& output);

// The platform's separator as a narrow string ("/" or "\\").
std::string Separator();

// How a line that purgent ends in "\n\r" (its announcement and its error line) reads in a
// program's output as RunProgram returns it: "\n\r" on Windows, "\n" on POSIX, whose console
// writes that ending as a line feed.
std::string ReportLineEnd();

// Runs `body` in a child process as an unprivileged user (POSIX, when the tests run as root:
// uid/gid 65534; otherwise as the current user) and returns its result (0 to 255); -1 where
// the platform cannot do this (Windows). Lets tests see real permission denials.
int RunUnprivileged(int (*body)(void* context), void* context);
// Gives a tree to the user RunUnprivileged runs as (POSIX; no-op elsewhere).
void GiveTreeToUnprivilegedUser(const std::filesystem::path& root);

} // namespace testing_support
