// The ways of reading that the hashing tool's layer offers, measured through the layer itself
// against the plain system calls they stand in for. One run prints one line with its wall time.
//
//   read_paths_bench large <file> <sync|ring|threads> <sha256|crc32c|touch>
//     32 overlapped 1 MiB reads in flight, round-robin, each fed to the consumer in file order, on
//     the io_uring engine or the reader threads; sync: 1 MiB synchronous ReadFile calls into one
//     buffer.
//   read_paths_bench small <list> <view|lookup|floor|mmap|pread|pread-reuse> <sha256|crc32c|none>
//     two threads over the files named in <list>: view is the tool's way through the layer
//     (FindFirstFileExW, CreateFileW, CreateFileMappingW, MapViewOfFile, consume, unmap, close);
//     floor opens, reads 1 MiB blocks and closes without consuming; mmap, pread and pread-reuse
//     are the raw alternatives (fstatat, open, then mmap + munmap, pread into a fresh buffer, or
//     pread into one buffer per thread); lookup is FindFirstFileExW and FindClose alone.
#include "platform/platform.h"
#include "platform/posix/io/read_engine.h"

#include <openssl/evp.h>
#include <nmmintrin.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#undef printf

namespace {

constexpr DWORD kBlock = 1 << 20;
constexpr int kSlots = 32;

// Feeds bytes to SHA-256, a CRC-32C, or only reads one byte in each cache line.
class Consumer {
public:
    explicit Consumer(const std::string& kind) : kind_(kind) { context_ = EVP_MD_CTX_new(); }
    ~Consumer() { EVP_MD_CTX_free(context_); }
    void Begin()
    {
        if (kind_ == "sha256") {
            EVP_DigestInit_ex(context_, EVP_sha256(), nullptr);
        }
    }
    void Feed(const char* data, size_t size)
    {
        if (kind_ == "sha256") {
            EVP_DigestUpdate(context_, data, size);
        } else if (kind_ == "crc32c") {
            std::uint64_t crc = state_;
            size_t i = 0;
            for (; i + 8 <= size; i += 8) {
                std::uint64_t word;
                std::memcpy(&word, data + i, 8);
                crc = _mm_crc32_u64(crc, word);
            }
            for (; i < size; ++i) {
                crc = _mm_crc32_u8(static_cast<std::uint32_t>(crc), static_cast<unsigned char>(data[i]));
            }
            state_ = crc;
        } else if (kind_ == "touch") {
            for (size_t i = 0; i < size; i += 64) {
                state_ += static_cast<unsigned char>(data[i]);
            }
        }
    }
    std::uint64_t End()
    {
        if (kind_ == "sha256") {
            unsigned char digest[EVP_MAX_MD_SIZE];
            unsigned length = 0;
            EVP_DigestFinal_ex(context_, digest, &length);
            state_ += digest[0];
        }
        return state_;
    }

private:
    std::string kind_;
    EVP_MD_CTX* context_;
    std::uint64_t state_ = 0;
};

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Large(const char* path, const std::string& mode, const std::string& kind)
{
    const std::wstring name = platform::WideFromBytes(path);
    if (mode == "threads") {
        platform::ForceThreadReads(true);
    } else if (mode == "ring" && platform::UringReadEngine() == nullptr) {
        std::fprintf(stderr, "io_uring cannot be set up here\n");
        return 1;
    }
    const bool overlapped = mode != "sync";
    char* block = static_cast<char*>(std::aligned_alloc(4096, kSlots * size_t {kBlock}));
    std::memset(block, 0, kSlots * size_t {kBlock});
    Consumer consumer(kind);
    const auto start = std::chrono::steady_clock::now();
    consumer.Begin();
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN | (overlapped ? FILE_FLAG_OVERLAPPED : 0), nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s: %u\n", path, GetLastError());
        return 1;
    }
    ULONGLONG total = 0;
    if (!overlapped) {
        DWORD read = 0;
        while (ReadFile(file, block, kBlock, &read, nullptr) && read > 0) {
            consumer.Feed(block, read);
            total += read;
        }
    } else {
        DWORD high = 0;
        const ULONGLONG size = GetFileSize(file, &high) | (ULONGLONG {high} << 32);
        OVERLAPPED slots[kSlots] {};
        ULONGLONG next = 0;
        int inFlight = 0;
        const auto issue = [&](int slot) {
            slots[slot].Offset = static_cast<DWORD>(next);
            slots[slot].OffsetHigh = static_cast<DWORD>(next >> 32);
            ReadFile(file, block + size_t {kBlock} * slot, kBlock, nullptr, &slots[slot]);
            next += kBlock;
            ++inFlight;
        };
        for (int slot = 0; slot < kSlots; ++slot) {
            slots[slot].hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            if (next < size) {
                issue(slot);
            }
        }
        for (int slot = 0; inFlight > 0; slot = (slot + 1) % kSlots) {
            DWORD bytes = 0;
            if (!GetOverlappedResult(file, &slots[slot], &bytes, TRUE)) {
                std::fprintf(stderr, "read failed: %u\n", GetLastError());
                return 1;
            }
            --inFlight;
            consumer.Feed(block + size_t {kBlock} * slot, bytes);
            total += bytes;
            if (next < size) {
                issue(slot);
            }
        }
        for (OVERLAPPED& slot : slots) {
            CloseHandle(slot.hEvent);
        }
    }
    CloseHandle(file);
    const std::uint64_t check = consumer.End();
    std::printf("large %s %s %.3f s (%llu bytes, %llu)\n", mode.c_str(), kind.c_str(), Seconds(start),
                static_cast<unsigned long long>(total), static_cast<unsigned long long>(check & 1));
    std::free(block);
    return 0;
}

struct SmallRun {
    std::vector<std::string> files;
    std::atomic<size_t> next {0};
    std::string mode;
    std::string kind;
    std::atomic<std::uint64_t> check {0};
};

void SmallWorker(SmallRun& run)
{
    Consumer consumer(run.kind);
    char* block = static_cast<char*>(std::aligned_alloc(4096, kBlock));
    std::memset(block, 0, kBlock);
    char* reuse = nullptr;
    size_t reuseSize = 0;
    for (;;) {
        const size_t index = run.next.fetch_add(1);
        if (index >= run.files.size()) {
            break;
        }
        const std::string& path = run.files[index];
        consumer.Begin();
        if (run.mode == "lookup") {
            WIN32_FIND_DATAW data;
            FindClose(FindFirstFileExW(platform::WideFromBytes(path).c_str(), FindExInfoStandard, &data, FindExSearchNameMatch, nullptr, 0));
        } else if (run.mode == "view") {
            const std::wstring name = platform::WideFromBytes(path);
            WIN32_FIND_DATAW data;
            const HANDLE find = FindFirstFileExW(name.c_str(), FindExInfoStandard, &data, FindExSearchNameMatch, nullptr, 0);
            FindClose(find);
            const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            const HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, data.nFileSizeLow, nullptr);
            const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
            consumer.Feed(static_cast<const char*>(view), data.nFileSizeLow);
            UnmapViewOfFile(view);
            CloseHandle(mapping);
            CloseHandle(file);
        } else if (run.mode == "floor") {
            const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            while (read(fd, block, kBlock) > 0) {
            }
            close(fd);
        } else {
            struct stat info {};
            fstatat(AT_FDCWD, path.c_str(), &info, AT_SYMLINK_NOFOLLOW);
            const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            const auto size = static_cast<size_t>(info.st_size);
            if (run.mode == "mmap") {
                void* view = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
                consumer.Feed(static_cast<const char*>(view), size);
                munmap(view, size);
            } else if (run.mode == "pread") {
                char* bytes = static_cast<char*>(std::malloc(size));
                pread(fd, bytes, size, 0);
                consumer.Feed(bytes, size);
                std::free(bytes);
            } else {
                if (reuseSize < size) {
                    std::free(reuse);
                    reuseSize = (size + 0xFFFF) & ~size_t {0xFFFF};
                    reuse = static_cast<char*>(std::aligned_alloc(4096, reuseSize));
                }
                pread(fd, reuse, size, 0);
                consumer.Feed(reuse, size);
            }
            close(fd);
        }
        run.check += consumer.End();
    }
    std::free(reuse);
    std::free(block);
}

int Small(const char* list, const std::string& mode, const std::string& kind)
{
    SmallRun run;
    run.mode = mode;
    run.kind = kind;
    std::ifstream names(list);
    for (std::string line; std::getline(names, line);) {
        if (!line.empty()) {
            run.files.push_back(line);
        }
    }
    const auto start = std::chrono::steady_clock::now();
    std::thread other(SmallWorker, std::ref(run));
    SmallWorker(run);
    other.join();
    const double seconds = Seconds(start);
    std::printf("small %s %s %.4f s %.2f us/file (%zu files, %llu)\n", mode.c_str(), kind.c_str(), seconds,
                seconds * 2e6 / static_cast<double>(run.files.size()), run.files.size(),
                static_cast<unsigned long long>(run.check.load() & 1));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "large") == 0) {
        return Large(argv[2], argv[3], argv[4]);
    }
    if (argc == 5 && std::strcmp(argv[1], "small") == 0) {
        return Small(argv[2], argv[3], argv[4]);
    }
    std::fprintf(stderr, "usage: read_paths_bench large <file> <mode> <consumer> | small <list> <mode> <consumer>\n");
    return 2;
}
