// Program entry: provides the process's main, which hands wmain the arguments decoded from the
// bytes of argv (UTF-8, with every other byte kept by an escape, so each argument round-trips).
// The exit status is wmain's result; POSIX keeps its low 8 bits (-1 becomes 255).
#include "platform/posix/text/text.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv);

int main(int argc, char** argv)
{
    std::vector<std::wstring> arguments;
    std::vector<wchar_t*> pointers;
    try {
        arguments.reserve(static_cast<size_t>(argc));
        for (int i = 0; i < argc; ++i) {
            arguments.push_back(platform::WideFromBytes(argv[i], std::char_traits<char>::length(argv[i])));
        }
        pointers.reserve(arguments.size() + 1);
    } catch (const std::bad_alloc&) {
        // Without its arguments the program cannot start: it says why and ends with E_OUTOFMEMORY.
        std::fputs("Not enough memory to start the program.\n", stderr);
        return static_cast<int>(E_OUTOFMEMORY);
    }
    for (auto& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    return wmain(argc, pointers.data());
}
