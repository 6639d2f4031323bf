// ParseCommandLine: the switch table, the rules that combine switches, and the root path's checks.
#include "tools/Purgent/command_line.h"

#include <cwchar>
#include <cwctype>
#include <string>

#include "api-orvo-files/orvo_files.h"
#include "common/file_information.h"
#include "common/path_names.h"
#include "tools/Purgent/time_arguments.h"

namespace {

// -x: -s -o -e -i -j.
constexpr DWORD kAllOfTheAbove = CLEANUP_RECURSE | CLEANUP_DELETE_READONLY | CLEANUP_REMOVE_EMPTIED_SUBFOLDERS |
                                 CLEANUP_IGNORE_FILE_ERRORS | CLEANUP_IGNORE_FOLDER_ERRORS;
// -z: -s -o -u -r -i -j.
constexpr DWORD kEverything = CLEANUP_RECURSE | CLEANUP_DELETE_READONLY | CLEANUP_REMOVE_EMPTY_SUBFOLDERS |
                              CLEANUP_REMOVE_ROOT | CLEANUP_IGNORE_FILE_ERRORS | CLEANUP_IGNORE_FOLDER_ERRORS;

bool StartsLikeSwitch(const wchar_t* argument)
{
    return platform::IsSwitchPrefix(argument[0]);
}

// "-s", "/S": a prefix, the letter in either case, nothing after it.
bool IsSwitch(const wchar_t* argument, wchar_t letter)
{
    return StartsLikeSwitch(argument) &&
           (argument[1] == letter || argument[1] == static_cast<wchar_t>(towupper(static_cast<wint_t>(letter)))) &&
           argument[2] == L'\0';
}

// Both calls return the size they need, not a length, when the folder does not fit the buffer.
bool FitsPathBuffer(DWORD length)
{
    return length != 0 && length < kPathBufferChars;
}

// The user's TEMP folder into `pathBuffer`; false when it cannot be read, does not fit, or is a
// file system's root (also through a link) (a blank or "/" TMPDIR, TMP=C:\): emptying a whole volume is never what -t
// means, and the tool is often run as an administrator.
bool ReadTempFolder(wchar_t* pathBuffer)
{
    if (!FitsPathBuffer(GetTempPathW(static_cast<DWORD>(kPathBufferChars), pathBuffer))) {
        return false;
    }
    PCWSTR belowRoot = nullptr;
    if (FAILED(PathCchSkipRoot(pathBuffer, &belowRoot))) {
        return false; // not a full path: it would be taken relative to wherever the tool runs
    }
    if (belowRoot[wcsspn(belowRoot, kSeparatorText)] == L'\0') {
        return false;
    }
    // A link that leads to the root is the root too: what the folder is must differ from what its
    // root is. A folder that cannot be read is refused as well.
    const std::wstring root(pathBuffer, static_cast<size_t>(belowRoot - pathBuffer));
    FileIdentity folder;
    FileIdentity rootFolder;
    return SUCCEEDED(ReadIdentity(pathBuffer, folder)) && SUCCEEDED(ReadIdentity(root.c_str(), rootFolder)) &&
           !(folder == rootFolder);
}

constexpr ParseOutcome kRejected{false, -1};

struct FlagSwitch {
    wchar_t letter;
    DWORD bits;
};
constexpr FlagSwitch kFlagSwitches[] = {
    {L's', CLEANUP_RECURSE},
    {L'o', CLEANUP_DELETE_READONLY},
    {L'e', CLEANUP_REMOVE_EMPTIED_SUBFOLDERS},
    {L'r', CLEANUP_REMOVE_ROOT},
    {L'u', CLEANUP_REMOVE_EMPTY_SUBFOLDERS},
    {L'i', CLEANUP_IGNORE_FILE_ERRORS},
    {L'j', CLEANUP_IGNORE_FOLDER_ERRORS},
    {L'x', kAllOfTheAbove},
    {L'z', kEverything},
    {L'b', CLEANUP_AGE_FOLDERS},
};

// The bits of a flag switch into `flags`; false when `argument` is none.
bool TakeFlagSwitch(const wchar_t* argument, DWORD& flags)
{
    for (const FlagSwitch& flagSwitch : kFlagSwitches) {
        if (IsSwitch(argument, flagSwitch.letter)) {
            flags |= flagSwitch.bits;
            return true;
        }
    }
    return false;
}

// Reads every argument into `request`, the one that is not a switch into `rootArgument` (the last
// one wins). The outcome ends the run when a switch or its value is refused, or on -?.
ParseOutcome ScanArguments(int argc, wchar_t** argv, CleanupRequest& request, wchar_t*& rootArgument)
{
    // The argument after -a, -d or -n: present and not switch-shaped; else the message that names
    // what the switch needs, and null.
    auto takeValue = [&](int& index, char letter, const char* needed) -> wchar_t* {
        if (index + 1 >= argc || StartsLikeSwitch(argv[index + 1])) {
            printf("Missing argument for the -%c switch. %s must be specified.\n", letter, needed);
            return nullptr;
        }
        return argv[++index];
    };
    for (int i = 1; i < argc; ++i) {
        wchar_t* argument = argv[i];
        if (IsSwitch(argument, L'?')) {
            PrintUsage();
            return {false, 0};
        }
        if (IsSwitch(argument, L'q')) {
            request.quiet = true;
        } else if (IsSwitch(argument, L'l')) {
            request.dryRun = true;
        } else if (TakeFlagSwitch(argument, request.flags)) {
            continue;
        } else if (IsSwitch(argument, L't')) {
            request.useTemp = true;
        } else if (IsSwitch(argument, L'a')) {
            const wchar_t* value = takeValue(i, 'a', "Age");
            if (value == nullptr || !ParseAge(value, request.minimumAge)) {
                return kRejected;
            }
        } else if (IsSwitch(argument, L'd')) {
            const wchar_t* value = takeValue(i, 'd', "Maximum duration");
            if (value == nullptr || !ParseDuration(value, request.maximumDurationMs)) {
                return kRejected;
            }
        } else if (IsSwitch(argument, L'n')) {
            wchar_t* value = takeValue(i, 'n', "FileSpec(s)");
            if (value == nullptr) {
                return kRejected;
            }
            request.fileSpecs = value;
        } else if (StartsLikeSwitch(argument)) {
            printf("Unrecognized switch '%ls'.\n", argument);
            return kRejected;
        } else {
            rootArgument = argument;
        }
    }
    return {true, 0};
}

// The root path of the request: the TEMP folder with -t, the current folder for "." and "./",
// else the argument without its leading blanks. False, with the message printed, when there is
// none that may be cleaned. -t also drops CLEANUP_REMOVE_ROOT: the TEMP folder itself stays.
bool ChooseRootPath(const wchar_t* rootArgument, wchar_t* pathBuffer, CleanupRequest& request)
{
    const wchar_t* root = rootArgument;
    if (request.useTemp) {
        if (root != nullptr && root[0] != L'\0') {
            printf("The -t switch cannot be set together with a user-supplied path.\n");
            return false;
        }
        if (!ReadTempFolder(pathBuffer)) {
            printf("Cannot retrieve the user's TEMP path.\n");
            return false;
        }
        request.flags &= ~CLEANUP_REMOVE_ROOT;
        root = pathBuffer;
    } else if (root == nullptr || root[0] == L'\0') {
        PrintUsage();
        return false;
    }
    if (wcsnlen(root, kPathBufferChars) >= kPathBufferChars) {
        printf("The supplied path is too long.\n");
        return false;
    }
    while (*root != L'\0' && iswspace(static_cast<wint_t>(*root))) {
        ++root;
    }
    if (*root == L'\0') {
        printf("The supplied path empty.\n");
        return false;
    }
    if (root[0] == L'.' && root[1] == L'.') {
        printf("The supplied path is invalid.\n");
        return false;
    }
    if (root[0] == L'.' && (root[1] == L'\0' || (root[1] == platform::kPathSeparator && root[2] == L'\0'))) {
        if (!FitsPathBuffer(GetCurrentDirectoryW(static_cast<DWORD>(kPathBufferChars), pathBuffer))) {
            printf("Cannot retrieve the current directory.\n");
            return false;
        }
        root = pathBuffer;
    }
    request.rootPath = root;
    return true;
}

// "*.log;;" becomes "*.log"; a list of semicolons only becomes empty (every file).
void CutTrailingSemicolons(wchar_t* patterns)
{
    if (patterns == nullptr || patterns[0] == L'\0' || StrChrW(patterns, L';') == nullptr) {
        return;
    }
    for (size_t length = wcslen(patterns); length > 0 && patterns[length - 1] == L';'; --length) {
        patterns[length - 1] = L'\0';
    }
}

} // namespace

ParseOutcome ParseCommandLine(int argc, wchar_t** argv, wchar_t* pathBuffer, CleanupRequest& request)
{
    if (argc == 1) {
        PrintUsage();
        return kRejected;
    }
    wchar_t* rootArgument = nullptr;
    if (const ParseOutcome scanned = ScanArguments(argc, argv, request, rootArgument); !scanned.run) {
        return scanned;
    }
    // -u wins over -e: the engine refuses both folder modes together.
    if ((request.flags & CLEANUP_REMOVE_EMPTY_SUBFOLDERS) != 0) {
        request.flags &= ~CLEANUP_REMOVE_EMPTIED_SUBFOLDERS;
    }
    if (!ChooseRootPath(rootArgument, pathBuffer, request)) {
        return kRejected;
    }
    CutTrailingSemicolons(request.fileSpecs);
    return {true, 0};
}
