// The portable half of TlsSession: the waits of at most 10 ms around the
// platform's single steps, the time-outs, the stop checks and the texts.
#include "download/tls.h"

#include <algorithm>
#include <thread>  // steady_clock: <chrono> itself holds a "µs" literal with no GBK form
#include <utility>

#include "download/texts.h"
#include "download/tls_backend.h"

namespace zorv::download {
namespace {

// Waits up to 10 ms for what the step asked for: 1 ready, 0 not yet, -1 the
// wait failed.
int WaitFor(os::SocketHandle socket, TlsIo io) {
    return os::WaitSocket(socket, io == TlsIo::kWantRead, io == TlsIo::kWantWrite, 10);
}

const char* CertificateReason(CertificateProblem problem) {
    switch (problem) {
        case CertificateProblem::kUntrusted: return "颁发机构不受信任";
        case CertificateProblem::kExpired: return "已过期或尚未生效";
        case CertificateProblem::kWrongName: return "不是颁发给该服务器名称的";
        case CertificateProblem::kRevoked: return "已被吊销";
        case CertificateProblem::kWrongUsage: return "不能用于安全连接的服务器";
        default: return "无效";
    }
}

}  // namespace

TlsFailure TlsFailureOf(int code) {
    if (code >= 0) return TlsFailure::kNone;
    switch (code) {
        case kErrStopped: return TlsFailure::kStopped;
        case kErrTlsCertificate:
        case kErrTlsVersion:
        case kErrTlsHandshake:
        case kErrTlsUnavailable: return TlsFailure::kRefused;
        default: return TlsFailure::kNetwork;
    }
}

std::string TlsErrorText(int code) {
    switch (code) {
        case kErrTlsCertificate: return "服务器证书验证失败";
        case kErrTlsVersion: return "服务器不支持 TLS 1.2 或更高版本";
        case kErrTlsHandshake: return "安全连接握手失败";
        case kErrTlsData: return "安全连接数据错误";
        case kErrTlsUnavailable: return "系统的安全连接组件不可用";
        default: return ErrorText(code);
    }
}

std::string TlsStatusText(const TlsOutcome& outcome, const std::string& host) {
    switch (outcome.code) {
        case kErrTlsCertificate:
            return FormatText("服务器 [%s] 的证书%s", host.c_str(), CertificateReason(outcome.certificate));
        case kErrTlsVersion: return FormatText("服务器 [%s] 不支持 TLS 1.2 或更高版本", host.c_str());
        case kErrTlsHandshake: return FormatText("与服务器 [%s] 的安全连接握手失败", host.c_str());
        default: return TlsErrorText(outcome.code);
    }
}

TlsSession::TlsSession() = default;
TlsSession::~TlsSession() = default;
TlsSession::TlsSession(TlsSession&& other) noexcept
    : backend_(std::move(other.backend_)),
      socket_(std::exchange(other.socket_, os::kNoSocket)),
      pending_(std::exchange(other.pending_, 0)) {}
TlsSession& TlsSession::operator=(TlsSession&& other) noexcept {
    if (this != &other) {
        backend_ = std::move(other.backend_);
        socket_ = std::exchange(other.socket_, os::kNoSocket);
        pending_ = std::exchange(other.pending_, 0);
    }
    return *this;
}

TlsOutcome TlsSession::Connect(os::SocketHandle socket, const std::string& host, int timeoutMs,
                               const StopSignals& stop) {
    backend_.reset();
    socket_ = os::kNoSocket;
    pending_ = 0;
    if (!os::SetNonBlocking(socket, true)) return TlsOutcome{kErrSocketState, {}, {}};
    TlsOutcome failure;
    std::unique_ptr<TlsBackend> backend = NewTlsBackend(socket, host, failure);
    if (!backend) return failure;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    while (true) {
        TlsStep step = backend->Handshake();
        if (step.io == TlsIo::kDone) break;
        if (step.io == TlsIo::kFailed) return step.failure;
        if (step.io == TlsIo::kClosed) return TlsOutcome{kErrClosed, {}, "closed during the handshake"};
        if (WaitFor(socket, step.io) < 0) return TlsOutcome{kErrWait, {}, {}};
        if (stop.AskedToEnd()) return TlsOutcome{kErrStopped, {}, {}};
        if (std::chrono::steady_clock::now() > deadline) return TlsOutcome{kErrReceiveTimeout, {}, {}};
    }
    backend_ = std::move(backend);
    socket_ = socket;
    return TlsOutcome{};
}

std::string TlsSession::Protocol() const { return backend_ ? backend_->Protocol() : std::string(); }

int TlsSession::SendText(const std::string& text, int timeoutMs) {
    if (!backend_) return kErrSocketState;
    if (timeoutMs != -1) {
        int ready = os::WaitSocket(socket_, false, true, timeoutMs == 0 ? -1 : timeoutMs);
        if (ready < 0) return kErrWait;
        if (ready == 0) return kErrSendTimeout;
    }
    int total = 0;
    int idleMs = 0;
    const int length = static_cast<int>(text.size());
    // The last step flushes what the library still holds: the request is
    // sent whole or not at all, as over plain TCP.
    while (true) {
        TlsStep step = total < length ? backend_->Write(text.data() + total, length - total) : backend_->Flush();
        if (step.io == TlsIo::kDone) {
            if (total >= length) return total;
            total += step.bytes;
            continue;
        }
        if (step.io == TlsIo::kFailed) return step.failure.code;
        if (step.io == TlsIo::kClosed) return kErrSend;
        if (timeoutMs > 0 && idleMs > timeoutMs) return kErrSendTimeout;
        if (WaitFor(socket_, step.io) < 0) return kErrWait;
        idleMs += 10;
    }
}

ReceiveResult TlsSession::Receive(char* target, int most, int perCall, int timeoutMs, const StopSignals& stop,
                                  ProgressSink* progress, bool returnOnData) {
    ReceiveResult result;
    if (!backend_) {
        result.code = kErrSocketState;
        return result;
    }
    if (pending_ != 0) {
        result.code = std::exchange(pending_, 0);
        return result;
    }
    int idleMs = 0;
    perCall = std::max(1, perCall);
    while (result.bytes < most) {
        TlsStep step = backend_->Read(target + result.bytes, std::min(perCall, most - result.bytes));
        if (step.io == TlsIo::kDone) {
            if (step.bytes == 0) continue;  // a record without data
            result.bytes += step.bytes;
            if (progress != nullptr) progress->AddReceived(step.bytes);
            idleMs = 0;
            if (stop.AskedToEnd()) break;
            continue;
        }
        const bool drained = returnOnData && result.bytes > 0;
        if (step.io == TlsIo::kClosed || step.io == TlsIo::kFailed) {
            int code = step.io == TlsIo::kClosed ? kErrClosed : step.failure.code;
            if (drained) {
                pending_ = code;
                break;
            }
            result.code = code;
            return result;
        }
        if (drained) break;  // everything received so far is taken; no wait
        int ready = WaitFor(socket_, step.io);
        if (ready < 0) {
            result.code = kErrWait;
            return result;
        }
        if (ready == 0) {
            idleMs += 10;
            if (idleMs > timeoutMs) {
                result.code = kErrReceiveTimeout;
                return result;
            }
            if (stop.AskedToEnd()) break;
        }
    }
    result.code = result.bytes;
    return result;
}

void TlsSession::Close() {
    if (backend_) backend_->Shutdown();
    backend_.reset();
    socket_ = os::kNoSocket;
    pending_ = 0;
}

}  // namespace zorv::download
