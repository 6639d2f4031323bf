// The digests of the CryptoAPI subset: published vectors fed whole and in random pieces, the
// size rules of the hash value, the refusals, many threads on one provider, and MD4's legacy
// provider in fresh processes.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <latch>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

DWORD Code(HRESULT hr)
{
    return static_cast<DWORD>(hr);
}

std::string Hex(const BYTE* bytes, DWORD length)
{
    std::string hex;
    for (DWORD i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        hex += pair;
    }
    return hex;
}

HCRYPTPROV Acquire()
{
    HCRYPTPROV provider = 0;
    EXPECT_TRUE(CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT));
    return provider;
}

// The value of `bytes` as hex, fed in one piece, or in random pieces (empty ones too) when
// `split` is given; the failure code in brackets when a call fails.
std::string Digest(HCRYPTPROV provider, ALG_ID algorithm, const std::string& bytes, std::mt19937* split = nullptr)
{
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(provider, algorithm, 0, 0, &hash)) {
        return "[" + std::to_string(GetLastError()) + "]";
    }
    size_t at = 0;
    do {
        const size_t piece = split != nullptr ? (*split)() % 200 : bytes.size();
        const size_t length = std::min(piece, bytes.size() - at);
        EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data() + at), static_cast<DWORD>(length), 0));
        at += length;
    } while (at < bytes.size());
    BYTE value[64];
    DWORD length = sizeof value;
    EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, value, &length, 0));
    EXPECT_TRUE(CryptDestroyHash(hash));
    return Hex(value, length);
}

struct Vector {
    ALG_ID algorithm;
    std::string input;
    const char* value;
};

const std::string kMillion(1000000, 'a');
const std::string kDigits = "12345678901234567890123456789012345678901234567890123456789012345678901234567890";

const Vector kVectors[] = {
    {CALG_MD4, "", "31d6cfe0d16ae931b73c59d7e0c089c0"},
    {CALG_MD4, "abc", "a448017aaf21d8525fc10ae87aa6729d"},
    {CALG_MD4, kDigits, "e33b4ddc9c38f2199c3e7b164fcc0536"},
    {CALG_MD4, kMillion, "bbce80cc6bb65e5c6745e30d4eeca9a4"},
    {CALG_MD5, "", "d41d8cd98f00b204e9800998ecf8427e"},
    {CALG_MD5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {CALG_MD5, kMillion, "7707d6ae4e027c70eea2a935c2296f21"},
    {CALG_SHA1, "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {CALG_SHA1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {CALG_SHA1, kMillion, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    {CALG_SHA_256, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {CALG_SHA_256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {CALG_SHA_256, kMillion, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    {CALG_SHA_384, "",
     "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b"},
    {CALG_SHA_384, "abc",
     "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
    {CALG_SHA_384, kMillion,
     "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd87f3d8985"},
    {CALG_SHA_512, "",
     "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f"
     "63b931bd47417a81a538327af927da3e"},
    {CALG_SHA_512, "abc",
     "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd"
     "454d4423643ce80e2a9ac94fa54ca49f"},
    {CALG_SHA_512, kMillion,
     "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31b"
     "eb009c5c2c49aa2e4eadb217ad8cc09b"},
};

constexpr ALG_ID kAlgorithms[] = {CALG_MD4, CALG_MD5, CALG_SHA1, CALG_SHA_256, CALG_SHA_384, CALG_SHA_512};

TEST(CryptDigests, PublishedVectorsWholeAndInRandomPieces)
{
    const HCRYPTPROV provider = Acquire();
    std::mt19937 split(4242);
    for (const Vector& v : kVectors) {
        SCOPED_TRACE(testing::Message() << std::hex << v.algorithm << " over " << std::dec << v.input.size());
        EXPECT_EQ(v.value, Digest(provider, v.algorithm, v.input));
        EXPECT_EQ(v.value, Digest(provider, v.algorithm, v.input, &split));
    }
    EXPECT_TRUE(CryptReleaseContext(provider, 0));
}

TEST(CryptDigests, ValueSizeRules)
{
    const HCRYPTPROV provider = Acquire();
    const DWORD sizes[] = {16, 16, 20, 32, 48, 64};
    for (size_t a = 0; a < std::size(kAlgorithms); ++a) {
        SCOPED_TRACE(kAlgorithms[a]);
        HCRYPTHASH hash = 0;
        ASSERT_TRUE(CryptCreateHash(provider, kAlgorithms[a], 0, 0, &hash));
        DWORD length = 0;
        EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, nullptr, &length, 0));
        EXPECT_EQ(sizes[a], length);
        BYTE value[80];
        length = sizes[a] - 1;
        EXPECT_FALSE(CryptGetHashParam(hash, HP_HASHVAL, value, &length, 0));
        EXPECT_EQ(ERROR_MORE_DATA, GetLastError());
        EXPECT_EQ(sizes[a], length);
        // Neither the query nor the failure finished the hash.
        EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>("abc"), 3, 0));
        std::fill(std::begin(value), std::end(value), BYTE{0xEE});
        length = sizeof value;
        EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, value, &length, 0));
        EXPECT_EQ(sizes[a], length);
        EXPECT_EQ(0xEE, value[sizes[a]]); // nothing written past the value
        EXPECT_FALSE(CryptHashData(hash, reinterpret_cast<const BYTE*>("d"), 1, 0));
        EXPECT_EQ(Code(NTE_BAD_HASH_STATE), GetLastError());
        BYTE again[64];
        EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, again, &length, 0));
        EXPECT_EQ(Hex(value, sizes[a]), Hex(again, length));
        EXPECT_EQ(Digest(provider, kAlgorithms[a], "abc"), Hex(value, sizes[a]));
        EXPECT_TRUE(CryptDestroyHash(hash));
    }
    EXPECT_TRUE(CryptReleaseContext(provider, 0));
}

TEST(CryptErrors, RefusedArgumentsAndHandles)
{
    const HCRYPTPROV provider = Acquire();
    HCRYPTPROV made = 0;
    HCRYPTHASH hash = 0;
    HCRYPTHASH other = 0;
    ASSERT_TRUE(CryptCreateHash(provider, CALG_MD5, 0, 0, &hash));
    BYTE value[16];
    DWORD length = sizeof value;
    const auto acquire = [&](LPCWSTR container, LPCWSTR name, DWORD type, DWORD flags) {
        return CryptAcquireContextW(&made, container, name, type, flags);
    };
    const DWORD verify = CRYPT_VERIFYCONTEXT;
    const struct {
        std::function<BOOL()> call;
        DWORD code;
    } calls[] = {
        {[&] { return acquire(nullptr, nullptr, 1, verify); }, Code(NTE_PROV_TYPE_NOT_DEF)},
        {[&] { return acquire(nullptr, nullptr, 0, verify); }, Code(NTE_BAD_PROV_TYPE)},
        {[&] { return acquire(nullptr, nullptr, 1000, verify); }, Code(NTE_BAD_PROV_TYPE)},
        {[&] { return acquire(L"keys", nullptr, PROV_RSA_AES, verify); }, Code(NTE_BAD_KEYSET_PARAM)},
        {[&] { return acquire(nullptr, L"Another Provider", PROV_RSA_AES, verify); }, Code(NTE_BAD_KEYSET_PARAM)},
        {[&] { return acquire(nullptr, nullptr, PROV_RSA_AES, 0); }, Code(NTE_BAD_KEYSET)},
        {[&] { return acquire(nullptr, nullptr, PROV_RSA_AES, verify | 0x40); }, Code(NTE_BAD_FLAGS)},
        {[&] { return CryptAcquireContextW(nullptr, nullptr, nullptr, PROV_RSA_AES, verify); }, ERROR_INVALID_PARAMETER},
        {[&] { return CryptCreateHash(0, CALG_SHA_256, 0, 0, &other); }, Code(NTE_BAD_UID)},
        {[&] { return CryptCreateHash(provider, CALG_SHA_256, 7, 0, &other); }, Code(NTE_BAD_KEY)},
        {[&] { return CryptCreateHash(provider, CALG_SHA_256, 0, 1, &other); }, Code(NTE_BAD_FLAGS)},
        {[&] { return CryptCreateHash(provider, CALG_SHA_256, 0, 0, nullptr); }, ERROR_INVALID_PARAMETER},
        {[&] { return CryptHashData(hash, nullptr, 0, 0); }, ERROR_SUCCESS},
        {[&] { return CryptHashData(hash, nullptr, 1, 0); }, ERROR_INVALID_PARAMETER},
        {[&] { return CryptHashData(hash, value, 1, 1); }, Code(NTE_BAD_FLAGS)},
        {[&] { return CryptHashData(0, value, 1, 0); }, Code(NTE_BAD_HASH)},
        {[&] { return CryptGetHashParam(hash, 1, value, &length, 0); }, Code(NTE_BAD_TYPE)},
        {[&] { return CryptGetHashParam(hash, HP_HASHVAL, value, &length, 1); }, Code(NTE_BAD_FLAGS)},
        {[&] { return CryptGetHashParam(hash, HP_HASHVAL, value, nullptr, 0); }, ERROR_INVALID_PARAMETER},
        {[&] { return CryptGetHashParam(0, HP_HASHVAL, value, &length, 0); }, Code(NTE_BAD_HASH)},
        {[&] { return CryptDestroyHash(0); }, Code(NTE_BAD_HASH)},
        {[&] { return CryptReleaseContext(0, 0); }, Code(NTE_BAD_UID)},
    };
    for (size_t i = 0; i < std::size(calls); ++i) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(calls[i].code == ERROR_SUCCESS, calls[i].call() != FALSE) << i;
        EXPECT_EQ(calls[i].code, GetLastError()) << i;
    }
    // Keyed, composite and cipher identifiers are not hashes offered here.
    for (const ALG_ID id : {0u, 1u, 0x8001u, 0x8005u, 0x8008u, 0x8009u, 0x800Fu, 0x6610u}) {
        EXPECT_FALSE(CryptCreateHash(provider, id, 0, 0, &other)) << id;
        EXPECT_EQ(Code(NTE_BAD_ALGID), GetLastError());
    }
    // A destroyed hash is refused, its object kept for the thread's next hash or not; that next
    // hash starts empty though the destroyed one was fed and never finished.
    EXPECT_TRUE(CryptHashData(hash, value, 1, 0));
    EXPECT_TRUE(CryptDestroyHash(hash));
    EXPECT_FALSE(CryptHashData(hash, value, 1, 0));
    EXPECT_EQ(Code(NTE_BAD_HASH), GetLastError());
    EXPECT_FALSE(CryptDestroyHash(hash));
    EXPECT_EQ(Code(NTE_BAD_HASH), GetLastError());
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Digest(provider, CALG_MD5, "abc"));
    // Flags make the call fail, yet the handle is released (the leak check would see it kept).
    EXPECT_FALSE(CryptReleaseContext(provider, 1));
    EXPECT_EQ(Code(NTE_BAD_FLAGS), GetLastError());
}

// Threads create, feed, read and destroy hash objects from one provider at once, starting
// together so that the first fetch of each digest is raced too.
TEST(CryptThreads, ManyHashObjectsFromOneProvider)
{
    const HCRYPTPROV provider = Acquire();
    constexpr int kThreads = 4;
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 split(t);
            start.arrive_and_wait();
            for (int round = 0; round < 150; ++round) {
                const Vector& v = kVectors[(t + round) % std::size(kVectors)];
                if (v.input.size() < 100) {
                    EXPECT_EQ(v.value, Digest(provider, v.algorithm, v.input, &split)) << v.algorithm;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(CryptReleaseContext(provider, 0));
}

// In a fresh process, where no digest was fetched yet, with OPENSSL_MODULES set as given: the
// number of algorithms, in the order given, whose "abc" does not give its published value (or,
// for MD4 where `md4Refused`, NTE_BAD_ALGID).
int MismatchesInFreshProcess(const char* modules, const std::vector<ALG_ID>& order, bool md4Refused)
{
    if (modules != nullptr) {
        setenv("OPENSSL_MODULES", modules, 1);
    }
    const HCRYPTPROV provider = Acquire();
    int mismatches = 0;
    for (const ALG_ID algorithm : order) {
        std::string expected = "[" + std::to_string(Code(NTE_BAD_ALGID)) + "]";
        for (const Vector& v : kVectors) {
            if (v.algorithm == algorithm && v.input == "abc" && !(md4Refused && algorithm == CALG_MD4)) {
                expected = v.value;
            }
        }
        mismatches += Digest(provider, algorithm, "abc") == expected ? 0 : 1;
    }
    CryptReleaseContext(provider, 0);
    return mismatches;
}

TEST(CryptLegacyDeathTest, WithoutTheLegacyModuleOnlyMd4IsRefused)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // MD4 first and again between the others: it is refused on every call.
    const std::vector<ALG_ID> order = {CALG_MD4, CALG_MD5, CALG_SHA1, CALG_MD4, CALG_SHA_256, CALG_SHA_384, CALG_SHA_512};
    EXPECT_EXIT(std::exit(MismatchesInFreshProcess("/nonexistent", order, true)), testing::ExitedWithCode(0), "");
}

TEST(CryptLegacyDeathTest, LoadingTheLegacyProviderFirstKeepsTheDefaultOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::vector<ALG_ID> order(std::begin(kAlgorithms), std::end(kAlgorithms)); // MD4 first
    EXPECT_EXIT(std::exit(MismatchesInFreshProcess(nullptr, order, false)), testing::ExitedWithCode(0), "");
}

} // namespace
