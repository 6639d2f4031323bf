// The CryptoAPI subset for message digests. Provides CryptAcquireContextW, CryptReleaseContext,
// CryptCreateHash, CryptHashData, CryptGetHashParam and CryptDestroyHash over OpenSSL 3's EVP
// digests (libcrypto, linked at build time).
#pragma once
#include "platform/posix/system/win32_types.h"

using HCRYPTPROV = ULONG_PTR;
using HCRYPTHASH = ULONG_PTR;
using HCRYPTKEY = ULONG_PTR;
using ALG_ID = unsigned int;

constexpr DWORD PROV_RSA_AES = 24;
constexpr DWORD CRYPT_VERIFYCONTEXT = 0xF0000000;

constexpr ALG_ID CALG_MD4 = 0x8002;
constexpr ALG_ID CALG_MD5 = 0x8003;
constexpr ALG_ID CALG_SHA1 = 0x8004;
constexpr ALG_ID CALG_SHA_256 = 0x800C;
constexpr ALG_ID CALG_SHA_384 = 0x800D;
constexpr ALG_ID CALG_SHA_512 = 0x800E;

constexpr DWORD HP_HASHVAL = 0x2;

// The provider's failure codes. They are HRESULTs, and the functions set them as the thread's
// last error unchanged, as Windows does: GetLastError then returns, for example, 0x80090008.
constexpr HRESULT NTE_BAD_UID = static_cast<HRESULT>(0x80090001);
constexpr HRESULT NTE_BAD_HASH = static_cast<HRESULT>(0x80090002);
constexpr HRESULT NTE_BAD_KEY = static_cast<HRESULT>(0x80090003);
constexpr HRESULT NTE_BAD_ALGID = static_cast<HRESULT>(0x80090008);
constexpr HRESULT NTE_BAD_FLAGS = static_cast<HRESULT>(0x80090009);
constexpr HRESULT NTE_BAD_TYPE = static_cast<HRESULT>(0x8009000A);
constexpr HRESULT NTE_BAD_HASH_STATE = static_cast<HRESULT>(0x8009000C);
constexpr HRESULT NTE_NO_MEMORY = static_cast<HRESULT>(0x8009000E);
constexpr HRESULT NTE_BAD_PROV_TYPE = static_cast<HRESULT>(0x80090014);
constexpr HRESULT NTE_BAD_KEYSET = static_cast<HRESULT>(0x80090016);
constexpr HRESULT NTE_PROV_TYPE_NOT_DEF = static_cast<HRESULT>(0x80090017);
constexpr HRESULT NTE_BAD_KEYSET_PARAM = static_cast<HRESULT>(0x8009001F);
constexpr HRESULT NTE_FAIL = static_cast<HRESULT>(0x80090020);

// Win32: a handle to the default provider of type PROV_RSA_AES, without a key container
// (CRYPT_VERIFYCONTEXT): the one form offered. Failures, checked in this order:
// - a null `provider` pointer: 87 (ERROR_INVALID_PARAMETER);
// - another provider type: NTE_PROV_TYPE_NOT_DEF for types 1 to 999, NTE_BAD_PROV_TYPE
//   outside that range (Windows accepts further types; this layer offers only this one);
// - a container name, or a provider name (only the default provider is offered):
//   NTE_BAD_KEYSET_PARAM;
// - flags without CRYPT_VERIFYCONTEXT ask for a key container, and there is none: NTE_BAD_KEYSET;
//   CRYPT_VERIFYCONTEXT with any further flag: NTE_BAD_FLAGS;
// - memory short: NTE_NO_MEMORY.
// Nothing is loaded here: each digest is made ready on its first CryptCreateHash. One handle
// may be used by any number of threads at once.
BOOL WINAPI CryptAcquireContextW(HCRYPTPROV* provider, LPCWSTR container, LPCWSTR providerName, DWORD providerType,
                                 DWORD flags);
// Win32: releases the handle, which must not be used again. FALSE with NTE_BAD_UID for a null
// handle or one that is no live provider. Flags must be 0: with other flags the handle is still
// released, and the call returns FALSE with NTE_BAD_FLAGS (Windows documents exactly this).
// Hash objects made from the handle stay usable until they are destroyed; Windows invalidates
// them, so callers destroy them first.
BOOL WINAPI CryptReleaseContext(HCRYPTPROV provider, DWORD flags);

// Win32: a new hash object for CALG_MD4, CALG_MD5, CALG_SHA1, CALG_SHA_256, CALG_SHA_384 or
// CALG_SHA_512, with no key and flags 0. Each digest's implementation is fetched from OpenSSL
// once per process, on first use, whichever thread comes first. MD4 comes from OpenSSL's legacy
// provider, loaded beside the default one; where that module cannot be loaded, CALG_MD4 fails
// with NTE_BAD_ALGID on every call while the other algorithms work. Failures: NTE_BAD_UID for a
// provider handle that is null or no live provider; 87 for a null `hash` pointer; NTE_BAD_ALGID
// for any other ALG_ID (keyed and composite hashes are not offered); NTE_BAD_KEY for a key
// (no keys are offered); NTE_BAD_FLAGS for flags; NTE_NO_MEMORY when memory is short.
BOOL WINAPI CryptCreateHash(HCRYPTPROV provider, ALG_ID algorithm, HCRYPTKEY key, DWORD flags, HCRYPTHASH* hash);
// Win32: adds `length` bytes to the hash. A length of 0 adds nothing and succeeds (`data` may
// then be null). FALSE with NTE_BAD_HASH for a handle that is null or no live hash object,
// NTE_BAD_FLAGS for flags other than 0, NTE_BAD_HASH_STATE once the hash value has been read,
// 87 for null data with a length, NTE_FAIL if the digest itself fails.
BOOL WINAPI CryptHashData(HCRYPTHASH hash, const BYTE* data, DWORD length, DWORD flags);
// Win32, HP_HASHVAL with flags 0: the hash value, whose size is 16 (MD4, MD5), 20 (SHA-1),
// 32, 48 or 64 (SHA-256, -384, -512) bytes.
// - `data` null: TRUE, with *length set to the size (the hash stays open);
// - *length below the size: FALSE with ERROR_MORE_DATA (234) and *length set to the size (the
//   hash stays open);
// - otherwise the value is copied, *length is set to the size, and the hash is finished: more
//   CryptHashData fails with NTE_BAD_HASH_STATE, and reading the value again gives it again.
// FALSE with NTE_BAD_HASH for a handle that is null or no live hash object, NTE_BAD_TYPE for any
// other parameter, NTE_BAD_FLAGS for flags, 87 for a null `length`, NTE_FAIL if the digest fails.
BOOL WINAPI CryptGetHashParam(HCRYPTHASH hash, DWORD parameter, BYTE* data, DWORD* length, DWORD flags);
// Win32: frees the hash object, which must not be used again. FALSE with NTE_BAD_HASH for a
// handle that is null or no live hash object.
// A hash object is used by one thread at a time; different objects need no coordination.
BOOL WINAPI CryptDestroyHash(HCRYPTHASH hash);
