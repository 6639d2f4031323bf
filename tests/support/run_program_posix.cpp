// Running a built program on POSIX: posix_spawn with a pipe for standard output.
#if !defined(_WIN32)
#include "support/test_support.h"

#include "platform/platform.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <stdexcept>

extern char** environ;

namespace testing_support {

ProgramResult RunProgram(const std::string& name, const std::vector<std::wstring>& arguments,
                         const std::filesystem::path& workingDir)
{
    const std::string program = std::string(ORVO_BIN_DIR) + "/" + name;
    std::vector<std::string> texts{program};
    for (const auto& argument : arguments) {
        texts.push_back(platform::BytesFromWide(argument));
    }
    std::vector<char*> argv;
    for (auto& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    if (!workingDir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    }
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        throw std::runtime_error("cannot start " + program);
    }
    ProgramResult result;
    char buffer[65536];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0) {
            break;
        }
        result.output.append(buffer, static_cast<size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

void SetAgeDays(const std::filesystem::path& path, double days)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const auto seconds = static_cast<time_t>(days * 86400.0);
    const timespec times[2] = {now, {now.tv_sec - seconds, now.tv_nsec}};
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        throw std::runtime_error("cannot set the time of " + path.string());
    }
}

bool RunningUnderWine()
{
    return false;
}

namespace {
constexpr uid_t kNobody = 65534;
}

int RunUnprivileged(int (*body)(void* context), void* context)
{
    fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        if (getuid() == 0 && (setresgid(kNobody, kNobody, kNobody) != 0 || setresuid(kNobody, kNobody, kNobody) != 0)) {
            _exit(254);
        }
        _exit(body(context) & 0xFF);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

void GiveTreeToUnprivilegedUser(const std::filesystem::path& root)
{
    if (getuid() != 0) {
        return;
    }
    std::error_code error;
    lchown(root.c_str(), kNobody, kNobody);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, error)) {
        lchown(entry.path().c_str(), kNobody, kNobody);
    }
}

} // namespace testing_support
#endif
