// Throughput of the checksum entries and of every class variant this processor runs, next to
// the peers in the same binary: libdeflate, ISA-L and zlib, plus a single-stream CRC32
// instruction loop for CRC-32C. Sizes 64 B, 1 KiB, 64 KiB and 1 MiB, single thread, median of
// repetitions. Ends with one line per peer, algorithm and size:
//   vs <peer> <algorithm> <size> <ratio>
// where ratio is the dispatched entry's median CPU time over the peer's (below 1: we are
// faster).
//
// --callgrind <implementation> <algorithm>: instead of benchmarking, runs that implementation
// over 1 MiB 64 times, for instruction counts under valgrind --tool=callgrind.
//
// --crossover: instead, the class 5 CRC kernels on 128-bit registers against the wide ones at
// every multiple of 8 bytes up to 512, ending with one line per algorithm:
//   crossover <algorithm> <length>
// the shortest length from which the wide kernel measured faster at every length above.
#include <benchmark/benchmark.h>
#include <isa-l/crc.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "crc32c_single_stream.h"
#include "median_collector.h"
#include "tools/Sumwise/checksum/checksum.h"
#include "tools/Sumwise/checksum/cpu_features.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace {

using checksum::kKernelsByClass;

constexpr size_t kSizes[] = {64, 1024, 64 * 1024, 1024 * 1024};
constexpr const char* kOurs = "ours";

struct Implementation {
    std::string algorithm;  // crc32c, crc32, adler32
    std::string name;       // "ours", "Class2Clmul", "libdeflate", ...
    std::function<uint32_t(const uint8_t*, size_t, uint32_t)> run;
};

uint32_t OursCrc32c(const uint8_t* data, size_t length, uint32_t state)
{
    checksum::Crc32cUpdate(data, static_cast<uint32_t>(length), &state);
    return state;
}

uint32_t OursCrc32(const uint8_t* data, size_t length, uint32_t state)
{
    checksum::Crc32Update(data, static_cast<int32_t>(length), &state);
    return state;
}

uint32_t OursAdler32(const uint8_t* data, size_t length, uint32_t state)
{
    checksum::Adler32Update(data, static_cast<int32_t>(length), &state);
    return state;
}

std::vector<Implementation> Implementations()
{
    std::vector<Implementation> list = {
        {"crc32c", kOurs, OursCrc32c},
        {"crc32c", "single-stream", Crc32cSingleStream},
        {"crc32c", "isal",
         [](const uint8_t* d, size_t n, uint32_t s) {
             return crc32_iscsi(const_cast<uint8_t*>(d), static_cast<int>(n), s);
         }},
        {"crc32", kOurs, OursCrc32},
        {"crc32", "libdeflate", [](const uint8_t* d, size_t n, uint32_t s) { return libdeflate_crc32(s, d, n); }},
        {"crc32", "isal", [](const uint8_t* d, size_t n, uint32_t s) { return crc32_gzip_refl(s, d, n); }},
        {"crc32", "zlib",
         [](const uint8_t* d, size_t n, uint32_t s) {
             return static_cast<uint32_t>(crc32(s, d, static_cast<uInt>(n)));
         }},
        {"adler32", kOurs, OursAdler32},
        {"adler32", "libdeflate", [](const uint8_t* d, size_t n, uint32_t s) { return libdeflate_adler32(s, d, n); }},
        {"adler32", "zlib",
         [](const uint8_t* d, size_t n, uint32_t s) {
             return static_cast<uint32_t>(adler32(s, d, static_cast<uInt>(n)));
         }},
    };
    // Every distinct class variant that this processor can run.
    const checksum::ClassChoice machine =
        checksum::SelectProcessorClass(checksum::ProcessorFeatures());
    std::vector<checksum::CrcKernel> seen;
    const auto add = [&](const char* algorithm, checksum::CrcKernel kernel, int32_t c,
                         const char* suffix, uint64_t needs = 0) {
        if (kernel == nullptr || c > machine.processorClass ||
            (machine.enabledFeatures & needs) != needs ||
            std::find(seen.begin(), seen.end(), kernel) != seen.end()) {
            return;
        }
        seen.push_back(kernel);
        list.push_back({algorithm, "Class" + std::to_string(c) + suffix, kernel});
    };
    for (int32_t c = 0; c < checksum::kProcessorClassCount; ++c) {
        add("crc32c", kKernelsByClass[c].crc32cClmul == nullptr ? kKernelsByClass[c].crc32c
                                                                : kKernelsByClass[c].crc32cClmul,
            c, kKernelsByClass[c].crc32cClmul == nullptr ? "" : "Clmul");
        add("crc32c", kKernelsByClass[c].crc32cTables, c, "Tables");
        add("crc32c", kKernelsByClass[c].crc32cWide, c, "Wide", checksum::kWideCrcFeatures);
        add("crc32", kKernelsByClass[c].crc32Fold == nullptr ? kKernelsByClass[c].crc32
                                                             : kKernelsByClass[c].crc32Fold,
            c, kKernelsByClass[c].crc32Fold == nullptr ? "" : "Fold");
        add("crc32", kKernelsByClass[c].crc32Wide, c, "Wide", checksum::kWideCrcFeatures);
        add("adler32", kKernelsByClass[c].adler32, c, "");
    }
    return list;
}

const uint8_t* BenchmarkData()
{
    static const std::vector<uint8_t> storage = [] {
        std::vector<uint8_t> bytes(kSizes[3] + 64);
        std::mt19937 generator(1);
        for (auto& b : bytes) {
            b = static_cast<uint8_t>(generator());
        }
        return bytes;
    }();
    const auto address = reinterpret_cast<uintptr_t>(storage.data());
    return storage.data() + (64 - address % 64) % 64;
}

std::string BenchmarkName(const Implementation& impl, size_t size)
{
    return impl.algorithm + "/" + impl.name + "/" + std::to_string(size);
}

// The part that callgrind measures (--toggle-collect=*RepeatOverMebibyte*): 64 MiB in all.
[[gnu::noinline]] uint32_t RepeatOverMebibyte(const Implementation& impl, const uint8_t* data)
{
    uint32_t value = 0;
    for (int i = 0; i < 64; ++i) {
        value = impl.run(data, kSizes[3], value);
    }
    return value;
}

int RunUnderCallgrind(const std::string& name, const std::string& algorithm)
{
    for (const Implementation& impl : Implementations()) {
        if (impl.name == name && impl.algorithm == algorithm) {
            const uint32_t value = RepeatOverMebibyte(impl, BenchmarkData());
            std::printf("%s %s over 64 MiB: %08x\n", algorithm.c_str(), name.c_str(), value);
            return 0;
        }
    }
    std::fprintf(stderr, "no implementation %s of %s here\n", name.c_str(), algorithm.c_str());
    return 1;
}

// One throughput benchmark: `impl` over the first `size` bytes, each call continuing the last.
void RegisterThroughput(const Implementation& impl, size_t size)
{
    benchmark::RegisterBenchmark(
        BenchmarkName(impl, size).c_str(),
        [&impl, size](benchmark::State& state) {
            const uint8_t* data = BenchmarkData();
            uint32_t value = 0;
            for (auto _ : state) {
                value = impl.run(data, size, value);
                benchmark::DoNotOptimize(value);
            }
            state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
        })
        ->Repetitions(5)
        ->ReportAggregatesOnly(true)
        ->MinTime(0.05);
}

// The kernels that the class 5 entries choose between by length: the 128-bit kernel and the
// wide one, for each algorithm that has a wide kernel on this processor.
struct CrossoverPair {
    std::string algorithm;
    std::string narrow;
    std::string wide;
};
constexpr size_t kCrossoverStep = 8;
constexpr size_t kCrossoverLongest = 512;

std::vector<CrossoverPair> CrossoverPairs(const std::vector<Implementation>& implementations)
{
    std::vector<CrossoverPair> pairs;
    for (const CrossoverPair& pair : {CrossoverPair{"crc32c", "Class5Clmul", "Class5Wide"},
                                      CrossoverPair{"crc32", "Class5Fold", "Class5Wide"}}) {
        const auto present = [&](const std::string& name) {
            return std::any_of(implementations.begin(), implementations.end(),
                               [&](const Implementation& impl) {
                                   return impl.algorithm == pair.algorithm && impl.name == name;
                               });
        };
        if (present(pair.narrow) && present(pair.wide)) {
            pairs.push_back(pair);
        }
    }
    return pairs;
}

// The shortest measured length from which the wide kernel's median is below the narrow
// one's at every measured length.
void PrintCrossovers(const std::vector<CrossoverPair>& pairs,
                     const std::map<std::string, double>& medians)
{
    for (const CrossoverPair& pair : pairs) {
        size_t crossover = kCrossoverLongest + kCrossoverStep;
        for (size_t length = kCrossoverLongest; length >= kCrossoverStep; length -= kCrossoverStep) {
            const auto narrow = medians.find(BenchmarkName({pair.algorithm, pair.narrow, nullptr}, length));
            const auto wide = medians.find(BenchmarkName({pair.algorithm, pair.wide, nullptr}, length));
            if (narrow == medians.end() || wide == medians.end() || wide->second >= narrow->second) {
                break;
            }
            crossover = length;
        }
        if (crossover <= kCrossoverLongest) {
            std::printf("crossover %s %zu\n", pair.algorithm.c_str(), crossover);
        }
    }
}

// Our dispatched entry's median over each peer's, by algorithm and size.
void PrintRatios(const std::vector<Implementation>& implementations,
                 const std::map<std::string, double>& medians)
{
    for (const Implementation& peer : implementations) {
        if (peer.name == kOurs || peer.name.rfind("Class", 0) == 0) {
            continue;
        }
        for (size_t size : kSizes) {
            const auto ours = medians.find(BenchmarkName({peer.algorithm, kOurs, nullptr}, size));
            const auto theirs = medians.find(BenchmarkName(peer, size));
            if (ours != medians.end() && theirs != medians.end()) {
                std::printf("vs %s %s %zu %.3f\n", peer.name.c_str(), peer.algorithm.c_str(),
                            size, ours->second / theirs->second);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--callgrind") == 0) {
        return RunUnderCallgrind(argv[2], argv[3]);
    }
    const bool crossover = argc >= 2 && std::strcmp(argv[1], "--crossover") == 0;
    if (crossover) {
        argv[1] = argv[0];
        --argc;
        ++argv;
    }
    benchmark::Initialize(&argc, argv);
    const std::vector<Implementation> implementations = Implementations();
    const std::vector<CrossoverPair> pairs = CrossoverPairs(implementations);
    for (const Implementation& impl : implementations) {
        if (!crossover) {
            for (size_t size : kSizes) {
                RegisterThroughput(impl, size);
            }
            continue;
        }
        for (const CrossoverPair& pair : pairs) {
            if (impl.algorithm == pair.algorithm && (impl.name == pair.narrow || impl.name == pair.wide)) {
                for (size_t length = kCrossoverStep; length <= kCrossoverLongest; length += kCrossoverStep) {
                    RegisterThroughput(impl, length);
                }
            }
        }
    }
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (crossover) {
        PrintCrossovers(pairs, reporter.medians);
    } else {
        PrintRatios(implementations, reporter.medians);
    }
    return 0;
}
