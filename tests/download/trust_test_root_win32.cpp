// Puts a test CA into the machine's trusted roots of a Wine prefix, or takes
// it out again: the Windows build's TLS tests trust the CA they made this
// way, as an administrator's deployment would, since the program itself
// has no way to trust anything beyond the system's roots.
//
//   trust-test-root add|remove CA.der
//
// Exit code 0 when done, 1 otherwise.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "runtime/unique_handle_win32.h"

namespace {

struct StoreTraits {
    using Handle = HCERTSTORE;
    static HCERTSTORE Empty() { return nullptr; }
    static void Close(HCERTSTORE store) { CertCloseStore(store, 0); }
};
using UniqueStore = zorv::UniqueResource<StoreTraits>;

std::vector<BYTE> ReadAll(const wchar_t* path) {
    std::vector<BYTE> bytes;
    zorv::UniqueFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return bytes;
    BYTE chunk[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.insert(bytes.end(), chunk, chunk + read);
    return bytes;
}

bool Add(HCERTSTORE store, const std::vector<BYTE>& der) {
    return CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                            CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != FALSE;
}

// Wine 8 leaves the certificate's registry key in place when it is deleted
// through the store (the next process still trusts it), so the key of the
// system's registry layout is deleted as well.
bool RemoveRegistryKey(PCCERT_CONTEXT certificate) {
    BYTE hash[20];
    DWORD size = sizeof hash;
    if (!CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, hash, &size) || size != sizeof hash)
        return false;
    wchar_t key[128];
    int length = std::swprintf(key, 128, L"Software\\Microsoft\\SystemCertificates\\ROOT\\Certificates\\");
    for (BYTE byte : hash) length += std::swprintf(key + length, 128 - length, L"%02X", byte);
    LONG result = RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool Remove(HCERTSTORE store, const std::vector<BYTE>& der) {
    PCCERT_CONTEXT wanted = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    if (wanted == nullptr) return false;
    bool removed = RemoveRegistryKey(wanted);
    PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted, nullptr);
    CertFreeCertificateContext(wanted);
    if (found != nullptr && !CertDeleteCertificateFromStore(found)) removed = false;  // frees found
    return removed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 || (std::wcscmp(argv[1], L"add") != 0 && std::wcscmp(argv[1], L"remove") != 0)) {
        std::fprintf(stderr, "usage: trust-test-root add|remove CA.der\n");
        return 1;
    }
    std::vector<BYTE> der = ReadAll(argv[2]);
    if (der.empty()) {
        std::fprintf(stderr, "trust-test-root: cannot read %ls\n", argv[2]);
        return 1;
    }
    UniqueStore store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT"));
    if (!store) {
        std::fprintf(stderr, "trust-test-root: the machine's ROOT store does not open (%lu)\n", GetLastError());
        return 1;
    }
    bool adding = std::wcscmp(argv[1], L"add") == 0;
    bool done = adding ? Add(store.get(), der) : Remove(store.get(), der);
    if (!done) std::fprintf(stderr, "trust-test-root: %ls failed (%lu)\n", argv[1], GetLastError());
    return done ? 0 : 1;
}
