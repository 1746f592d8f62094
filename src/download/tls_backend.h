#pragma once
// What a platform's TLS library does for TlsSession: single non-blocking
// steps over the socket.  The waits, time-outs, stop checks and progress
// accounting around them are portable (tls.cpp), so both builds wait and
// give up alike.
#include <memory>
#include <string>

#include "download/os_socket.h"
#include "download/tls.h"

namespace zorv::download {

enum class TlsIo {
    kDone,       // the step finished; bytes tells how many were moved
    kWantRead,   // try again once the socket is readable
    kWantWrite,  // try again once the socket is writable
    kClosed,     // the peer ended the stream (close_notify or end of the TCP stream)
    kFailed,     // failure holds the code and, for a certificate, its problem
};

struct TlsStep {
    TlsIo io = TlsIo::kDone;
    int bytes = 0;
    TlsOutcome failure;
};

inline TlsStep Step(TlsIo io, int bytes = 0) { return TlsStep{io, bytes, {}}; }
inline TlsStep Failed(int code, std::string detail = {}, CertificateProblem problem = CertificateProblem::kNone) {
    return TlsStep{TlsIo::kFailed, 0, TlsOutcome{code, problem, std::move(detail)}};
}

class TlsBackend {
public:
    virtual ~TlsBackend() = default;
    // One step of the handshake, the checks of the certificate and of the
    // protocol version included: kDone once the session can carry data.
    virtual TlsStep Handshake() = 0;
    // Up to `most` decrypted bytes.
    virtual TlsStep Read(char* target, int most) = 0;
    // Takes up to `length` bytes to send (kDone with the count taken); what
    // the socket did not take yet is sent by later calls and by Flush.
    virtual TlsStep Write(const char* data, int length) = 0;
    // kDone once everything taken by Write has gone to the socket.
    virtual TlsStep Flush() = 0;
    // Queues the close_notify and tries to send it, without waiting.
    virtual void Shutdown() = 0;
    virtual std::string Protocol() const = 0;
};

// The platform's session for host over the (non-blocking) socket, before
// the handshake; nullptr with failure set when the library is unavailable.
std::unique_ptr<TlsBackend> NewTlsBackend(os::SocketHandle socket, const std::string& host, TlsOutcome& failure);

}  // namespace zorv::download
