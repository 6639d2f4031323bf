// The per-file costs of the Linux layer beside plain OpenSSL and plain mmap, in one run.
// - One hash object (create, hash 64 bytes, read the value, destroy) for SHA-256 and MD5
//   through the layer's CryptoAPI; against OpenSSL with the digest fetched once and a new
//   EVP_MD_CTX per object (the floor the layer builds on), and with the digest looked up by name
//   per object.
// - One 1 MiB and one 32 MiB read buffer (commit, write every page, release) through VirtualAlloc;
//   against mmap with demand faults.
// Ends with one line per peer and case: vs <peer> <case> <ratio>, the layer's median CPU time
// over the peer's (below 1: the layer is faster).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "median_collector.h"
#include "platform/platform.h"

namespace {

const unsigned char kData[64] = {1, 2, 3};
HCRYPTPROV g_provider = 0;

void Layer(benchmark::State& state, ALG_ID algorithm)
{
    BYTE value[64];
    for (auto _ : state) {
        HCRYPTHASH hash = 0;
        DWORD length = sizeof value;
        CryptCreateHash(g_provider, algorithm, 0, 0, &hash);
        CryptHashData(hash, kData, sizeof kData, 0);
        CryptGetHashParam(hash, HP_HASHVAL, value, &length, 0);
        CryptDestroyHash(hash);
        benchmark::DoNotOptimize(value);
    }
}

// OpenSSL used directly: a new context per object, made ready by `init`.
template <typename Init>
void Evp(benchmark::State& state, Init init)
{
    unsigned char value[EVP_MAX_MD_SIZE];
    for (auto _ : state) {
        EVP_MD_CTX* context = EVP_MD_CTX_new();
        init(context);
        EVP_DigestUpdate(context, kData, sizeof kData);
        unsigned int length = 0;
        EVP_DigestFinal_ex(context, value, &length);
        EVP_MD_CTX_free(context);
        benchmark::DoNotOptimize(value);
    }
}

void EvpFetchedOnce(benchmark::State& state, const EVP_MD* digest)
{
    Evp(state, [digest](EVP_MD_CTX* context) { EVP_DigestInit_ex2(context, digest, nullptr); });
}

void EvpByName(benchmark::State& state, const char* name)
{
    Evp(state, [name](EVP_MD_CTX* context) { EVP_DigestInit_ex(context, EVP_get_digestbyname(name), nullptr); });
}

void Touch(unsigned char* bytes, size_t size)
{
    for (size_t at = 0; at < size; at += 4096) {
        bytes[at] = 1;
    }
    benchmark::ClobberMemory();
}

void Committed(benchmark::State& state, size_t size)
{
    for (auto _ : state) {
        auto* bytes = static_cast<unsigned char*>(VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE));
        Touch(bytes, size);
        VirtualFree(bytes, 0, MEM_RELEASE);
    }
}

void Mapped(benchmark::State& state, size_t size)
{
    for (auto _ : state) {
        void* bytes = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        Touch(static_cast<unsigned char*>(bytes), size);
        munmap(bytes, size);
    }
}

struct Pair {
    const char* ours;
    const char* peer;
    const char* peerName;
    const char* what;
};

constexpr Pair kPairs[] = {
    {"layer/sha256", "evp-fetched-once/sha256", "evp-fetched-once", "sha256"},
    {"layer/md5", "evp-fetched-once/md5", "evp-fetched-once", "md5"},
    {"layer/sha256", "evp-by-name/sha256", "evp-by-name", "sha256"},
    {"layer/md5", "evp-by-name/md5", "evp-by-name", "md5"},
    {"virtual-alloc/1MiB", "mmap-demand/1MiB", "mmap-demand", "1MiB"},
    {"virtual-alloc/32MiB", "mmap-demand/32MiB", "mmap-demand", "32MiB"},
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (!CryptAcquireContextW(&g_provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        std::fprintf(stderr, "no provider: %08x\n", GetLastError());
        return 1;
    }
    EVP_MD* sha256 = EVP_MD_fetch(nullptr, "SHA2-256", nullptr);
    EVP_MD* md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
    const auto add = [](const char* name, auto run) {
        benchmark::RegisterBenchmark(name, run)->Repetitions(7)->ReportAggregatesOnly(true)->MinTime(0.1);
    };
    add("layer/sha256", [](benchmark::State& s) { Layer(s, CALG_SHA_256); });
    add("evp-fetched-once/sha256", [sha256](benchmark::State& s) { EvpFetchedOnce(s, sha256); });
    add("evp-by-name/sha256", [](benchmark::State& s) { EvpByName(s, "SHA256"); });
    add("layer/md5", [](benchmark::State& s) { Layer(s, CALG_MD5); });
    add("evp-fetched-once/md5", [md5](benchmark::State& s) { EvpFetchedOnce(s, md5); });
    add("evp-by-name/md5", [](benchmark::State& s) { EvpByName(s, "MD5"); });
    for (const size_t mebibytes : {1, 32}) {
        const std::string size = std::to_string(mebibytes) + "MiB";
        add(("virtual-alloc/" + size).c_str(), [mebibytes](benchmark::State& s) { Committed(s, mebibytes << 20); });
        add(("mmap-demand/" + size).c_str(), [mebibytes](benchmark::State& s) { Mapped(s, mebibytes << 20); });
    }
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const Pair& pair : kPairs) {
        const auto ours = reporter.medians.find(pair.ours);
        const auto theirs = reporter.medians.find(pair.peer);
        if (ours != reporter.medians.end() && theirs != reporter.medians.end()) {
            printf("vs %s %s %.3f\n", pair.peerName, pair.what, ours->second / theirs->second);
        }
    }
    EVP_MD_free(sha256);
    EVP_MD_free(md5);
    CryptReleaseContext(g_provider, 0);
    return 0;
}
