// The standard handles and the console calls: a terminal is a console, a pipe is not, and what
// is written reaches the terminal as its bytes.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// Puts `fd` in place of standard error for the life of the object.
class StandardErrorAs {
public:
    explicit StandardErrorAs(int fd)
        : saved_(dup(2))
    {
        dup2(fd, 2);
    }
    ~StandardErrorAs()
    {
        dup2(saved_, 2);
        close(saved_);
    }

private:
    int saved_;
};

TEST(ConsoleHandle, ATerminalIsAConsoleAndAPipeIsNot)
{
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    ASSERT_EQ(error, GetStdHandle(STD_ERROR_HANDLE));
    EXPECT_EQ(GetStdHandle(42), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    {
        StandardErrorAs redirected(pipeEnds[1]);
        DWORD mode = 0;
        EXPECT_FALSE(GetConsoleMode(error, &mode));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        DWORD written = 7;
        EXPECT_FALSE(WriteConsoleW(error, L"x", 1, &written, nullptr));
    }
    close(pipeEnds[0]);
    close(pipeEnds[1]);

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        GTEST_SKIP() << "no pseudo-terminal here";
    }
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    {
        StandardErrorAs redirected(terminal);
        DWORD mode = 0;
        EXPECT_TRUE(GetConsoleMode(error, &mode));
        DWORD written = 0;
        const std::wstring text = L"\r\u00e9 3 of 4";
        ASSERT_TRUE(WriteConsoleW(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
        EXPECT_EQ(written, text.size());
    }
    char bytes[32] = {};
    const ssize_t read = ::read(master, bytes, sizeof bytes);
    EXPECT_EQ(std::string(bytes, read > 0 ? static_cast<size_t>(read) : 0), "\r\xC3\xA9 3 of 4");
    close(terminal);
    close(master);
}

} // namespace
