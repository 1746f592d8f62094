// TLS sessions of the native build over OpenSSL.  The roots trusted are the
// system's (OpenSSL's default paths, which honour SSL_CERT_FILE and
// SSL_CERT_DIR like every OpenSSL program on the machine; the native tests
// name their test CA there).  The socket calls go through the engine's own
// socket layer (a BIO of ours), so errors come in the same Winsock numbering
// as over plain TCP.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <mutex>
#include <utility>

#include "download/tls_backend.h"
#include "download/url.h"

namespace zorv::download {
namespace {

// One read of the socket takes up to this much: several records at once
// (OpenSSL's read-ahead), so a 16 KB record costs less than one call.
constexpr int kReadBuffer = 64 * 1024;

struct BioState {
    os::SocketHandle socket = os::kNoSocket;
    int lastError = 0;  // Winsock number of the last failed call, 0 for none
};

int BioWrite(BIO* bio, const char* data, int length) {
    auto* state = static_cast<BioState*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    state->lastError = 0;
    int sent = os::SendSome(state->socket, data, length);
    if (sent >= 0) return sent;
    state->lastError = os::LastSocketError();
    if (state->lastError == os::kWouldBlock) BIO_set_retry_write(bio);
    return -1;
}

int BioRead(BIO* bio, char* data, int length) {
    auto* state = static_cast<BioState*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    state->lastError = 0;
    int received = os::RecvSome(state->socket, data, length);
    if (received >= 0) return received;
    state->lastError = os::LastSocketError();
    if (state->lastError == os::kWouldBlock) BIO_set_retry_read(bio);
    return -1;
}

long BioControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int BioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

// The process's client context and BIO method, made once and kept.
struct Library {
    SSL_CTX* context = nullptr;
    BIO_METHOD* method = nullptr;
    std::string failure;
};

const Library& TheLibrary() {
    static Library library;
    static std::once_flag once;
    std::call_once(once, [] {
        BIO_METHOD* method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "zorv socket");
        SSL_CTX* context = SSL_CTX_new(TLS_client_method());
        if (method == nullptr || context == nullptr || !BIO_meth_set_write(method, BioWrite) ||
            !BIO_meth_set_read(method, BioRead) || !BIO_meth_set_ctrl(method, BioControl) ||
            !BIO_meth_set_create(method, BioCreate) || !SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) ||
            !SSL_CTX_set_default_verify_paths(context)) {
            library.failure = "OpenSSL could not be set up";
            BIO_meth_free(method);
            SSL_CTX_free(context);
            return;
        }
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
        SSL_CTX_set_read_ahead(context, 1);
        SSL_CTX_set_default_read_buffer_len(context, kReadBuffer);
        library.context = context;
        library.method = method;
    });
    return library;
}

CertificateProblem ProblemOf(long error) {
    switch (error) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID: return CertificateProblem::kExpired;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH: return CertificateProblem::kWrongName;
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_CERT_UNTRUSTED: return CertificateProblem::kUntrusted;
        case X509_V_ERR_CERT_REVOKED: return CertificateProblem::kRevoked;
        case X509_V_ERR_INVALID_PURPOSE: return CertificateProblem::kWrongUsage;
        default: return CertificateProblem::kOther;
    }
}

// The error queue's first entry as text, the queue emptied.
std::string TakeErrors(unsigned long* first) {
    unsigned long error = ERR_get_error();
    if (first != nullptr) *first = error;
    std::string text;
    if (error != 0) {
        char buffer[256];
        ERR_error_string_n(error, buffer, sizeof buffer);
        text = buffer;
    }
    ERR_clear_error();
    return text;
}

class OpenSslBackend final : public TlsBackend {
public:
    OpenSslBackend(SSL* ssl, std::unique_ptr<BioState> bio) : ssl_(ssl), bio_(std::move(bio)) {}
    ~OpenSslBackend() override { SSL_free(ssl_); }
    OpenSslBackend(const OpenSslBackend&) = delete;
    OpenSslBackend& operator=(const OpenSslBackend&) = delete;

    TlsStep Handshake() override {
        ERR_clear_error();
        int result = SSL_connect(ssl_);
        if (result == 1) return CheckVersion();
        return Failure(result, true);
    }

    TlsStep Read(char* target, int most) override {
        ERR_clear_error();
        size_t read = 0;
        int result = SSL_read_ex(ssl_, target, static_cast<size_t>(most), &read);
        if (result == 1) return Step(TlsIo::kDone, static_cast<int>(read));
        return Failure(result, false);
    }

    TlsStep Write(const char* data, int length) override {
        ERR_clear_error();
        size_t written = 0;
        int result = SSL_write_ex(ssl_, data, static_cast<size_t>(length), &written);
        if (result == 1) return Step(TlsIo::kDone, static_cast<int>(written));
        return Failure(result, false);
    }

    // SSL_write reports success only once its records went to the socket.
    TlsStep Flush() override { return Step(TlsIo::kDone); }

    void Shutdown() override {
        ERR_clear_error();
        SSL_shutdown(ssl_);
        ERR_clear_error();
    }

    std::string Protocol() const override {
        switch (SSL_version(ssl_)) {
            case TLS1_2_VERSION: return "TLS 1.2";
            case TLS1_3_VERSION: return "TLS 1.3";
            default: return SSL_get_version(ssl_);
        }
    }

private:
    // The minimum version is set on the context; this holds it against a
    // library configuration that would lower it.
    TlsStep CheckVersion() {
        if (SSL_version(ssl_) < TLS1_2_VERSION) return Failed(kErrTlsVersion, SSL_get_version(ssl_));
        return Step(TlsIo::kDone);
    }

    TlsStep Failure(int result, bool handshaking) {
        int error = SSL_get_error(ssl_, result);
        switch (error) {
            case SSL_ERROR_WANT_READ: return Step(TlsIo::kWantRead);
            case SSL_ERROR_WANT_WRITE: return Step(TlsIo::kWantWrite);
            case SSL_ERROR_ZERO_RETURN: return Step(TlsIo::kClosed);
            case SSL_ERROR_SYSCALL: {
                TakeErrors(nullptr);
                if (bio_->lastError == 0) return Step(TlsIo::kClosed);  // the stream ended
                return Failed(MappedSocketError(std::exchange(bio_->lastError, 0)));
            }
            default: break;
        }
        unsigned long first = 0;
        std::string detail = TakeErrors(&first);
        int reason = ERR_GET_REASON(first);
        if (reason == SSL_R_UNEXPECTED_EOF_WHILE_READING) return Step(TlsIo::kClosed);
        if (!handshaking) return Failed(kErrTlsData, detail);
        long verified = SSL_get_verify_result(ssl_);
        if (reason == SSL_R_CERTIFICATE_VERIFY_FAILED || verified != X509_V_OK)
            return Failed(kErrTlsCertificate, X509_verify_cert_error_string(verified), ProblemOf(verified));
        if (reason == SSL_R_UNSUPPORTED_PROTOCOL || reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION ||
            reason == SSL_R_NO_PROTOCOLS_AVAILABLE || reason == SSL_R_VERSION_TOO_LOW)
            return Failed(kErrTlsVersion, detail);
        return Failed(kErrTlsHandshake, detail);
    }

    SSL* ssl_;
    std::unique_ptr<BioState> bio_;
};

}  // namespace

std::unique_ptr<TlsBackend> NewTlsBackend(os::SocketHandle socket, const std::string& host, TlsOutcome& failure) {
    if (host.empty()) {
        failure = TlsOutcome{kErrTlsCertificate, CertificateProblem::kWrongName, "no host name"};
        return nullptr;
    }
    const Library& library = TheLibrary();
    if (library.context == nullptr) {
        failure = TlsOutcome{kErrTlsUnavailable, {}, library.failure};
        return nullptr;
    }
    auto state = std::make_unique<BioState>();
    state->socket = socket;
    SSL* ssl = SSL_new(library.context);
    BIO* bio = BIO_new(library.method);
    if (ssl == nullptr || bio == nullptr) {
        SSL_free(ssl);
        BIO_free(bio);
        failure = TlsOutcome{kErrTlsUnavailable, {}, TakeErrors(nullptr)};
        return nullptr;
    }
    BIO_set_data(bio, state.get());
    SSL_set_bio(ssl, bio, bio);  // the session owns the BIO from here
    auto backend = std::make_unique<OpenSslBackend>(ssl, std::move(state));
    bool named;
    if (IsDottedAddress(host)) {
        // An address is never sent as the server name; it must be one of
        // the certificate's addresses.
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str()) == 1;
    } else {
        SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        named = SSL_set_tlsext_host_name(ssl, host.c_str()) == 1 && SSL_set1_host(ssl, host.c_str()) == 1;
    }
    if (!named) {
        failure = TlsOutcome{kErrTlsCertificate, CertificateProblem::kWrongName, "host name not usable"};
        return nullptr;
    }
    return backend;
}

}  // namespace zorv::download
