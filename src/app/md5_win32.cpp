#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "app/app_win32.h"

namespace zorv::app {
namespace {

class CryptProvider {
public:
    CryptProvider() {
        if (!CryptAcquireContextW(&handle_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
            !CryptAcquireContextW(&handle_, nullptr, nullptr, PROV_RSA_FULL, 0)) {
            handle_ = 0;
        }
    }
    ~CryptProvider() {
        if (handle_) CryptReleaseContext(handle_, 0);
    }
    CryptProvider(const CryptProvider&) = delete;
    CryptProvider& operator=(const CryptProvider&) = delete;
    HCRYPTPROV get() const { return handle_; }

private:
    HCRYPTPROV handle_ = 0;
};

class CryptHash {
public:
    CryptHash(HCRYPTPROV provider, ALG_ID algorithm) {
        if (!CryptCreateHash(provider, algorithm, 0, 0, &handle_)) handle_ = 0;
    }
    ~CryptHash() {
        if (handle_) CryptDestroyHash(handle_);
    }
    CryptHash(const CryptHash&) = delete;
    CryptHash& operator=(const CryptHash&) = delete;
    HCRYPTHASH get() const { return handle_; }

private:
    HCRYPTHASH handle_ = 0;
};

}  // namespace

std::string Md5Hex(std::string_view data, uint32_t algorithm, uint32_t digestLength) {
    CryptProvider provider;
    if (!provider.get()) return {};
    CryptHash hash(provider.get(), algorithm);
    if (!hash.get()) return {};
    std::vector<BYTE> bytes(data.begin(), data.end());
    if (!CryptHashData(hash.get(), bytes.data(), static_cast<DWORD>(bytes.size()), 0)) return {};
    std::vector<uint8_t> digest(digestLength, 0);
    DWORD length = digestLength;
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &length, 0)) return {};
    return HexDigest(digest);
}

}  // namespace zorv::app
