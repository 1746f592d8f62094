#include "support/cut_relay.h"

#include <algorithm>
#include <cstdint>

#include "download/net.h"

namespace zorv::testing {
namespace os = download::os;

CutRelay::CutRelay(uint16_t serverPort, int64_t cutAfter, Cut cut)
    : serverPort_(serverPort), cutAfter_(cutAfter), cut_(cut) {
    os::StartNetwork();
    listener_ = os::ListenLoopback(port_);
    if (listener_.Valid()) thread_ = std::thread([this] { Run(); });
}

CutRelay::~CutRelay() {
    stopping_.store(true);
    if (thread_.joinable()) thread_.join();
}

// Moves what one side has to the other, at most `most` bytes; false when
// the sending side ended or either side failed.
bool CutRelay::Pump(os::SocketHandle from, os::SocketHandle to, int64_t most, int64_t& moved) {
    char chunk[16384];
    moved = 0;
    if (most <= 0) return true;
    int received = os::RecvSome(from, chunk, static_cast<int>(std::min<int64_t>(most, sizeof chunk)));
    if (received == 0) return false;
    if (received < 0) return os::LastSocketError() == os::kWouldBlock;
    for (int sent = 0; sent < received;) {
        int result = os::SendSome(to, chunk + sent, received - sent);
        if (result > 0) {
            sent += result;
        } else if (result < 0 && os::LastSocketError() == os::kWouldBlock) {
            if (stopping_.load()) return false;
            os::WaitSocket(to, false, true, 10);
        } else {
            return false;
        }
    }
    moved = received;
    return true;
}

void CutRelay::Run() {
    os::Socket client;
    while (!client.Valid() && !stopping_.load()) client = os::AcceptConnection(listener_.Get(), 10);
    if (!client.Valid()) return;
    os::Socket server = os::NewTcpSocket();
    if (!server.Valid() ||
        download::ConnectWithTimeout(server.Get(), "127.0.0.1", serverPort_, 5000, download::StopSignals{}) != 0)
        return;
    os::SetNonBlocking(client.Get(), true);
    os::SetNonBlocking(server.Get(), true);
    while (!stopping_.load()) {
        int64_t up = 0, down = 0;
        if (!Pump(client.Get(), server.Get(), INT64_MAX, up)) break;
        if (!Pump(server.Get(), client.Get(), cutAfter_ - passed_.load(), down)) break;
        passed_.fetch_add(down);
        if (passed_.load() >= cutAfter_) {
            if (cut_ == Cut::kReset) os::ResetOnClose(client.Get());
            client.Close();
            cutDone_.store(true);
            break;
        }
        if (up == 0 && down == 0) {
            os::WaitSocket(server.Get(), true, false, 5);
            os::WaitSocket(client.Get(), true, false, 5);
        }
    }
}

}  // namespace zorv::testing
