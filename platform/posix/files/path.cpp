// Provides PathCchCanonicalizeEx, PathCchAddBackslashEx, GetFullPathNameW, GetCurrentDirectoryW,
// GetTempPathW, PathIsDirectoryW and PathCchSkipRoot over getcwd, getenv, stat and openat.
//
// Dot segments are resolved on the text alone, as the system does: a link in the path is not
// followed, so "link/.." names the folder that holds the link.
#include "platform/posix/files/path.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/text/text.h"
#include "platform/posix/resolution/unique_fd.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr HRESULT kNameTooLong = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
constexpr HRESULT kInsufficientBuffer = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
constexpr ULONG kCanonicalizeOptions = PATHCCH_ALLOW_LONG_PATHS | PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH;

enum class EmptySegments { kKeep, kCollapse };

// Resolves "." and ".." of `path` textually. An absolute path never climbs above "/"; a relative
// one keeps the ".." that have nothing before them. Empty segments (doubled separators) are kept
// or dropped as asked, except the last one, which is the trailing separator. A ".." also removes
// the empty segments before the name it removes ("a//.." is empty, as POSIX reads it).
std::wstring ResolveDotSegments(std::wstring_view path, EmptySegments empty)
{
    const bool absolute = !path.empty() && path.front() == L'/';
    std::vector<std::wstring_view> segments;
    for (size_t start = absolute ? 1 : 0;;) {
        const size_t end = path.find(L'/', start);
        const bool last = end == std::wstring_view::npos;
        const std::wstring_view segment = path.substr(start, last ? std::wstring_view::npos : end - start);
        if (segment == L"..") {
            while (!segments.empty() && segments.back().empty()) {
                segments.pop_back();
            }
            if (!segments.empty() && segments.back() != L"..") {
                segments.pop_back();
            } else if (!absolute) {
                segments.push_back(segment);
            }
        } else if (segment != L"." && (!segment.empty() || last || empty == EmptySegments::kKeep)) {
            segments.push_back(segment);
        }
        if (last) {
            break;
        }
        start = end + 1;
    }
    std::wstring resolved = absolute ? L"/" : L"";
    for (size_t i = 0; i < segments.size(); ++i) {
        resolved.append(i == 0 ? L"" : L"/").append(segments[i]);
    }
    return resolved.empty() ? L"." : resolved;
}

// The current folder, read with a growing buffer so that a folder deeper than PATH_MAX is still
// reported. Returns 0 or the Win32 error.
DWORD CurrentFolder(std::wstring& folder)
{
    std::string buffer(PATH_MAX, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            return platform::Win32ErrorFromErrno(errno);
        }
        buffer.resize(buffer.size() * 2);
    }
    folder = platform::WideFromBytes(buffer.c_str(), std::strlen(buffer.c_str()));
    return ERROR_SUCCESS;
}

// `path` as an absolute path: a relative one is put after the current folder.
DWORD AbsolutePath(std::wstring_view path, std::wstring& absolute)
{
    if (!path.empty() && path.front() == L'/') {
        absolute = path;
        return ERROR_SUCCESS;
    }
    const DWORD error = CurrentFolder(absolute);
    if (error == ERROR_SUCCESS && !path.empty()) {
        absolute.append(absolute.back() == L'/' ? L"" : L"/").append(path);
    }
    return error;
}

// The length rules shared by GetFullPathNameW, GetCurrentDirectoryW and GetTempPathW: the length
// written, or the size needed with the terminator when the buffer cannot hold the text.
DWORD CopyPathOut(const std::wstring& text, DWORD bufferLength, LPWSTR buffer)
{
    if (buffer == nullptr || bufferLength <= text.size()) {
        return static_cast<DWORD>(text.size() + 1);
    }
    text.copy(buffer, text.size());
    buffer[text.size()] = L'\0';
    return static_cast<DWORD>(text.size());
}

// A path longer than PATH_MAX is followed one folder at a time, each openat seeing one name.
bool IsFolderStepwise(const std::string& path)
{
    platform::UniqueFd folder(open(path.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (size_t start = path.find_first_not_of('/'); folder.get() >= 0; start = path.find_first_not_of('/', start)) {
        if (start == std::string::npos) {
            return true; // only separators left: the path names the folder reached
        }
        const size_t end = path.find('/', start);
        const std::string name = path.substr(start, end - start);
        if (end == std::string::npos) {
            struct stat status {};
            return fstatat(folder.get(), name.c_str(), &status, 0) == 0 && S_ISDIR(status.st_mode);
        }
        folder = platform::UniqueFd(openat(folder.get(), name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        start = end;
    }
    return false;
}

// True when the bytes name an existing folder, links followed; a path longer than PATH_MAX is
// followed one folder at a time.
bool IsFolder(const std::string& path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        return S_ISDIR(status.st_mode);
    }
    return errno == ENAMETOOLONG && IsFolderStepwise(path);
}


HRESULT Canonicalize(PWSTR pathOut, size_t cchPathOut, PCWSTR pathIn, ULONG flags)
{
    if (pathOut == nullptr || pathIn == nullptr || cchPathOut == 0 || cchPathOut > PATHCCH_MAX_CCH ||
        (flags & ~kCanonicalizeOptions) != 0 || flags == kCanonicalizeOptions) {
        return E_INVALIDARG;
    }
    const size_t inLength = wcsnlen(pathIn, PATHCCH_MAX_CCH);
    HRESULT hr = S_OK;
    std::wstring result;
    if (inLength >= PATHCCH_MAX_CCH) {
        hr = kNameTooLong;
    } else {
        std::wstring absolute;
        const bool makeAbsolute = (flags & PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH) != 0;
        hr = makeAbsolute ? HRESULT_FROM_WIN32(AbsolutePath({pathIn, inLength}, absolute)) : S_OK;
        result = ResolveDotSegments(makeAbsolute ? std::wstring_view(absolute) : std::wstring_view(pathIn, inLength),
                                    EmptySegments::kKeep);
    }
    if (SUCCEEDED(hr) && flags == 0 && result.size() >= MAX_PATH) {
        hr = kNameTooLong;
    } else if (SUCCEEDED(hr) && result.size() >= cchPathOut) {
        hr = kInsufficientBuffer;
    }
    if (FAILED(hr)) {
        pathOut[0] = L'\0';
        return hr;
    }
    result.copy(pathOut, result.size());
    pathOut[result.size()] = L'\0';
    return S_OK;
}

} // namespace

HRESULT WINAPI PathCchAddBackslashEx(PWSTR path, size_t cchPath, PWSTR* end, size_t* remaining)
{
    if (end != nullptr) {
        *end = nullptr;
    }
    if (remaining != nullptr) {
        *remaining = 0;
    }
    if (path == nullptr || cchPath > PATHCCH_MAX_CCH) {
        return E_INVALIDARG;
    }
    size_t length = wcsnlen(path, cchPath);
    if (length == cchPath) {
        return kInsufficientBuffer; // no terminator within the buffer
    }
    HRESULT hr = S_FALSE;
    if (length > 0 && path[length - 1] != L'/') {
        if (length + 2 > cchPath) {
            return kInsufficientBuffer;
        }
        path[length++] = L'/';
        path[length] = L'\0';
        hr = S_OK;
    }
    if (end != nullptr) {
        *end = path + length;
    }
    if (remaining != nullptr) {
        *remaining = cchPath - length;
    }
    return hr;
}

namespace {

DWORD FullPathName(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR* filePart)
{
    if (fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (*fileName == L'\0') {
        return 0;
    }
    std::wstring absolute;
    const DWORD error = AbsolutePath(fileName, absolute);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    const std::wstring full = ResolveDotSegments(absolute, EmptySegments::kCollapse);
    const DWORD written = CopyPathOut(full, bufferLength, buffer);
    if (filePart != nullptr) {
        const bool wasWritten = written == full.size();
        *filePart = wasWritten && full.back() != L'/' ? buffer + full.rfind(L'/') + 1 : nullptr;
    }
    return written;
}

DWORD CurrentDirectory(DWORD bufferLength, LPWSTR buffer)
{
    std::wstring folder;
    const DWORD error = CurrentFolder(folder);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    return CopyPathOut(folder, bufferLength, buffer);
}

DWORD TempPath(DWORD bufferLength, LPWSTR buffer)
{
    // A blank, relative or missing TMPDIR would otherwise name a folder nobody meant: the root
    // (" /" once its blank is skipped) or one below whatever the current folder is.
    std::wstring folder = L"/tmp/";
    const char* variable = std::getenv("TMPDIR");
    if (variable != nullptr && variable[0] == '/') {
        std::wstring full = ResolveDotSegments(platform::WideFromBytes(variable, std::strlen(variable)),
                                               EmptySegments::kCollapse);
        std::string bytes;
        if (platform::BytesFromWide(full.data(), full.size(), bytes) && IsFolder(bytes)) {
            folder = std::move(full);
        }
    }
    if (folder.back() != L'/') {
        folder.push_back(L'/');
    }
    return CopyPathOut(folder, bufferLength, buffer);
}

BOOL IsDirectory(LPCWSTR path)
{
    std::string bytes;
    if (path == nullptr || *path == L'\0' || !platform::BytesFromWide(path, std::wcslen(path), bytes)) {
        return FALSE;
    }
    return IsFolder(bytes) ? FILE_ATTRIBUTE_DIRECTORY : FALSE;
}

} // namespace

platform::PathCut platform::CutAtLastSeparator(std::string_view path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return {{}, path};
    }
    return {path.substr(0, slash == 0 ? 1 : slash), path.substr(slash + 1)};
}

HRESULT WINAPI PathCchSkipRoot(PCWSTR path, PCWSTR* rootEnd)
{
    if (path == nullptr || rootEnd == nullptr || path[0] != L'/') {
        return E_INVALIDARG;
    }
    while (*path == L'/') {
        ++path;
    }
    *rootEnd = path;
    return S_OK;
}

// The shells: an allocation that fails inside is the call's failure, never an exception.
HRESULT WINAPI PathCchCanonicalizeEx(PWSTR pathOut, size_t cchPathOut, PCWSTR pathIn, ULONG flags)
{
    return platform::WithoutThrowing(E_OUTOFMEMORY, [&] { return Canonicalize(pathOut, cchPathOut, pathIn, flags); });
}

DWORD WINAPI GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR* filePart)
{
    return platform::WithoutThrowing(DWORD{0}, [&] { return FullPathName(fileName, bufferLength, buffer, filePart); });
}

DWORD WINAPI GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer)
{
    return platform::WithoutThrowing(DWORD{0}, [&] { return CurrentDirectory(bufferLength, buffer); });
}

DWORD WINAPI GetTempPathW(DWORD bufferLength, LPWSTR buffer)
{
    return platform::WithoutThrowing(DWORD{0}, [&] { return TempPath(bufferLength, buffer); });
}

BOOL WINAPI PathIsDirectoryW(LPCWSTR path)
{
    return platform::WithoutThrowing(BOOL{FALSE}, [&] { return IsDirectory(path); });
}
