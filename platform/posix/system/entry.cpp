// Program entry: provides the process's main, which hands wmain the arguments decoded from the
// bytes of argv (UTF-8, with every other byte kept by an escape, so each argument round-trips).
// The exit status is wmain's result; POSIX keeps its low 8 bits (-1 becomes 255).
//
// The arguments and their pointers share one allocation, filled before any thread starts: a run
// over tens of thousands of files named on the command line would otherwise spend longer making
// one string per name (an allocation each, and a page fault every few names) than the workers
// take to hash the first thousands of them.
#include "platform/posix/text/text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

int wmain(int argc, wchar_t** argv);

namespace {

// Faults in the pages of a large block with one call; a hint, so its result changes nothing.
void Prefault(void* block, size_t bytes)
{
    constexpr size_t kWorthIt = 256 * 1024;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = (reinterpret_cast<std::uintptr_t>(block) + page - 1) & ~(page - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(block) + bytes;
    if (bytes >= kWorthIt && end > start) {
        madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
    }
}

} // namespace

int main(int argc, char** argv)
{
    size_t characters = 0; // an argument never decodes to more characters than it has bytes
    for (int i = 0; i < argc; ++i) {
        characters += std::strlen(argv[i]) + 1;
    }
    const size_t pointerBytes = (static_cast<size_t>(argc) + 1) * sizeof(wchar_t*);
    const size_t bytes = pointerBytes + characters * sizeof(wchar_t);
    void* const block = std::malloc(bytes);
    if (block == nullptr) {
        // Without its arguments the program cannot start: it says why and ends with E_OUTOFMEMORY.
        std::fputs("Not enough memory to start the program.\n", stderr);
        return static_cast<int>(E_OUTOFMEMORY);
    }
    Prefault(block, bytes);
    auto** const pointers = static_cast<wchar_t**>(block);
    auto* text = reinterpret_cast<wchar_t*>(static_cast<char*>(block) + pointerBytes);
    for (int i = 0; i < argc; ++i) {
        pointers[i] = text;
        text += platform::WideFromBytes(argv[i], std::strlen(argv[i]), text);
        *text++ = L'\0';
    }
    pointers[argc] = nullptr;
    const int status = wmain(argc, pointers);
    std::free(block);
    return status;
}
