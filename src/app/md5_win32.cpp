#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "app/app_win32.h"
#include "runtime/unique_handle_win32.h"

namespace zorv::app {
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

// A verify-only context needs no key container; the plain one is the
// fall-back of systems that refuse it.
UniqueCryptProvider AcquireProvider() {
    HCRYPTPROV provider = 0;
    if (CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) ||
        CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, 0))
        return UniqueCryptProvider(provider);
    return UniqueCryptProvider();
}

UniqueCryptHash CreateHash(HCRYPTPROV provider, ALG_ID algorithm) {
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(provider, algorithm, 0, 0, &hash)) return UniqueCryptHash();
    return UniqueCryptHash(hash);
}

}  // namespace

std::string Md5Hex(std::string_view data, uint32_t algorithm, uint32_t digestLength) {
    UniqueCryptProvider provider = AcquireProvider();
    if (!provider) return {};
    UniqueCryptHash hash = CreateHash(provider.get(), algorithm);
    if (!hash) return {};
    std::vector<BYTE> bytes(data.begin(), data.end());
    if (!CryptHashData(hash.get(), bytes.data(), static_cast<DWORD>(bytes.size()), 0)) return {};
    std::vector<uint8_t> digest(digestLength, 0);
    DWORD length = digestLength;
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &length, 0)) return {};
    return HexDigest(digest);
}

}  // namespace zorv::app
