#pragma once
// TLS over a connected socket of the engine: one client session per
// connection, with the server's certificate always checked (the chain to a
// root the system trusts, the host name, the validity period) and TLS 1.2
// or later.  The session does not own the socket: the connection keeps it
// (and closes it after the session ended), so a stop can still shut the
// socket down from another thread to wake the worker.
//
// The calls have the semantics of their plain counterparts in net.h: the
// socket is non-blocking, every wait is a poll of at most 10 ms, time-outs
// count in those steps and a stop is seen within about 10 ms.  Failures are
// the negative codes of net.h (time-out, reset, peer closed, stopped, ...)
// or the TLS codes below; TlsFailureOf tells the connection how to react.
//
// OpenSSL natively (tls_openssl_posix.cpp), Schannel in the Windows build
// (tls_schannel_win32.cpp, its DLLs loaded from the system folder only).
#include <memory>
#include <string>

#include "download/net.h"
#include "download/os_socket.h"

namespace zorv::download {

// Result codes of the TLS layer, beyond those of net.h.
enum : int {
    kErrTlsCertificate = -30,  // the certificate is not one to trust for the host
    kErrTlsVersion = -31,      // the server offers no TLS 1.2 or later
    kErrTlsHandshake = -32,    // the handshake failed otherwise (an alert, not TLS at all)
    kErrTlsData = -33,         // a record that does not decrypt or parse, after the handshake
    kErrTlsUnavailable = -34,  // the system's TLS library could not be loaded or set up
};

// How the connection reacts to a result.
enum class TlsFailure {
    kNone,     // success (code >= 0)
    kNetwork,  // retried like any network error: time-out, reset, close, a damaged record
    kStopped,  // the task was stopped or the connection asked to end
    kRefused,  // never retried: the certificate, the protocol version, the handshake, no TLS library
};
TlsFailure TlsFailureOf(int code);

// Why a certificate was refused.
enum class CertificateProblem {
    kNone,
    kUntrusted,   // no chain to a trusted root (unknown or self-signed issuer)
    kExpired,     // outside its validity period (or one of its issuers is)
    kWrongName,   // not issued for the host name (or address) of the URL
    kRevoked,     // known to be revoked
    kWrongUsage,  // not a certificate for TLS servers
    kOther,       // any other defect (a bad signature, a malformed certificate, ...)
};

struct TlsOutcome {
    int code = 0;  // 0 connected, or a negative code
    CertificateProblem certificate = CertificateProblem::kNone;  // with kErrTlsCertificate
    std::string detail;  // the TLS library's own words (ASCII), for the log; may be empty
};

// The status text (GBK) for a failed handshake with host, in the style of
// the engine's other texts; for codes that are not the TLS layer's own, the
// text of ErrorText.
std::string TlsStatusText(const TlsOutcome& outcome, const std::string& host);
// The text of a code of Send/Receive (ErrorText extended by the TLS codes).
std::string TlsErrorText(int code);

class TlsBackend;

// A move-only TLS client session over a connected socket.
class TlsSession {
public:
    TlsSession();
    ~TlsSession();
    TlsSession(TlsSession&&) noexcept;
    TlsSession& operator=(TlsSession&&) noexcept;
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Makes the socket non-blocking and runs the handshake.  host is the
    // host of the URL without its port: a name is sent as the server name
    // (SNI) and must be one the certificate names; a dotted address must be
    // one of the certificate's addresses (OpenSSL sends none for it).  The whole
    // handshake must be done within timeoutMs (kErrReceiveTimeout).  On
    // success the session is Open(); on failure it stays closed.
    TlsOutcome Connect(os::SocketHandle socket, const std::string& host, int timeoutMs, const StopSignals& stop);

    bool Open() const { return backend_ != nullptr; }
    // "TLS 1.2", "TLS 1.3"; empty while not open.
    std::string Protocol() const;

    // Like SendText: the whole text or a negative code; timeoutMs -1 sends
    // at once, 0 waits without limit for the socket to take the first bytes.
    int SendText(const std::string& text, int timeoutMs);

    // Like ReceiveBytes: up to `most` decrypted bytes into target, at most
    // perCall per call; early when asked to end or stopped (with what it
    // has), kErrReceiveTimeout after more than timeoutMs of silence,
    // kErrClosed when the peer closed (its close_notify, or the stream ended
    // without one: a cut is seen by the length the HTTP answer gave, as over
    // plain TCP).  With returnOnData it returns once data came and nothing
    // more can be had without waiting: as one receive call of the socket
    // takes everything the system holds, it takes every record already
    // received (a record is at most 16 KB, the engine's buffer 1 MiB).  An
    // end or an error met after such data is returned by the next call, so
    // the data comes with a result >= 0 as it does over plain TCP.
    ReceiveResult Receive(char* target, int most, int perCall, int timeoutMs, const StopSignals& stop,
                          ProgressSink* progress, bool returnOnData);

    // Sends the close_notify if the socket takes it at once (no waiting) and
    // ends the session; call it before the socket is closed.  The destructor
    // only ends the session and sends nothing: by then the socket may be
    // closed and its number taken by another connection.
    void Close();

private:
    std::unique_ptr<TlsBackend> backend_;
    os::SocketHandle socket_ = os::kNoSocket;
    int pending_ = 0;  // an end or error held back for the next Receive; 0 none
};

}  // namespace zorv::download
