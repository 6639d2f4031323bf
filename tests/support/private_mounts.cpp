// RunWithPrivateMounts and Mount over fork, unshare(CLONE_NEWNS) and mount(2).
#if !defined(_WIN32)
#include "support/private_mounts.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace testing_support {

namespace {
constexpr int kRefused = 77;
}

std::string RunWithPrivateMounts(const std::function<void()>& body, bool& failed)
{
    failed = false;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return "no pipe";
    }
    fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0) {
        return "no fork";
    }
    if (pid == 0) {
        close(pipeFds[0]);
        const char* refusal = nullptr;
        if (unshare(CLONE_NEWNS) != 0) {
            refusal = "unshare(CLONE_NEWNS)";
        } else if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            refusal = "making the mounts private";
        }
        if (refusal != nullptr) {
            dprintf(pipeFds[1], "%s refused: %s", refusal, strerror(errno));
            _exit(kRefused);
        }
        close(pipeFds[1]);
        bool thrown = false;
        try {
            body();
        } catch (const std::exception& error) {
            fprintf(stdout, "exception in the private mount namespace: %s\n", error.what());
            thrown = true;
        }
        fflush(stdout);
        _exit(thrown || testing::Test::HasFailure() ? 1 : 0);
    }
    close(pipeFds[1]);
    std::string refusal;
    char buffer[256];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        refusal.append(buffer, static_cast<size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kRefused) {
        return refusal.empty() ? "no private mount namespace" : refusal;
    }
    failed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    return {};
}

bool Mount(const std::string& source, const std::string& target, const char* type)
{
    const unsigned long flags = type == nullptr ? MS_BIND : 0;
    if (mount(source.c_str(), target.c_str(), type, flags, nullptr) != 0) {
        ADD_FAILURE() << "mounting " << source << " on " << target << ": " << strerror(errno);
        return false;
    }
    return true;
}

} // namespace testing_support
#endif
