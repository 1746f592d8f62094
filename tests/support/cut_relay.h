#pragma once
// A relay on 127.0.0.1 between one client and a real server, for the faults
// that no server configuration makes: it passes the bytes both ways and,
// once the server has sent cutAfter bytes towards the client, ends the
// client's connection in the middle of the stream, with the end of the
// stream (FIN) or with a reset (RST).  Both sides see ordinary sockets, so a
// TLS session runs through it unchanged until the cut.  Portable (the
// engine's socket layer): natively and under Wine alike.
#include <atomic>
#include <cstdint>
#include <thread>

#include "download/os_socket.h"

namespace zorv::testing {

class CutRelay {
public:
    enum class Cut { kClose, kReset };

    // Listens at once (Port()); the first client accepted is connected to
    // 127.0.0.1:serverPort.
    CutRelay(uint16_t serverPort, int64_t cutAfter, Cut cut);
    ~CutRelay();  // ends the relay and joins its thread
    CutRelay(const CutRelay&) = delete;
    CutRelay& operator=(const CutRelay&) = delete;

    bool Listening() const { return listener_.Valid(); }
    uint16_t Port() const { return port_; }
    // Bytes of the server passed to the client so far.
    int64_t Passed() const { return passed_.load(); }
    // True once the cut was made.
    bool CutMade() const { return cutDone_.load(); }

private:
    void Run();
    bool Pump(download::os::SocketHandle from, download::os::SocketHandle to, int64_t most, int64_t& moved);

    uint16_t serverPort_;
    int64_t cutAfter_;
    Cut cut_;
    download::os::Socket listener_;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int64_t> passed_{0};
    std::atomic<bool> cutDone_{false};
    std::thread thread_;
};

}  // namespace zorv::testing
