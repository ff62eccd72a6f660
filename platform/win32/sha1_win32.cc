#include <windows.h>

// After windows.h, which it needs.
#include <wincrypt.h>

#include <algorithm>
#include <string>

#include "platform/sha1.h"
#include "win32kit/scoped_generic.h"

namespace tunewell {

namespace {

struct CryptProviderTraits {
  static HCRYPTPROV InvalidValue() { return 0; }
  static bool Free(HCRYPTPROV provider) { return ::CryptReleaseContext(provider, 0) != FALSE; }
};
struct CryptHashTraits {
  static HCRYPTHASH InvalidValue() { return 0; }
  static bool Free(HCRYPTHASH hash) { return ::CryptDestroyHash(hash) != FALSE; }
};

Status CryptFailed(const char* call) {
  return Status::IOError(std::string("SHA-1: ") + call + " failed (error " +
                         std::to_string(::GetLastError()) + ")");
}

}  // namespace

Status Sha1(std::span<const std::string_view> parts, Sha1Digest* digest) {
  // Hashing needs no key container; PROV_RSA_FULL has SHA-1 on every Windows since 2000.
  HCRYPTPROV raw_provider = 0;
  if (!::CryptAcquireContextW(&raw_provider, nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    return CryptFailed("CryptAcquireContext");
  }
  const ScopedGeneric<HCRYPTPROV, CryptProviderTraits> provider(raw_provider);
  HCRYPTHASH raw_hash = 0;
  if (!::CryptCreateHash(provider.get(), CALG_SHA1, 0, 0, &raw_hash)) {
    return CryptFailed("CryptCreateHash");
  }
  const ScopedGeneric<HCRYPTHASH, CryptHashTraits> hash(raw_hash);
  for (std::string_view part : parts) {
    // CryptHashData takes a 32-bit length.
    while (!part.empty()) {
      const DWORD n = static_cast<DWORD>(std::min<size_t>(part.size(), 1u << 30));
      if (!::CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(part.data()), n, 0)) {
        return CryptFailed("CryptHashData");
      }
      part.remove_prefix(n);
    }
  }
  DWORD length = static_cast<DWORD>(digest->size());
  if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, digest->data(), &length, 0) ||
      length != digest->size()) {
    return CryptFailed("CryptGetHashParam");
  }
  return Status::Ok();
}

}  // namespace tunewell
