// TLS sessions of the Windows build over Schannel (SSPI).  secur32.dll and
// crypt32.dll are bound at run time from the system folder only, so the
// program imports no DLL beyond the system's known ones.  Schannel's own
// certificate check is turned off (SCH_CRED_MANUAL_CRED_VALIDATION) because
// the engine makes its own, always: the chain to a root of the machine's
// trusted roots with CertGetCertificateChain, then CertVerifyCertificateChainPolicy
// (CERT_CHAIN_POLICY_SSL) with the host name, and the chain's own trust
// status besides.  All reads and writes of the socket are the engine's own
// non-blocking calls; Schannel only turns bytes into records and back.
#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <subauth.h>
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "download/texts.h"
#include "download/tls_backend.h"
#include "download/url.h"
#include "runtime/codepage_win32.h"
#include "runtime/system_library_win32.h"
#include "runtime/unique_handle_win32.h"

namespace zorv::download {
namespace {

// The functions taken from the system's DLLs (loaded from System32 only),
// once per process; the DLLs stay loaded for the process's life.
struct Schannel {
    PSecurityFunctionTableW sspi = nullptr;
    decltype(&CertGetCertificateChain) getChain = nullptr;
    decltype(&CertVerifyCertificateChainPolicy) verifyPolicy = nullptr;
    decltype(&CertFreeCertificateChain) freeChain = nullptr;
    decltype(&CertFreeCertificateContext) freeCertificate = nullptr;
    decltype(&CertFindExtension) findExtension = nullptr;
    decltype(&CryptDecodeObjectEx) decodeObject = nullptr;
    bool Ready() const {
        return sspi != nullptr && getChain != nullptr && verifyPolicy != nullptr && freeChain != nullptr &&
               freeCertificate != nullptr && findExtension != nullptr && decodeObject != nullptr;
    }
};

const Schannel& TheSchannel() {
    static Schannel api;
    static std::once_flag once;
    std::call_once(once, [] {
        const wchar_t* crypt = L"crypt32.dll";
        api.getChain = SystemFunction<decltype(api.getChain)>(crypt, "CertGetCertificateChain");
        api.verifyPolicy = SystemFunction<decltype(api.verifyPolicy)>(crypt, "CertVerifyCertificateChainPolicy");
        api.freeChain = SystemFunction<decltype(api.freeChain)>(crypt, "CertFreeCertificateChain");
        api.freeCertificate = SystemFunction<decltype(api.freeCertificate)>(crypt, "CertFreeCertificateContext");
        api.findExtension = SystemFunction<decltype(api.findExtension)>(crypt, "CertFindExtension");
        api.decodeObject = SystemFunction<decltype(api.decodeObject)>(crypt, "CryptDecodeObjectEx");
        auto init = SystemFunction<INIT_SECURITY_INTERFACE_W>(L"secur32.dll", "InitSecurityInterfaceW");
        if (init != nullptr) api.sspi = init();
    });
    return api;
}

constexpr ULONG kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                           ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                           ISC_REQ_USE_SUPPLIED_CREDS;
constexpr DWORD kCredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
constexpr DWORD kOldProtocols = SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;

// Received records: a few at a time, so that a 16 KB record costs less than
// one receive call (under Wine every call is a round trip to its server).
constexpr size_t kInitialInput = 80 * 1024;
// A certificate chain in the handshake may be longer than that; no more.
constexpr size_t kInputLimit = 1024 * 1024;
// Compacted before a receive when less room than one whole record is left.
constexpr size_t kRecordRoom = 16 * 1024 + 512;

std::string StatusDetail(const char* call, SECURITY_STATUS status) {
    return FormatText("%s: 0x%08lX", call, static_cast<unsigned long>(status));
}

CertificateProblem ProblemOfPolicyError(DWORD error) {
    switch (static_cast<HRESULT>(error)) {
        case CERT_E_EXPIRED:
        case CERT_E_VALIDITYPERIODNESTING: return CertificateProblem::kExpired;
        case CERT_E_CN_NO_MATCH: return CertificateProblem::kWrongName;
        case CERT_E_UNTRUSTEDROOT:
        case CERT_E_UNTRUSTEDTESTROOT:
        case CERT_E_CHAINING: return CertificateProblem::kUntrusted;
        case CRYPT_E_REVOKED: return CertificateProblem::kRevoked;
        case CERT_E_WRONG_USAGE:
        case CERT_E_PURPOSE: return CertificateProblem::kWrongUsage;
        default: return CertificateProblem::kOther;
    }
}

// Revocation that could not be checked is no error here: only the cache is
// asked (a stapled answer included), never the network, so a stop is not
// held up by a revocation server; a certificate known to be revoked is.
constexpr DWORD kIgnoreRevocation = 0x00000080;  // SECURITY_FLAG_IGNORE_REVOCATION of <wininet.h>
constexpr DWORD kIgnoreName = 0x00001000;        // SECURITY_FLAG_IGNORE_CERT_CN_INVALID
constexpr DWORD kUnknownRevocation = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

CertificateProblem ProblemOfTrustStatus(DWORD status) {
    status &= ~kUnknownRevocation;
    if (status == CERT_TRUST_NO_ERROR) return CertificateProblem::kNone;
    if (status & CERT_TRUST_IS_REVOKED) return CertificateProblem::kRevoked;
    if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC))
        return CertificateProblem::kUntrusted;
    if (status & CERT_TRUST_IS_NOT_TIME_VALID) return CertificateProblem::kExpired;
    if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return CertificateProblem::kWrongUsage;
    return CertificateProblem::kOther;
}

// True when one of the certificate's subject alternative names is the
// address.  The system's SSL policy compares addresses on some versions of
// Windows only (not at all under Wine), so they are compared here.
bool NamesAddress(const Schannel& api, PCCERT_CONTEXT certificate, const std::string& dotted) {
    in_addr address{};
    if (inet_pton(AF_INET, dotted.c_str(), &address) != 1) return false;
    const CERT_INFO* info = certificate->pCertInfo;
    PCERT_EXTENSION extension = api.findExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    if (extension == nullptr) return false;
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!api.decodeObject(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData, extension->Value.cbData,
                          CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size) ||
        names == nullptr)
        return false;
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == sizeof address &&
                std::memcmp(entry.IPAddress.pbData, &address, sizeof address) == 0;
    }
    LocalFree(names);
    return found;
}

// Owners of what crypt32 hands out, freed through the functions bound at
// run time.
struct CertificateTraits {
    using Handle = PCCERT_CONTEXT;
    static Handle Empty() { return nullptr; }
    static void Close(Handle certificate) { TheSchannel().freeCertificate(certificate); }
};
using UniqueCertificate = UniqueResource<CertificateTraits>;
struct ChainTraits {
    using Handle = PCCERT_CHAIN_CONTEXT;
    static Handle Empty() { return nullptr; }
    static void Close(Handle chain) { TheSchannel().freeChain(chain); }
};
using UniqueChain = UniqueResource<ChainTraits>;

// The chain for a server's certificate, with the machine's chain engine:
// the installer runs elevated, and a root that a program of the user's
// added to the user's own store must not vouch for what it downloads.  The
// server's intermediates come in the certificate's own store.
UniqueChain BuildChain(const Schannel& api, PCCERT_CONTEXT certificate) {
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!api.getChain(HCCE_LOCAL_MACHINE, certificate, nullptr, certificate->hCertStore, &para,
                      CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY, nullptr,
                      &chain))
        return UniqueChain();
    return UniqueChain(chain);
}

// A failed InitializeSecurityContext as the engine's code.
TlsStep HandshakeFailure(SECURITY_STATUS status) {
    std::string detail = StatusDetail("InitializeSecurityContext", status);
    switch (status) {
        case SEC_E_UNSUPPORTED_FUNCTION:
        case SEC_E_ALGORITHM_MISMATCH: return Failed(kErrTlsVersion, detail);
        case SEC_E_CERT_EXPIRED: return Failed(kErrTlsCertificate, detail, CertificateProblem::kExpired);
        case SEC_E_UNTRUSTED_ROOT: return Failed(kErrTlsCertificate, detail, CertificateProblem::kUntrusted);
        case SEC_E_WRONG_PRINCIPAL: return Failed(kErrTlsCertificate, detail, CertificateProblem::kWrongName);
        default: return Failed(kErrTlsHandshake, detail);
    }
}

class SchannelBackend final : public TlsBackend {
public:
    SchannelBackend(const Schannel& api, os::SocketHandle socket, const std::string& host)
        : api_(api), socket_(socket), host_(host), wideHost_(WideFromGbk(host)), in_(kInitialInput) {}
    ~SchannelBackend() override {
        if (haveContext_) api_.sspi->DeleteSecurityContext(&context_);
        if (haveCredentials_) api_.sspi->FreeCredentialsHandle(&credentials_);
    }
    SchannelBackend(const SchannelBackend&) = delete;
    SchannelBackend& operator=(const SchannelBackend&) = delete;

    TlsOutcome AcquireCredentials();
    TlsStep Handshake() override;
    TlsStep Read(char* target, int most) override;
    TlsStep Write(const char* data, int length) override;
    TlsStep Flush() override;
    void Shutdown() override;
    std::string Protocol() const override { return protocol_; }

private:
    TlsStep Start();
    TlsStep RunHandshake();
    TlsStep Continue();
    TlsStep Finish();
    TlsStep CheckProtocol();
    TlsStep CheckCertificate();
    TlsStep CheckChain(PCCERT_CHAIN_CONTEXT chain, bool address);
    TlsStep Decrypt();
    TlsStep ReceiveCipher();
    void QueueToken(SecBuffer& token);
    void Consumed(const SecBuffer& extra);
    wchar_t* TargetName() { return wideHost_.data(); }

    const Schannel& api_;
    os::SocketHandle socket_;
    std::string host_;
    std::wstring wideHost_;
    CredHandle credentials_{};
    bool haveCredentials_ = false;
    CtxtHandle context_{};
    bool haveContext_ = false;
    bool handshaking_ = true;   // a handshake (the first or one the server started) is under way
    bool established_ = false;  // the first handshake finished and the server was checked
    bool closed_ = false;       // the server's close_notify came
    SecPkgContext_StreamSizes sizes_{};
    std::string protocol_;

    // Received ciphertext not yet used is in_[inBegin_, inEnd_); decrypted
    // bytes not yet taken are plainLeft_ bytes at plain_, inside in_ before
    // inBegin_ (DecryptMessage works in place).
    std::vector<char> in_;
    size_t inBegin_ = 0, inEnd_ = 0;
    bool needInput_ = true;  // read before Schannel is given the input again
    const char* plain_ = nullptr;
    size_t plainLeft_ = 0;
    // Ciphertext still to send: out_[outBegin_, outEnd_).
    std::vector<char> out_;
    size_t outBegin_ = 0, outEnd_ = 0;
};

TlsOutcome SchannelBackend::AcquireCredentials() {
    // SCH_CREDENTIALS (Windows 10 1809 and later) lets the system offer TLS
    // 1.3 as well; where it is unknown the older SCHANNEL_CRED asks for TLS
    // 1.2.  Either way nothing below 1.2 is asked for (Wine 8 takes the
    // newer form but ignores what it disables: CheckProtocol refuses what
    // it then negotiates).
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols = kOldProtocols;
    SCH_CREDENTIALS current{};
    current.dwVersion = SCH_CREDENTIALS_VERSION;
    current.dwFlags = kCredentialFlags;
    current.cTlsParameters = 1;
    current.pTlsParameters = &parameters;
    wchar_t* package = const_cast<wchar_t*>(UNISP_NAME_W);
    SECURITY_STATUS status = api_.sspi->AcquireCredentialsHandleW(
        nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &current, nullptr, nullptr, &credentials_, nullptr);
    if (status != SEC_E_OK) {
        SCHANNEL_CRED older{};
        older.dwVersion = SCHANNEL_CRED_VERSION;
        older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
        older.dwFlags = kCredentialFlags;
        status = api_.sspi->AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &older, nullptr,
                                                      nullptr, &credentials_, nullptr);
    }
    if (status != SEC_E_OK) return TlsOutcome{kErrTlsUnavailable, {}, StatusDetail("AcquireCredentialsHandle", status)};
    haveCredentials_ = true;
    return TlsOutcome{};
}

TlsStep SchannelBackend::Handshake() {
    if (!haveContext_) {
        TlsStep started = Start();
        if (started.io != TlsIo::kDone) return started;
    }
    TlsStep step = RunHandshake();
    if (step.io != TlsIo::kDone) return step;
    if (!established_) {
        TlsStep finished = Finish();
        if (finished.io != TlsIo::kDone) return finished;
        established_ = true;
    }
    return Step(TlsIo::kDone);
}

// The ClientHello, with the host as the target name: the server name sent,
// and the key of Schannel's session cache.
TlsStep SchannelBackend::Start() {
    SecBuffer token{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc output{SECBUFFER_VERSION, 1, &token};
    ULONG attributes = 0;
    SECURITY_STATUS status = api_.sspi->InitializeSecurityContextW(&credentials_, nullptr, TargetName(), kRequest, 0, 0,
                                                                   nullptr, 0, &context_, &output, &attributes, nullptr);
    if (status != SEC_I_CONTINUE_NEEDED) {
        if (token.pvBuffer != nullptr) api_.sspi->FreeContextBuffer(token.pvBuffer);
        return HandshakeFailure(status);
    }
    haveContext_ = true;
    QueueToken(token);
    return Step(TlsIo::kDone);
}

// Sends what is queued and feeds what arrives to Schannel until the
// handshake under way is done.
TlsStep SchannelBackend::RunHandshake() {
    while (true) {
        TlsStep flushed = Flush();
        if (flushed.io != TlsIo::kDone) return flushed;
        if (!handshaking_) return Step(TlsIo::kDone);
        if (needInput_) {
            TlsStep received = ReceiveCipher();
            if (received.io != TlsIo::kDone) return received;
        }
        TlsStep step = Continue();
        if (step.io != TlsIo::kDone) return step;
    }
}

TlsStep SchannelBackend::Continue() {
    SecBuffer input[2] = {{static_cast<ULONG>(inEnd_ - inBegin_), SECBUFFER_TOKEN, in_.data() + inBegin_},
                          {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inputs{SECBUFFER_VERSION, 2, input};
    SecBuffer token{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc output{SECBUFFER_VERSION, 1, &token};
    ULONG attributes = 0;
    SECURITY_STATUS status = api_.sspi->InitializeSecurityContextW(
        &credentials_, &context_, TargetName(), kRequest, 0, 0, &inputs, 0, nullptr, &output, &attributes, nullptr);
    // An alert that explains a failure goes out too (best effort).
    QueueToken(token);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
        needInput_ = true;
        return Step(TlsIo::kDone);
    }
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
        Flush();
        return HandshakeFailure(status);
    }
    Consumed(input[1]);
    if (status == SEC_E_OK) handshaking_ = false;
    return Step(TlsIo::kDone);
}

void SchannelBackend::QueueToken(SecBuffer& token) {
    if (token.pvBuffer == nullptr) return;
    if (token.cbBuffer > 0) {
        const char* bytes = static_cast<const char*>(token.pvBuffer);
        out_.insert(out_.begin() + static_cast<std::ptrdiff_t>(outEnd_), bytes, bytes + token.cbBuffer);
        outEnd_ += token.cbBuffer;
    }
    api_.sspi->FreeContextBuffer(token.pvBuffer);
    token.pvBuffer = nullptr;
}

// What Schannel did not use of the input is the last extra.cbBuffer bytes.
void SchannelBackend::Consumed(const SecBuffer& extra) {
    size_t left = extra.BufferType == SECBUFFER_EXTRA ? std::min<size_t>(extra.cbBuffer, inEnd_ - inBegin_) : 0;
    inBegin_ = inEnd_ - left;
    needInput_ = left == 0;
}

TlsStep SchannelBackend::Finish() {
    if (api_.sspi->QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK ||
        sizes_.cbMaximumMessage == 0)
        return Failed(kErrTlsHandshake, "no stream sizes");
    TlsStep protocol = CheckProtocol();
    if (protocol.io != TlsIo::kDone) return protocol;
    return CheckCertificate();
}

// The credentials offer nothing below TLS 1.2; this holds it against a
// system that would negotiate less all the same.
TlsStep SchannelBackend::CheckProtocol() {
    SecPkgContext_ConnectionInfo info{};
    if (api_.sspi->QueryContextAttributesW(&context_, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK)
        return Failed(kErrTlsHandshake, "no connection info");
    if (info.dwProtocol & SP_PROT_TLS1_3_CLIENT)
        protocol_ = "TLS 1.3";
    else if (info.dwProtocol & SP_PROT_TLS1_2_CLIENT)
        protocol_ = "TLS 1.2";
    else
        return Failed(kErrTlsVersion, FormatText("protocol 0x%lX", static_cast<unsigned long>(info.dwProtocol)));
    return Step(TlsIo::kDone);
}

TlsStep SchannelBackend::CheckCertificate() {
    PCCERT_CONTEXT received = nullptr;
    if (api_.sspi->QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &received) != SEC_E_OK ||
        received == nullptr)
        return Failed(kErrTlsCertificate, "no server certificate", CertificateProblem::kOther);
    UniqueCertificate certificate(received);
    UniqueChain chain = BuildChain(api_, certificate.get());
    if (!chain)
        return Failed(kErrTlsCertificate, FormatText("CertGetCertificateChain: %lu", GetLastError()),
                      CertificateProblem::kOther);
    // An address is compared with the certificate's addresses here, a name
    // by the policy.
    const bool address = IsDottedAddress(host_);
    TlsStep checked = CheckChain(chain.get(), address);
    if (checked.io != TlsIo::kDone) return checked;
    if (address && !NamesAddress(api_, certificate.get(), host_))
        return Failed(kErrTlsCertificate, "address not in the certificate", CertificateProblem::kWrongName);
    return Step(TlsIo::kDone);
}

TlsStep SchannelBackend::CheckChain(PCCERT_CHAIN_CONTEXT chain, bool address) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA server{};
    server.cbSize = sizeof server;
    server.dwAuthType = AUTHTYPE_SERVER;
    // Revocation that could not be checked must not hide the other checks
    // (Wine's policy stops at it, before the name); a certificate known to
    // be revoked is caught by the chain's trust status below.
    server.fdwChecks = kIgnoreRevocation | (address ? kIgnoreName : 0);
    server.pwszServerName = TargetName();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    policy.pvExtraPolicyPara = &server;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!api_.verifyPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status))
        return Failed(kErrTlsCertificate, "CertVerifyCertificateChainPolicy failed", CertificateProblem::kOther);
    if (status.dwError != 0)
        return Failed(kErrTlsCertificate, FormatText("policy: 0x%08lX", static_cast<unsigned long>(status.dwError)),
                      ProblemOfPolicyError(status.dwError));
    // The policy should have seen every defect of the chain; its trust
    // status is read as well, so that a lax policy cannot pass one (Wine's
    // passes a chain that ends at no known issuer).
    DWORD trust = chain->TrustStatus.dwErrorStatus;
    CertificateProblem problem = ProblemOfTrustStatus(trust);
    if (problem != CertificateProblem::kNone)
        return Failed(kErrTlsCertificate, FormatText("chain: 0x%08lX", static_cast<unsigned long>(trust)), problem);
    return Step(TlsIo::kDone);
}

TlsStep SchannelBackend::ReceiveCipher() {
    // Decrypted bytes live in in_ until taken: it is moved or grown only
    // when none are left.
    if (plainLeft_ == 0) {
        if (inBegin_ == inEnd_) {
            inBegin_ = inEnd_ = 0;
        } else if (in_.size() - inEnd_ < kRecordRoom && inBegin_ > 0) {
            std::memmove(in_.data(), in_.data() + inBegin_, inEnd_ - inBegin_);
            inEnd_ -= inBegin_;
            inBegin_ = 0;
        }
        if (inEnd_ == in_.size()) {
            if (in_.size() >= kInputLimit) return Failed(handshaking_ ? kErrTlsHandshake : kErrTlsData, "record too long");
            in_.resize(in_.size() * 2);
        }
    }
    int room = static_cast<int>(std::min<size_t>(in_.size() - inEnd_, 1u << 30));
    int received = os::RecvSome(socket_, in_.data() + inEnd_, room);
    if (received > 0) {
        inEnd_ += static_cast<size_t>(received);
        needInput_ = false;
        return Step(TlsIo::kDone);
    }
    if (received == 0) return Step(TlsIo::kClosed);
    int error = os::LastSocketError();
    if (error == os::kWouldBlock) return Step(TlsIo::kWantRead);
    return Failed(MappedSocketError(error));
}

TlsStep SchannelBackend::Read(char* target, int most) {
    while (true) {
        if (plainLeft_ > 0) {
            size_t taken = std::min<size_t>(plainLeft_, static_cast<size_t>(most));
            std::memcpy(target, plain_, taken);
            plain_ += taken;
            plainLeft_ -= taken;
            return Step(TlsIo::kDone, static_cast<int>(taken));
        }
        if (closed_) return Step(TlsIo::kClosed);
        if (handshaking_) {
            // The server began a handshake after the first one (TLS 1.3
            // tickets and key updates come this way too).
            TlsStep step = RunHandshake();
            if (step.io != TlsIo::kDone) return step;
            TlsStep checked = CheckCertificate();
            if (checked.io != TlsIo::kDone) return checked;
            continue;
        }
        TlsStep step = needInput_ ? ReceiveCipher() : Decrypt();
        if (step.io != TlsIo::kDone) return step;
    }
}

TlsStep SchannelBackend::Decrypt() {
    SecBuffer buffers[4] = {{static_cast<ULONG>(inEnd_ - inBegin_), SECBUFFER_DATA, in_.data() + inBegin_},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
    SECURITY_STATUS status = api_.sspi->DecryptMessage(&context_, &message, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
        needInput_ = true;
        return Step(TlsIo::kDone);
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED)
        return Failed(kErrTlsData, StatusDetail("DecryptMessage", status));
    SecBuffer none{0, SECBUFFER_EMPTY, nullptr};
    const SecBuffer* extra = &none;
    for (const SecBuffer& buffer : buffers) {
        if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0) {
            plain_ = static_cast<const char*>(buffer.pvBuffer);
            plainLeft_ = buffer.cbBuffer;
        }
        if (buffer.BufferType == SECBUFFER_EXTRA) extra = &buffer;
    }
    Consumed(*extra);
    if (status == SEC_I_CONTEXT_EXPIRED) closed_ = true;
    if (status == SEC_I_RENEGOTIATE) {
        // Schannel continues the handshake at once with what is left of the
        // input, possibly nothing, and says itself when it needs more.
        // Reading first could wait for a server that waits for our answer.
        handshaking_ = true;
        needInput_ = false;
    }
    return Step(TlsIo::kDone);
}

TlsStep SchannelBackend::Write(const char* data, int length) {
    TlsStep flushed = Flush();
    if (flushed.io != TlsIo::kDone) return flushed;
    size_t taken = std::min<size_t>(static_cast<size_t>(length), sizes_.cbMaximumMessage);
    out_.resize(sizes_.cbHeader + taken + sizes_.cbTrailer);
    std::memcpy(out_.data() + sizes_.cbHeader, data, taken);
    SecBuffer buffers[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, out_.data()},
                            {static_cast<ULONG>(taken), SECBUFFER_DATA, out_.data() + sizes_.cbHeader},
                            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, out_.data() + sizes_.cbHeader + taken},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
    SECURITY_STATUS status = api_.sspi->EncryptMessage(&context_, 0, &message, 0);
    if (status != SEC_E_OK) return Failed(kErrTlsData, StatusDetail("EncryptMessage", status));
    // The trailer may come out shorter than its room.
    outBegin_ = 0;
    outEnd_ = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
    flushed = Flush();
    if (flushed.io == TlsIo::kFailed) return flushed;
    return Step(TlsIo::kDone, static_cast<int>(taken));
}

TlsStep SchannelBackend::Flush() {
    while (outBegin_ < outEnd_) {
        int sent = os::SendSome(socket_, out_.data() + outBegin_,
                                static_cast<int>(std::min<size_t>(outEnd_ - outBegin_, 1u << 30)));
        if (sent > 0) {
            outBegin_ += static_cast<size_t>(sent);
            continue;
        }
        if (sent == 0) return Failed(kErrSend);
        int error = os::LastSocketError();
        if (error == os::kWouldBlock) return Step(TlsIo::kWantWrite);
        return Failed(MappedSocketError(error));
    }
    outBegin_ = outEnd_ = 0;
    out_.clear();
    return Step(TlsIo::kDone);
}

void SchannelBackend::Shutdown() {
    // Never in the middle of a record that is still going out.
    if (!established_ || closed_ || outBegin_ < outEnd_) return;
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
    SecBufferDesc controls{SECBUFFER_VERSION, 1, &control};
    if (api_.sspi->ApplyControlToken(&context_, &controls) != SEC_E_OK) return;
    SecBuffer token{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc output{SECBUFFER_VERSION, 1, &token};
    ULONG attributes = 0;
    api_.sspi->InitializeSecurityContextW(&credentials_, &context_, TargetName(), kRequest, 0, 0, nullptr, 0, nullptr,
                                          &output, &attributes, nullptr);
    QueueToken(token);
    Flush();
}

}  // namespace

std::unique_ptr<TlsBackend> NewTlsBackend(os::SocketHandle socket, const std::string& host, TlsOutcome& failure) {
    if (host.empty()) {
        failure = TlsOutcome{kErrTlsCertificate, CertificateProblem::kWrongName, "no host name"};
        return nullptr;
    }
    const Schannel& api = TheSchannel();
    if (!api.Ready()) {
        failure = TlsOutcome{kErrTlsUnavailable, {}, "secur32.dll or crypt32.dll unavailable"};
        return nullptr;
    }
    auto backend = std::make_unique<SchannelBackend>(api, socket, host);
    failure = backend->AcquireCredentials();
    if (failure.code != 0) return nullptr;
    return backend;
}

}  // namespace zorv::download
