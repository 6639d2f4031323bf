// The raw ways of keeping 32 reads of 1 MiB in flight over one file, round-robin, with the bytes
// fed to a consumer in file order, without the layer: what the overlapped-read engines were chosen
// from. One run prints one line with its wall time.
//
//   raw_read_modes <file> <mode> <sha256|touch>
//     read              1 MiB read() calls into one buffer, on the consumer's thread
//     ring, ringasync   io_uring, reaped by the consumer; ringasync with IOSQE_ASYNC
//     ringthread, ringasyncthread   the same with a completion thread that wakes the consumer
//     poolN             N threads doing pread from one queue
#include <liburing.h>
#include <openssl/evp.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kBlock = 1 << 20;
constexpr int kSlots = 32;
constexpr std::uint64_t kStop = ~std::uint64_t {0};

struct Slot {
    std::atomic<int> done {0};
    long result = 0;
};

void Finish(Slot& slot, long result)
{
    slot.result = result;
    slot.done.store(1, std::memory_order_release);
    slot.done.notify_one();
}

void WaitFor(Slot& slot)
{
    while (slot.done.load(std::memory_order_acquire) == 0) {
        slot.done.wait(0);
    }
}

class Consumer {
public:
    explicit Consumer(bool sha) : sha_(sha)
    {
        context_ = EVP_MD_CTX_new();
        EVP_DigestInit_ex(context_, EVP_sha256(), nullptr);
    }
    ~Consumer() { EVP_MD_CTX_free(context_); }
    void Feed(const char* data, size_t size)
    {
        if (sha_) {
            EVP_DigestUpdate(context_, data, size);
            return;
        }
        for (size_t i = 0; i < size; i += 64) {
            sum_ += static_cast<unsigned char>(data[i]);
        }
    }

private:
    bool sha_;
    EVP_MD_CTX* context_;
    std::uint64_t sum_ = 0;
};

class ReaderPool {
public:
    struct Job {
        int fd;
        char* buffer;
        off_t offset;
        Slot* slot;
    };
    explicit ReaderPool(int threads)
    {
        for (int i = 0; i < threads; ++i) {
            threads_.emplace_back([this] { Run(); });
        }
    }
    ~ReaderPool()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        queued_.notify_all();
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    void Push(const Job& job)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back(job);
        }
        queued_.notify_one();
    }

private:
    void Run()
    {
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            queued_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (jobs_.empty()) {
                return;
            }
            const Job job = jobs_.front();
            jobs_.pop_front();
            lock.unlock();
            Finish(*job.slot, static_cast<long>(pread(job.fd, job.buffer, kBlock, job.offset)));
        }
    }

    std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<Job> jobs_;
    std::vector<std::thread> threads_;
    bool stop_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: raw_read_modes <file> <mode> <sha256|touch>\n");
        return 2;
    }
    const std::string mode = argv[2];
    const int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::vector<char> block(kSlots * kBlock);
    Consumer consumer(std::strcmp(argv[3], "sha256") == 0);
    std::vector<Slot> slots(kSlots);
    const auto start = std::chrono::steady_clock::now();
    off_t next = 0;
    int inFlight = 0;
    const auto consume = [&](auto issue, auto wait) {
        for (int slot = 0; slot < kSlots && next < info.st_size; ++slot, next += kBlock, ++inFlight) {
            issue(slot);
        }
        for (int slot = 0; inFlight > 0; slot = (slot + 1) % kSlots) {
            wait(slot);
            --inFlight;
            consumer.Feed(&block[slot * kBlock], static_cast<size_t>(slots[slot].result));
            if (next < info.st_size) {
                issue(slot);
                next += kBlock;
                ++inFlight;
            }
        }
    };
    if (mode == "read") {
        for (ssize_t got; (got = read(fd, block.data(), kBlock)) > 0;) {
            consumer.Feed(block.data(), static_cast<size_t>(got));
        }
    } else if (mode.rfind("pool", 0) == 0) {
        ReaderPool pool(std::atoi(mode.c_str() + 4));
        consume([&](int slot) { slots[slot].done = 0; pool.Push({fd, &block[slot * kBlock], next, &slots[slot]}); },
                [&](int slot) { WaitFor(slots[slot]); });
    } else {
        const bool async = mode.find("async") != std::string::npos;
        const bool reaper = mode.find("thread") != std::string::npos;
        io_uring ring;
        if (const int error = io_uring_queue_init(64, &ring, 0); error != 0) {
            std::fprintf(stderr, "io_uring_queue_init: %s\n", std::strerror(-error));
            return 1;
        }
        std::mutex submitting;
        const auto submit = [&](std::uint64_t data, auto prepare) {
            std::lock_guard<std::mutex> lock(submitting);
            io_uring_sqe* sqe = io_uring_get_sqe(&ring);
            prepare(sqe);
            io_uring_sqe_set_data64(sqe, data);
            io_uring_submit(&ring);
        };
        const auto reap = [&]() {
            io_uring_cqe* cqe = nullptr;
            while (io_uring_wait_cqe(&ring, &cqe) != 0) {
            }
            const std::uint64_t data = cqe->user_data;
            const long result = cqe->res;
            io_uring_cqe_seen(&ring, cqe);
            if (data != kStop) {
                Finish(slots[data], result);
            }
            return data;
        };
        std::thread completions;
        if (reaper) {
            completions = std::thread([&] {
                while (reap() != kStop) {
                }
            });
        }
        consume(
            [&](int slot) {
                slots[slot].done = 0;
                submit(slot, [&](io_uring_sqe* sqe) {
                    io_uring_prep_read(sqe, fd, &block[slot * kBlock], kBlock, static_cast<std::uint64_t>(next));
                    sqe->flags |= async ? IOSQE_ASYNC : 0;
                });
            },
            [&](int slot) {
                if (reaper) {
                    WaitFor(slots[slot]);
                    return;
                }
                while (slots[slot].done.load() == 0) {
                    reap();
                }
            });
        if (reaper) {
            submit(kStop, [](io_uring_sqe* sqe) { io_uring_prep_nop(sqe); });
            completions.join();
        }
        io_uring_queue_exit(&ring);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("raw %s %s %.3f s\n", mode.c_str(), argv[3], seconds);
    return 0;
}
