#include "runtime/hash_win32.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <vector>

#include "runtime/conversion.h"
#include "runtime/unique_handle_win32.h"

namespace zorv {
namespace {

struct CryptProviderTraits {
    using Handle = HCRYPTPROV;
    static HCRYPTPROV Empty() { return 0; }
    static void Close(HCRYPTPROV provider) { CryptReleaseContext(provider, 0); }
};
struct CryptHashTraits {
    using Handle = HCRYPTHASH;
    static HCRYPTHASH Empty() { return 0; }
    static void Close(HCRYPTHASH hash) { CryptDestroyHash(hash); }
};
using UniqueCryptProvider = UniqueResource<CryptProviderTraits>;
using UniqueCryptHash = UniqueResource<CryptHashTraits>;

// The provider type that knows the algorithm: the SHA-2 family lives in the
// AES provider only.
DWORD ProviderTypeFor(ALG_ID algorithm) {
    return algorithm == CALG_SHA_256 || algorithm == CALG_SHA_384 || algorithm == CALG_SHA_512 ? PROV_RSA_AES
                                                                                               : PROV_RSA_FULL;
}

// A verify-only context needs no key container; the plain one is the
// fall-back of systems that refuse it.
UniqueCryptProvider AcquireProvider(DWORD type) {
    HCRYPTPROV provider = 0;
    if (CryptAcquireContextW(&provider, nullptr, nullptr, type, CRYPT_VERIFYCONTEXT) ||
        CryptAcquireContextW(&provider, nullptr, nullptr, type, 0))
        return UniqueCryptProvider(provider);
    return UniqueCryptProvider();
}

}  // namespace

std::string DigestHex(std::span<const uint8_t> bytes, uint32_t algorithm, uint32_t digestLength) {
    UniqueCryptProvider provider = AcquireProvider(ProviderTypeFor(algorithm));
    if (!provider) return {};
    HCRYPTHASH rawHash = 0;
    if (!CryptCreateHash(provider.get(), algorithm, 0, 0, &rawHash)) return {};
    UniqueCryptHash hash(rawHash);
    // Hashed in slices: CryptHashData counts in 32 bits.
    constexpr std::size_t kSlice = 1u << 30;
    for (std::size_t done = 0; done < bytes.size(); done += kSlice) {
        std::size_t slice = std::min(kSlice, bytes.size() - done);
        if (!CryptHashData(hash.get(), bytes.data() + done, static_cast<DWORD>(slice), 0)) return {};
    }
    std::vector<uint8_t> digest(digestLength, 0);
    DWORD length = digestLength;
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &length, 0) || length != digestLength) return {};
    return HexDigest(digest);
}

}  // namespace zorv
