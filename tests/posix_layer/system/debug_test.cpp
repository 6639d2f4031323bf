// Debugger interaction of the POSIX layer: tracer detection, debug output only while traced, the
// fail-fast exit, and thread ids.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/test_support.h"

namespace {

TEST(Debugger, OutputAppearsOnlyWhileTraced)
{
    ASSERT_FALSE(IsDebuggerPresent()) << "the tests must run without a tracer";
    testing_support::TempDir dir;
    const std::string log = (dir.path() / "stderr").string();

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        OutputDebugStringW(L"untraced\n");
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
            _exit(2);
        }
        raise(SIGSTOP); // the parent, now the tracer, lets it go on
        OutputDebugStringW(L"traced \u00E9 \xDCFF\n");
        _exit(IsDebuggerPresent() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2) {
        GTEST_SKIP() << "tracing is not permitted here";
    }
    ASSERT_TRUE(WIFSTOPPED(status));
    ASSERT_EQ(0, ptrace(PTRACE_CONT, child, nullptr, nullptr));
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "IsDebuggerPresent missed the tracer";

    std::ifstream stream(log, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    EXPECT_EQ("traced \xC3\xA9 \xFF\n", written);
}

TEST(DebuggerDeathTest, FailFastRunsNoHandler)
{
    EXPECT_EXIT(
        {
            std::signal(SIGABRT, [](int) { _exit(3); });
            RaiseFailFastException(nullptr, nullptr, 0);
        },
        testing::KilledBySignal(SIGABRT), "");
}

TEST(Ids, ThreadIds)
{
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
    DWORD other = 0;
    std::thread([&other] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(0u, other);
    EXPECT_NE(GetCurrentThreadId(), other);
}

} // namespace
