// Provides CryptAcquireContextW, CryptReleaseContext, CryptCreateHash, CryptHashData,
// CryptGetHashParam and CryptDestroyHash over OpenSSL 3 (EVP_MD_fetch, EVP_Digest*).
//
// Each digest is fetched once per process, on its first CryptCreateHash, and kept until the
// process ends: fetching by name for every hash object costs a lookup in OpenSSL's method store
// each time (about 260 ns per object here, twice the cost of the rest). Every hash object has its
// own EVP_MD_CTX over the shared, read-only EVP_MD, so threads need no lock between them.
// CryptDestroyHash keeps the thread's last hash object, context included, for its next
// CryptCreateHash: a run over many small files then allocates nothing per file, and no thread
// touches the shared EVP_MD's reference count (a cache line every processor would pass around).
//
// MD4 is only in OpenSSL's legacy provider. Loading a provider explicitly normally switches off
// the automatic loading of the default one, which would make MD5 and SHA fail; the legacy
// provider is therefore loaded with the fallbacks kept (OSSL_PROVIDER_try_load with
// retain_fallbacks), and only when MD4 is first asked for. Where the module cannot be loaded
// (missing from the system, or OPENSSL_MODULES naming another folder), MD4 alone is refused.
#include "platform/posix/system/crypto.h"

#include "platform/posix/system/errors.h"
#include "platform/posix/sync/kernel_object.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <utility>

namespace {

constexpr std::uint32_t kProviderSignature = 0x43535056; // "CSPV"
constexpr std::uint32_t kHashSignature = 0x48415348;     // "HASH"

constexpr DWORD Code(HRESULT hr)
{
    return static_cast<DWORD>(hr);
}

BOOL Result(DWORD error)
{
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

struct Provider {
    std::uint32_t signature = kProviderSignature;
    ~Provider() { signature = platform::kDeadObjectSignature; }
};

struct HashObject {
    std::uint32_t signature = kHashSignature;
    bool finished = false; // the value has been read; no more data may be added
    unsigned int size = 0; // of the value, in bytes
    EVP_MD_CTX* context = nullptr;
    unsigned char value[EVP_MAX_MD_SIZE] = {};

    HashObject() = default;
    HashObject(const HashObject&) = delete;
    HashObject& operator=(const HashObject&) = delete;
    ~HashObject()
    {
        EVP_MD_CTX_free(context);
        signature = platform::kDeadObjectSignature;
    }
};

struct Algorithm {
    ALG_ID id;
    const char* name; // OpenSSL's name of the digest
    bool legacy;      // in the legacy provider
};

constexpr Algorithm kAlgorithms[] = {
    {CALG_MD4, "MD4", true},          {CALG_MD5, "MD5", false},         {CALG_SHA1, "SHA1", false},
    {CALG_SHA_256, "SHA2-256", false}, {CALG_SHA_384, "SHA2-384", false}, {CALG_SHA_512, "SHA2-512", false},
};

// One fetched digest per algorithm; null when it could not be fetched (then it stays refused:
// a provider module does not appear while the process runs).
struct FetchedDigest {
    std::once_flag once;
    EVP_MD* digest = nullptr;
};
FetchedDigest g_fetched[std::size(kAlgorithms)];

EVP_MD* Fetch(const Algorithm& algorithm)
{
    // The first call into OpenSSL sets what it loads: its configuration as always, but neither
    // its error texts nor its tables of ciphers and digests by legacy name, which fetching by
    // name from the providers never reads. They cost more start-up time than hashing a
    // thousand small files.
    OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CRYPTO_STRINGS | OPENSSL_INIT_NO_ADD_ALL_CIPHERS |
                            OPENSSL_INIT_NO_ADD_ALL_DIGESTS,
                        nullptr);
    if (algorithm.legacy && OSSL_PROVIDER_try_load(nullptr, "legacy", 1) == nullptr) {
        ERR_clear_error(); // the failure is reported as NTE_BAD_ALGID; nothing is left queued
        return nullptr;
    }
    EVP_MD* digest = EVP_MD_fetch(nullptr, algorithm.name, nullptr);
    if (digest == nullptr) {
        ERR_clear_error();
    }
    return digest;
}

// The digest for `id`, fetched on first use; null for an ALG_ID that is not offered or a digest
// that cannot be fetched.
const EVP_MD* DigestFor(ALG_ID id)
{
    for (size_t i = 0; i < std::size(kAlgorithms); ++i) {
        if (kAlgorithms[i].id == id) {
            FetchedDigest& fetched = g_fetched[i];
            std::call_once(fetched.once, [&] { fetched.digest = Fetch(kAlgorithms[i]); });
            return fetched.digest;
        }
    }
    return nullptr;
}

Provider* ProviderOf(HCRYPTPROV handle)
{
    auto* provider = reinterpret_cast<Provider*>(handle);
    return provider != nullptr && provider->signature == kProviderSignature ? provider : nullptr;
}

// The hash object the thread destroyed last, closed (its signature is the dead one), with its
// context; given back to OpenSSL when the thread ends.
struct SpareHash {
    HashObject* object = nullptr;
    ~SpareHash() { delete object; }
};
thread_local SpareHash t_spare;

// A hash object with a context, the thread's spare when it has one; null without memory.
HashObject* NewHashObject()
{
    if (HashObject* spare = std::exchange(t_spare.object, nullptr)) {
        spare->signature = kHashSignature;
        spare->finished = false;
        return spare;
    }
    auto* object = new (std::nothrow) HashObject;
    if (object != nullptr && (object->context = EVP_MD_CTX_new()) == nullptr) {
        delete object;
        return nullptr;
    }
    return object;
}

HashObject* HashOf(HCRYPTHASH handle)
{
    auto* object = reinterpret_cast<HashObject*>(handle);
    return object != nullptr && object->signature == kHashSignature ? object : nullptr;
}

DWORD AcquireContext(HCRYPTPROV* provider, LPCWSTR container, LPCWSTR providerName, DWORD providerType, DWORD flags)
{
    if (provider == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (providerType != PROV_RSA_AES) {
        return providerType >= 1 && providerType <= 999 ? Code(NTE_PROV_TYPE_NOT_DEF) : Code(NTE_BAD_PROV_TYPE);
    }
    if (container != nullptr || providerName != nullptr) {
        return Code(NTE_BAD_KEYSET_PARAM);
    }
    if ((flags & CRYPT_VERIFYCONTEXT) != CRYPT_VERIFYCONTEXT) {
        return Code(NTE_BAD_KEYSET);
    }
    if (flags != CRYPT_VERIFYCONTEXT) {
        return Code(NTE_BAD_FLAGS);
    }
    auto* made = new (std::nothrow) Provider;
    if (made == nullptr) {
        return Code(NTE_NO_MEMORY);
    }
    *provider = reinterpret_cast<HCRYPTPROV>(made);
    return ERROR_SUCCESS;
}

DWORD CreateHash(HCRYPTPROV provider, ALG_ID algorithm, HCRYPTKEY key, DWORD flags, HCRYPTHASH* hash)
{
    if (ProviderOf(provider) == nullptr) {
        return Code(NTE_BAD_UID);
    }
    if (hash == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (flags != 0) {
        return Code(NTE_BAD_FLAGS);
    }
    if (key != 0) {
        return Code(NTE_BAD_KEY);
    }
    const EVP_MD* digest = DigestFor(algorithm);
    if (digest == nullptr) {
        return Code(NTE_BAD_ALGID);
    }
    HashObject* const object = NewHashObject();
    if (object == nullptr) {
        return Code(NTE_NO_MEMORY);
    }
    if (EVP_DigestInit_ex2(object->context, digest, nullptr) != 1) {
        delete object;
        ERR_clear_error();
        return Code(NTE_NO_MEMORY);
    }
    object->size = static_cast<unsigned int>(EVP_MD_get_size(digest));
    *hash = reinterpret_cast<HCRYPTHASH>(object);
    return ERROR_SUCCESS;
}

DWORD HashData(HCRYPTHASH hash, const BYTE* data, DWORD length, DWORD flags)
{
    HashObject* object = HashOf(hash);
    if (object == nullptr) {
        return Code(NTE_BAD_HASH);
    }
    if (flags != 0) {
        return Code(NTE_BAD_FLAGS);
    }
    if (object->finished) {
        return Code(NTE_BAD_HASH_STATE);
    }
    if (length == 0) {
        return ERROR_SUCCESS;
    }
    if (data == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (EVP_DigestUpdate(object->context, data, length) != 1) {
        ERR_clear_error();
        return Code(NTE_FAIL);
    }
    return ERROR_SUCCESS;
}

DWORD GetHashValue(HCRYPTHASH hash, DWORD parameter, BYTE* data, DWORD* length, DWORD flags)
{
    HashObject* object = HashOf(hash);
    if (object == nullptr) {
        return Code(NTE_BAD_HASH);
    }
    if (flags != 0) {
        return Code(NTE_BAD_FLAGS);
    }
    if (parameter != HP_HASHVAL) {
        return Code(NTE_BAD_TYPE);
    }
    if (length == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    // A size query and a buffer that is too small leave the hash open: no value was read.
    const DWORD room = *length;
    *length = object->size;
    if (data == nullptr) {
        return ERROR_SUCCESS;
    }
    if (room < object->size) {
        return ERROR_MORE_DATA;
    }
    if (!object->finished) {
        unsigned int written = 0;
        if (EVP_DigestFinal_ex(object->context, object->value, &written) != 1 || written != object->size) {
            ERR_clear_error();
            return Code(NTE_FAIL);
        }
        object->finished = true;
    }
    std::memcpy(data, object->value, object->size);
    return ERROR_SUCCESS;
}

} // namespace

BOOL WINAPI CryptAcquireContextW(HCRYPTPROV* provider, LPCWSTR container, LPCWSTR providerName, DWORD providerType,
                                 DWORD flags)
{
    return Result(AcquireContext(provider, container, providerName, providerType, flags));
}

BOOL WINAPI CryptReleaseContext(HCRYPTPROV provider, DWORD flags)
{
    Provider* released = ProviderOf(provider);
    if (released == nullptr) {
        return Result(Code(NTE_BAD_UID));
    }
    delete released;
    return Result(flags == 0 ? ERROR_SUCCESS : Code(NTE_BAD_FLAGS));
}

BOOL WINAPI CryptCreateHash(HCRYPTPROV provider, ALG_ID algorithm, HCRYPTKEY key, DWORD flags, HCRYPTHASH* hash)
{
    return Result(CreateHash(provider, algorithm, key, flags, hash));
}

BOOL WINAPI CryptHashData(HCRYPTHASH hash, const BYTE* data, DWORD length, DWORD flags)
{
    return Result(HashData(hash, data, length, flags));
}

BOOL WINAPI CryptGetHashParam(HCRYPTHASH hash, DWORD parameter, BYTE* data, DWORD* length, DWORD flags)
{
    return Result(GetHashValue(hash, parameter, data, length, flags));
}

BOOL WINAPI CryptDestroyHash(HCRYPTHASH hash)
{
    HashObject* object = HashOf(hash);
    if (object == nullptr) {
        return Result(Code(NTE_BAD_HASH));
    }
    object->signature = platform::kDeadObjectSignature;
    delete std::exchange(t_spare.object, object);
    return TRUE;
}
