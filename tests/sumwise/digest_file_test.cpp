// DigestFile in process: every algorithm against digests that other implementations computed,
// the three reading ways around their thresholds agreeing, 64-bit offsets above 4 GiB, the
// failure codes, and files that change size while they are hashed.
#include "tools/Sumwise/digest_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "tools/Sumwise/checksum/checksum.h"
#include "tools/Sumwise/digest_text.h"
#include "tools/Sumwise/digester.h"

namespace {
namespace fs = std::filesystem;

// Bytes of a 32-bit linear congruential generator seeded with the size, so that every size has
// its own content; the reference digests below were computed from the same bytes elsewhere.
std::vector<char> GeneratedBytes(size_t size)
{
    std::vector<char> bytes(size);
    auto x = static_cast<std::uint32_t>(size);
    for (auto& byte : bytes) {
        x = x * 1664525u + 1013904223u;
        byte = static_cast<char>(x >> 24);
    }
    return bytes;
}

void WriteFile(const fs::path& path, const std::vector<char>& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Result {
    HRESULT hr = E_FAIL;
    std::wstring text;
    ULONGLONG bytes = 0;
};

HCRYPTPROV g_provider = 0; // acquired by the suite
Result Digest(const fs::path& path, DWORD selector)
{
    BYTE digest[64];
    DWORD length = sizeof digest;
    Result result;
    std::atomic<ULONGLONG> bytesFed{0};
    Digester digester(selector, g_provider, bytesFed);
    result.hr = DigestFile(path.wstring().c_str(), digester, digest, &length, &result.bytes);
    if (SUCCEEDED(result.hr)) {
        wchar_t text[kDigestTextChars];
        FormatDigestText(digest, length, text);
        result.text = text;
    }
    return result;
}

class DigestFileTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(CryptAcquireContextW(&g_provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT));
    }
    static void TearDownTestSuite() { CryptReleaseContext(g_provider, 0); }
};

TEST_F(DigestFileTest, EveryAlgorithmMatchesIndependentDigestsOnBothSidesOfTheMappingLimit)
{
    const DWORD selectors[] = {0x8002, 0x8003, 0x8004, 0x800C, 0x800D, 0x800E, 0, 1, 2};
    const struct {
        size_t size;
        const wchar_t* digests[9]; // in the order of `selectors`
    } cases[] = {
        {3,
         {L"0807ab4058389030da15bbdaa296475a", L"6d01fbc9e743f6c1c7df52fd3ea5a367",
          L"cc9459db628f0f7a8469e5a386d4851b0c8ce320",
          L"0040275ff6f0c231032f5ea0b1c89f7b357a41859cd12976dcba4d9f5cb3a761",
          L"119093b2e70c5e0029e196bd60b9fa1d7b017f3112aa16922306e035f82c5e1d7bf1e84a902155128067d9a0aece6408",
          L"d8c5a030df5159e6c91bc7c6106755b120e9d02d7e02941fe5c502128c33f97c77b67b67a4d9aac18c1832a83beebe87cdb49c86a8526bc0dff32b34a1a4973b",
          L"f2903a29", L"536adde4", L"02ae01a8"}},
        {kMappingLimit - 1,
         {L"546d68688006f6b02158a495e30e06ac", L"ecf12ddd6d5293ecc695cdc407e8aaec",
          L"6d4e95966aa662a7fa70a7650c0cc49e0e7c2287",
          L"0eb29023e89732b81174c60e8163148756173d9903e252902ecbe6c41c5072e5",
          L"4482e37e63f765da570b5981b0e2c403c47e7815f90997e82bab96d3fec2a539d8baa9a11489734159e55778d4049754",
          L"0824602abde78f803fffe3c4436341690a2476f8b4d6de613181bb99b8bdc285f35bd4fe41ee26b0b5e4f52036a2c804d4e8f62dca0815d76d080ba6315adf85",
          L"23752a3f", L"064e3982", L"b152af01"}},
        {kMappingLimit,
         {L"91e2bf870b83ec9511990dae12e37eb0", L"a78b087cec9cc1a78da831e14c9ae24d",
          L"4d9aed7fba92f157d41b34ceee5fb7883e00ca39",
          L"7e0fe422759d92efea68c7b80de9dc5ba4317aa8b0d53c21b80d790ca31e95b8",
          L"3ba678d18e0f799b8ffb4dbee98cbc2980f7aa5630525a8b8536eee3dc478ffcdd6d9cd10ae8c6a326e1eb5d360ee4eb",
          L"dd494753a7558ede76128f8104acb56bef7dfe9306fff09ad9c3f8581cc99f29816f2e7134375724ee4dc36be8dbe2a9be8adebf09168c98dd96b9426008c3e8",
          L"73543105", L"319d14b9", L"f1198f5a"}},
    };
    testing_support::TempDir dir(true);
    for (const auto& c : cases) {
        const fs::path file = dir.path() / ("f" + std::to_string(c.size));
        WriteFile(file, GeneratedBytes(c.size));
        for (size_t a = 0; a < std::size(selectors); ++a) {
            const Result result = Digest(file, selectors[a]);
            ASSERT_EQ(result.hr, S_OK) << c.size << " " << a;
            EXPECT_EQ(result.text, c.digests[a]) << c.size << " " << a;
            EXPECT_EQ(result.bytes, c.size);
        }
    }
}

// The CRC-32C of a file of `size` bytes, zero but for `marker` at each offset of `markers`,
// computed in memory in pieces unrelated to the file's blocks.
std::uint32_t Crc32cOfMarkedZeros(ULONGLONG size, const std::vector<ULONGLONG>& markers, char marker)
{
    std::vector<char> piece(3 * 1000 * 1000 + 7);
    std::uint32_t state = 0xFFFFFFFF;
    for (ULONGLONG offset = 0; offset < size;) {
        const auto length = static_cast<size_t>(std::min<ULONGLONG>(piece.size(), size - offset));
        std::fill(piece.begin(), piece.begin() + static_cast<long>(length), 0);
        for (const ULONGLONG at : markers) {
            if (at >= offset && at < offset + length) {
                piece[static_cast<size_t>(at - offset)] = marker;
            }
        }
        checksum::Crc32cUpdate(piece.data(), static_cast<std::uint32_t>(length), &state);
        offset += length;
    }
    return ~state;
}

fs::path MarkedSparseFile(const fs::path& path, ULONGLONG size, const std::vector<ULONGLONG>& markers, char marker)
{
    std::ofstream(path, std::ios::binary).close();
    fs::resize_file(path, size);
    std::fstream stream(path, std::ios::binary | std::ios::in | std::ios::out);
    for (const ULONGLONG at : markers) {
        stream.seekp(static_cast<std::streamoff>(at));
        stream.put(marker);
    }
    return path;
}

std::wstring Hex(std::uint32_t value)
{
    wchar_t text[16];
    swprintf(text, 16, L"%08x", value);
    return text;
}

TEST_F(DigestFileTest, TheReadingWaysAgreeAroundTheOverlappedLimitAndAboveFourGiB)
{
    testing_support::TempDir dir(true);
    const struct {
        ULONGLONG size;
    } cases[] = {{kOverlappedLimit - 1}, {kOverlappedLimit}, {(4ULL << 30) + 3 * kBlockSize + 12345}};
    for (const auto& c : cases) {
        // Markers in the first and last blocks, and where a 32-bit offset would wrap.
        std::vector<ULONGLONG> markers = {0, 1, kBlockSize + 3, c.size - kBlockSize - 1, c.size - 1};
        if (c.size > (4ULL << 30)) {
            markers.push_back((4ULL << 30) + 17);
        }
        const fs::path file = MarkedSparseFile(dir.path() / "sparse", c.size, markers, 'x');
        const Result result = Digest(file, 0);
        ASSERT_EQ(result.hr, S_OK) << c.size;
        EXPECT_EQ(result.bytes, c.size);
        EXPECT_EQ(result.text, Hex(Crc32cOfMarkedZeros(c.size, markers, 'x'))) << c.size;
        fs::remove(file);
    }
}

TEST_F(DigestFileTest, FailureCodes)
{
    testing_support::TempDir dir;
    dir.File("empty", 0);
    const struct {
        fs::path path;
        HRESULT hr;
    } cases[] = {
        {dir.path() / "missing", static_cast<HRESULT>(0x80070002)},
        {dir.path() / "missing" / "file", static_cast<HRESULT>(0x80070003)},
        {dir.path() / "empty", kHrFileInvalid},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Digest(c.path, 0x8003).hr, c.hr) << c.path;
    }
}

TEST_F(DigestFileTest, ALinkIsHashedAsTheFileItLeadsTo)
{
    testing_support::TempDir dir;
    const fs::path target = dir.File("target", 9);
    std::error_code error;
    fs::create_symlink(target, dir.path() / "link", error);
    if (error) {
        GTEST_SKIP() << "this system cannot make a symbolic link here: " << error.message();
    }
    const Result direct = Digest(target, 2);
    const Result linked = Digest(dir.path() / "link", 2);
    ASSERT_EQ(linked.hr, S_OK);
    EXPECT_EQ(linked.text, direct.text);
    EXPECT_EQ(linked.bytes, 9u);
}

// While one thread hashes a file over and over, another shrinks and regrows it: every result is
// a digest or a failure code, never a crash, whichever way the size calls for.
TEST_F(DigestFileTest, FilesThatShrinkOrGrowWhileTheyAreHashed)
{
    testing_support::TempDir dir(true);
    const ULONGLONG sizes[] = {64 * 1024, kMappingLimit + kBlockSize / 2, kOverlappedLimit + kBlockSize};
    for (const ULONGLONG size : sizes) {
        const fs::path file = MarkedSparseFile(dir.path() / "changing", size, {0, size - 1}, 'y');
        std::atomic<bool> done{false};
        std::thread changer([&] {
            for (int round = 0; !done.load(); ++round) {
                std::error_code ignored;
                fs::resize_file(file, round % 2 == 0 ? size / 3 : size + kBlockSize, ignored);
                std::this_thread::yield();
            }
        });
        const int runs = size > kOverlappedLimit ? 3 : 20;
        for (int run = 0; run < runs; ++run) {
            const Result result = Digest(file, 1);
            EXPECT_TRUE(result.hr == S_OK || FAILED(result.hr)) << size;
        }
        done = true;
        changer.join();
    }
}

} // namespace
