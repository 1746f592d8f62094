#pragma once
// A minimal blocking client for tests that talk to a loopback server byte
// for byte, without the download engine in between.
#include <cstdint>
#include <string>

#include "download/os_socket.h"

namespace zorv::testing {

class RawClient {
public:
    // Connects to 127.0.0.1:port; Connected() tells whether it worked.
    explicit RawClient(uint16_t port);
    bool Connected() const { return socket_.Valid(); }
    bool Send(const std::string& bytes);
    // Reads until the peer closes, or until silenceMs pass without data;
    // everything read is returned.  closed tells which of the two ended it.
    std::string ReadAll(int silenceMs, bool* closed = nullptr);
    // Reads until exactly count bytes arrived (or the peer closed, or
    // silenceMs of silence); what was read is returned.
    std::string ReadExactly(size_t count, int silenceMs);
    // One receive call after waiting up to waitMs for data; empty when none
    // came or the peer closed.
    std::string ReadSome(int waitMs);
    void Close() { socket_.Close(); }

private:
    download::os::Socket socket_;
};

// Connects, sends the request, reads until the server closes (at most
// silenceMs of silence) and returns every byte received.
std::string Exchange(uint16_t port, const std::string& request, int silenceMs = 5000);

}  // namespace zorv::testing
