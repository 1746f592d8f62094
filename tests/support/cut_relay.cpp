#include "support/cut_relay.h"

#include <algorithm>
#include <thread>  // steady_clock: <chrono> itself holds a "µs" literal with no GBK form
#include <cstdint>

#include "download/net.h"

namespace zorv::testing {
namespace os = download::os;

CutRelay::CutRelay(uint16_t serverPort, Options options) : serverPort_(serverPort), options_(options) {
    os::StartNetwork();
    listener_ = os::ListenLoopback(port_);
    if (listener_.Valid()) acceptor_ = std::thread([this] { Accept(); });
}

CutRelay::~CutRelay() {
    stopping_.store(true);
    if (acceptor_.joinable()) acceptor_.join();
    // Joined without the lock, which a worker takes to record its request.
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> guard(lock_);
        workers.swap(workers_);
    }
    for (std::thread& worker : workers) worker.join();
}

std::vector<std::string> CutRelay::ProxyRequests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return proxyRequests_;
}

void CutRelay::Accept() {
    while (!stopping_.load()) {
        os::Socket client = os::AcceptConnection(listener_.Get(), 10);
        if (!client.Valid()) continue;
        bool first = clients_.fetch_add(1) == 0;
        std::lock_guard<std::mutex> guard(lock_);
        workers_.emplace_back([this, first, socket = std::move(client)]() mutable { Serve(std::move(socket), first); });
    }
}

void CutRelay::Serve(os::Socket client, bool first) {
    os::SetNonBlocking(client.Get(), true);
    if (options_.proxy && !AnswerConnect(client.Get())) return;
    os::Socket server = os::NewTcpSocket();
    if (!server.Valid() ||
        download::ConnectWithTimeout(server.Get(), "127.0.0.1", serverPort_, 5000, download::StopSignals{}) != 0)
        return;
    os::SetNonBlocking(server.Get(), true);
    Relay(client.Get(), server.Get(), first);
}

// Reads the request head (at most 4 KB within 5 s), records it and answers
// it; true when the tunnel is open.
bool CutRelay::AnswerConnect(os::SocketHandle client) {
    std::string head;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (stopping_.load() || head.size() > 4096 || std::chrono::steady_clock::now() > deadline) return false;
        char chunk[1024];
        int received = os::RecvSome(client, chunk, sizeof chunk);
        if (received == 0 || (received < 0 && os::LastSocketError() != os::kWouldBlock)) return false;
        if (received > 0)
            head.append(chunk, static_cast<size_t>(received));
        else
            os::WaitSocket(client, true, false, 10);
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        proxyRequests_.push_back(head);
    }
    const bool open = options_.proxyStatus == 200;
    std::string answer = open ? "HTTP/1.1 200 Connection established\r\n\r\n"
                              : "HTTP/1.1 " + std::to_string(options_.proxyStatus) + " Refused\r\nContent-Length: 0\r\n\r\n";
    download::SendText(client, answer, 5000);
    return open;
}

void CutRelay::Relay(os::SocketHandle client, os::SocketHandle server, bool first) {
    const bool cuts = first && options_.cut != Cut::kNone;
    int64_t passed = 0;
    while (!stopping_.load()) {
        int64_t up = 0, down = 0;
        if (!Pump(client, server, INT64_MAX, up)) break;
        if (!Pump(server, client, cuts ? options_.cutAfter - passed : INT64_MAX, down)) break;
        passed += down;
        if (first) passed_.store(passed);
        if (cuts && passed >= options_.cutAfter) {
            if (options_.cut == Cut::kReset) os::ResetOnClose(client);
            // The caller's Socket closes the client's side at once: the
            // client sees the cut, and the server's side goes with it.
            cutDone_.store(true);
            return;
        }
        if (up == 0 && down == 0) {
            os::WaitSocket(server, true, false, 5);
            os::WaitSocket(client, true, false, 5);
        }
    }
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

}  // namespace zorv::testing
