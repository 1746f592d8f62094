#include "install/signature_win32.h"

#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

#include <cstdio>

#include "runtime/hash_win32.h"
#include "runtime/system_library_win32.h"

namespace zorv::install {
namespace {

using WinVerifyTrustFunction = LONG(WINAPI*)(HWND, GUID*, LPVOID);
using ProvDataFunction = CRYPT_PROVIDER_DATA*(WINAPI*)(HANDLE);
using ProvSignerFunction = CRYPT_PROVIDER_SGNR*(WINAPI*)(CRYPT_PROVIDER_DATA*, DWORD, BOOL, DWORD);

struct TrustFunctions {
    WinVerifyTrustFunction verify = nullptr;
    ProvDataFunction providerData = nullptr;
    ProvSignerFunction signer = nullptr;
    bool complete() const { return verify && providerData && signer; }
};

TrustFunctions BindTrustFunctions() {
    TrustFunctions functions;
    functions.verify = SystemFunction<WinVerifyTrustFunction>(L"wintrust.dll", "WinVerifyTrust");
    functions.providerData = SystemFunction<ProvDataFunction>(L"wintrust.dll", "WTHelperProvDataFromStateData");
    functions.signer = SystemFunction<ProvSignerFunction>(L"wintrust.dll", "WTHelperGetProvSignerFromChain");
    return functions;
}

// Answers that mean only that the revocation of a certificate could not be
// looked up (an offline machine, a certificate without a revocation list);
// a certificate known to be revoked answers CRYPT_E_REVOKED instead.
bool RevocationUnknown(LONG status) {
    return status == LONG(CERT_E_REVOCATION_FAILURE) || status == LONG(CRYPT_E_REVOCATION_OFFLINE) ||
           status == LONG(CRYPT_E_NO_REVOCATION_CHECK);
}

std::string StatusText(LONG status) {
    switch (status) {
        case LONG(TRUST_E_NOSIGNATURE): return "no signature";
        case LONG(TRUST_E_BAD_DIGEST): return "the file does not match its signature";
        case LONG(TRUST_E_EXPLICIT_DISTRUST): return "the signer is distrusted";
        case LONG(TRUST_E_SUBJECT_NOT_TRUSTED): return "the signature is not trusted";
        case LONG(CERT_E_UNTRUSTEDROOT): return "the signer's chain ends in an untrusted root";
        case LONG(CERT_E_EXPIRED): return "the signing certificate has expired";
        case LONG(CERT_E_CHAINING): return "the signer's chain cannot be built";
        case LONG(CRYPT_E_REVOKED): return "the signing certificate is revoked";
        default: return "the signature is not valid";
    }
}

std::string Hex32(LONG status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(status));
    return text;
}

// One verification with the state kept, so that the signer can be read.
class TrustCheck {
public:
    TrustCheck(const TrustFunctions& functions, HANDLE file, const std::wstring& path, DWORD revocation)
        : functions_(functions) {
        fileInfo_.cbStruct = sizeof fileInfo_;
        fileInfo_.pcwszFilePath = path.c_str();
        fileInfo_.hFile = file;
        data_.cbStruct = sizeof data_;
        data_.dwUIChoice = WTD_UI_NONE;
        data_.fdwRevocationChecks = revocation;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &fileInfo_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        // Revocation is looked up in what the system has cached only: the
        // install must not hang on a revocation server it cannot reach.
        data_.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
        status_ = functions_.verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    ~TrustCheck() {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        functions_.verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    TrustCheck(const TrustCheck&) = delete;
    TrustCheck& operator=(const TrustCheck&) = delete;

    LONG status() const { return status_; }
    // The SHA-256 thumbprint of the signer's own certificate, or empty.
    std::string SignerThumbprint() const {
        CRYPT_PROVIDER_DATA* provider = functions_.providerData(data_.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer = provider ? functions_.signer(provider, 0, FALSE, 0) : nullptr;
        if (!signer || signer->csCertChain == 0 || !signer->pasCertChain || !signer->pasCertChain[0].pCert) return {};
        const CERT_CONTEXT* certificate = signer->pasCertChain[0].pCert;
        return DigestHex(std::span(certificate->pbCertEncoded, certificate->cbCertEncoded), CALG_SHA_256, 32);
    }

private:
    const TrustFunctions& functions_;
    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO fileInfo_{};
    WINTRUST_DATA data_{};
    LONG status_ = 0;
};

SignatureVerdict Judge(const TrustCheck& check, const SignerPins& pins) {
    SignatureVerdict verdict;
    verdict.status = check.status();
    if (check.status() != 0) {
        verdict.reason = StatusText(check.status()) + " (" + Hex32(check.status()) + ")";
        return verdict;
    }
    verdict.signer = check.SignerThumbprint();
    if (verdict.signer.empty()) {
        verdict.reason = "the signer's certificate cannot be read";
        return verdict;
    }
    if (!AcceptedSigner(pins, verdict.signer)) {
        verdict.reason = "signed by a certificate this installer does not accept";
        return verdict;
    }
    verdict.trusted = true;
    verdict.reason = "valid signature";
    return verdict;
}

}  // namespace

SignatureVerdict CheckProductSignature(HANDLE file, const std::wstring& path, const SignerPins& pins) {
    static const TrustFunctions functions = BindTrustFunctions();
    if (!functions.complete()) {
        SignatureVerdict verdict;
        verdict.status = int32_t(GetLastError());
        verdict.reason = "the system's trust provider cannot be loaded";
        return verdict;
    }
    if (!pins.valid) {
        SignatureVerdict verdict;
        verdict.reason = "this installer was built with an unusable signer setting";
        return verdict;
    }
    {
        TrustCheck whole(functions, file, path, WTD_REVOKE_WHOLECHAIN);
        if (!RevocationUnknown(whole.status())) return Judge(whole, pins);
    }
    // Revocation could not be looked up: the signature counts on its own.
    TrustCheck unchecked(functions, file, path, WTD_REVOKE_NONE);
    SignatureVerdict verdict = Judge(unchecked, pins);
    if (verdict.trusted) verdict.reason += ", revocation not known";
    return verdict;
}

}  // namespace zorv::install
