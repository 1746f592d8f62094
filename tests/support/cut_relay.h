#pragma once
// A relay on 127.0.0.1 between clients and a real server, for the faults
// that no server configuration makes: it passes the bytes both ways and,
// once the server has sent cutAfter bytes towards the first client, ends
// that client's connection in the middle of the stream, with the end of the
// stream (FIN) or with a reset (RST).  Later clients (a reconnect) are
// relayed whole.  As a proxy it first answers each client's CONNECT request
// (recorded for the test) and then relays the tunnel to the server, so a
// client's TLS session runs through it unchanged.  Both sides see ordinary
// sockets.  Portable (the engine's socket layer): natively and under Wine
// alike.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/os_socket.h"

namespace zorv::testing {

class CutRelay {
public:
    enum class Cut { kNone, kClose, kReset };

    struct Options {
        int64_t cutAfter = -1;  // with a cut: bytes of the server passed to the first client before it
        Cut cut = Cut::kNone;
        // Answer a CONNECT request first, as an HTTP proxy does: 200 opens
        // the tunnel to the server, any other status is sent and the client's
        // connection ends.
        bool proxy = false;
        int proxyStatus = 200;
    };

    // Listens at once (Port()); every client accepted is connected to
    // 127.0.0.1:serverPort.
    CutRelay(uint16_t serverPort, Options options);
    CutRelay(uint16_t serverPort, int64_t cutAfter, Cut cut) : CutRelay(serverPort, Options{cutAfter, cut}) {}
    ~CutRelay();  // ends the relay and joins its threads
    CutRelay(const CutRelay&) = delete;
    CutRelay& operator=(const CutRelay&) = delete;

    bool Listening() const { return listener_.Valid(); }
    uint16_t Port() const { return port_; }
    // "127.0.0.1:<port>", as a proxy setting names it.
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
    // Bytes of the server passed to the first client so far.
    int64_t Passed() const { return passed_.load(); }
    // True once the cut was made.
    bool CutMade() const { return cutDone_.load(); }
    // Clients accepted so far.
    int Clients() const { return clients_.load(); }
    // The heads of the CONNECT requests received, in order.
    std::vector<std::string> ProxyRequests() const;

private:
    void Accept();
    void Serve(download::os::Socket client, bool first);
    bool AnswerConnect(download::os::SocketHandle client);
    void Relay(download::os::SocketHandle client, download::os::SocketHandle server, bool first);
    bool Pump(download::os::SocketHandle from, download::os::SocketHandle to, int64_t most, int64_t& moved);

    uint16_t serverPort_;
    Options options_;
    download::os::Socket listener_;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int64_t> passed_{0};
    std::atomic<bool> cutDone_{false};
    std::atomic<int> clients_{0};
    mutable std::mutex lock_;  // guards proxyRequests_ and workers_
    std::vector<std::string> proxyRequests_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

}  // namespace zorv::testing
