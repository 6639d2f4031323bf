// Running a built program on Windows: CreateProcessW with a pipe for standard output.
#if defined(_WIN32)
#include "support/test_support.h"

#include "platform/platform.h"

#include <stdexcept>

namespace testing_support {

namespace {
std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t ch : argument) {
        if (ch == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(ch == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(ch);
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}
} // namespace

ProgramResult RunProgram(const std::string& name, const std::vector<std::wstring>& arguments,
                         const std::filesystem::path& workingDir)
{
    // The programs are built next to the test programs.
    wchar_t self[MAX_PATH * 4];
    GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    const std::filesystem::path program = std::filesystem::path(self).parent_path() / (name + ".exe");
    std::wstring commandLine = QuoteArgument(program.wstring());
    for (const auto& argument : arguments) {
        commandLine += L" " + QuoteArgument(argument);
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        throw std::runtime_error("CreatePipe failed");
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    const std::wstring directory = workingDir.wstring();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        throw std::runtime_error("cannot start " + program.string());
    }
    CloseHandle(writeEnd);
    ProgramResult result;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got != 0) {
        result.output.append(buffer, got);
    }
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    result.exitCode = static_cast<int>(exitCode);
    // The runtime's text mode writes LF as CR LF; tests compare the text as the program passed it.
    std::string text;
    for (size_t i = 0; i < result.output.size(); ++i) {
        if (result.output[i] == '\r' && i + 1 < result.output.size() && result.output[i + 1] == '\n') {
            continue;
        }
        text.push_back(result.output[i]);
    }
    result.output = text;
    return result;
}

void SetAgeDays(const std::filesystem::path& path, double days)
{
    // Folders need backup semantics to be opened for their times.
    const HANDLE file = CreateFileW(path.wstring().c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot open " + path.string());
    }
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER value;
    value.LowPart = now.dwLowDateTime;
    value.HighPart = now.dwHighDateTime;
    value.QuadPart -= static_cast<ULONGLONG>(days * 864'000'000'000.0);
    FILETIME time{value.LowPart, value.HighPart};
    const BOOL set = SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    if (!set) {
        throw std::runtime_error("cannot set the time of " + path.string());
    }
}

int RunUnprivileged(int (*)(void*), void*)
{
    return -1;
}

void GiveTreeToUnprivilegedUser(const std::filesystem::path&) {}

bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace testing_support
#endif
