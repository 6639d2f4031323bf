// The reading floor of the hashing benchmark: opens every file named on the command line, reads
// it in 1 MiB blocks to the end and closes it, on the number of threads given first, with
// nothing else done to the bytes. Prints the bytes read.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <threads> <file>...\n", argv[0]);
        return 2;
    }
    const int threads = std::atoi(argv[1]);
    std::atomic<int> next{2};
    std::atomic<unsigned long long> total{0};
    const auto reader = [&] {
        constexpr size_t kBlock = 1 << 20;
        std::vector<char> buffer(kBlock);
        unsigned long long bytes = 0;
        for (int i = next++; i < argc; i = next++) {
            const int fd = open(argv[i], O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                std::perror(argv[i]);
                continue;
            }
            for (ssize_t got; (got = read(fd, buffer.data(), kBlock)) > 0;) {
                bytes += static_cast<unsigned long long>(got);
            }
            close(fd);
        }
        total += bytes;
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) {
        pool.emplace_back(reader);
    }
    reader();
    for (auto& thread : pool) {
        thread.join();
    }
    std::printf("%llu bytes\n", total.load());
    return 0;
}
