// Program entry: provides the process's main, which hands wmain the arguments decoded from the
// bytes of argv (UTF-8, with every other byte kept by an escape, so each argument round-trips).
// The exit status is wmain's result; POSIX keeps its low 8 bits (-1 becomes 255).
//
// The arguments and their pointers share one block, filled before any thread starts. Every page
// of memory costs a fault when it is first written, and a wide character takes four bytes: a
// run over 20,000 files named on the command line would touch a thousand new pages (more time
// than the workers take to hash the first thousand files) before it could start. A block of
// 2 MiB or more is therefore made of huge pages where the system offers them, a smaller one
// comes from the heap.
#include "platform/posix/text/text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

int wmain(int argc, wchar_t** argv);

namespace {

constexpr std::uintptr_t kHugePage = 2 * 1024 * 1024;

constexpr std::uintptr_t RoundUpToHugePage(std::uintptr_t value)
{
    return (value + kHugePage - 1) & ~(kHugePage - 1);
}

// The arguments' block: from the heap, or a mapping aligned to a huge page.
class ArgumentBlock {
public:
    explicit ArgumentBlock(size_t bytes)
    {
        if (bytes < kHugePage) {
            data_ = std::malloc(bytes);
            return;
        }
        mapped_ = RoundUpToHugePage(bytes);
        void* const raw = mmap(nullptr, mapped_ + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) {
            return;
        }
        raw_ = raw;
        data_ = reinterpret_cast<void*>(RoundUpToHugePage(reinterpret_cast<std::uintptr_t>(raw)));
        // Hints: without them the block is made of small pages, as any other.
        madvise(data_, mapped_, MADV_HUGEPAGE);
        madvise(data_, mapped_, MADV_POPULATE_WRITE);
    }
    ~ArgumentBlock()
    {
        if (raw_ != nullptr) {
            munmap(raw_, mapped_ + kHugePage);
        } else {
            std::free(data_);
        }
    }
    ArgumentBlock(const ArgumentBlock&) = delete;
    ArgumentBlock& operator=(const ArgumentBlock&) = delete;
    void* get() const { return data_; }

private:
    void* data_ = nullptr;
    void* raw_ = nullptr; // the mapping, when the block is one
    size_t mapped_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    size_t characters = 0; // an argument never decodes to more characters than it has bytes
    for (int i = 0; i < argc; ++i) {
        characters += std::strlen(argv[i]) + 1;
    }
    const size_t pointerBytes = (static_cast<size_t>(argc) + 1) * sizeof(wchar_t*);
    const ArgumentBlock block(pointerBytes + characters * sizeof(wchar_t));
    if (block.get() == nullptr) {
        // Without its arguments the program cannot start: it says why and ends with E_OUTOFMEMORY.
        std::fputs("Not enough memory to start the program.\n", stderr);
        return static_cast<int>(E_OUTOFMEMORY);
    }
    auto** const pointers = static_cast<wchar_t**>(block.get());
    auto* text = reinterpret_cast<wchar_t*>(static_cast<char*>(block.get()) + pointerBytes);
    for (int i = 0; i < argc; ++i) {
        pointers[i] = text;
        text += platform::WideFromBytes(argv[i], std::strlen(argv[i]), text);
        *text++ = L'\0';
    }
    pointers[argc] = nullptr;
    return wmain(argc, pointers);
}
