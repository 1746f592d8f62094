#pragma once
// The engine's view of the socket layer: IPv4 TCP sockets, waits of a given
// number of milliseconds, and error numbers reported in the Winsock numbering
// on every platform, so the result codes and their texts are the same natively
// and in the Windows build.
#include <cstdint>
#include <optional>
#include <string>

namespace zorv::download::os {

using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// Winsock error numbers the engine distinguishes.
enum : int {
    kWouldBlock = 10035,
    kInProgress = 10036,
};

// A move-only owner of one socket.
class Socket {
public:
    Socket() = default;
    explicit Socket(SocketHandle handle) : handle_(handle) {}
    ~Socket() { Close(); }
    Socket(Socket&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoSocket; }
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = other.handle_;
            other.handle_ = kNoSocket;
        }
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool Valid() const { return handle_ != kNoSocket; }
    SocketHandle Get() const { return handle_; }
    void Close();

private:
    SocketHandle handle_ = kNoSocket;
};

// Starts the socket layer once per process; false when it cannot start.
bool StartNetwork();

// A fresh IPv4 TCP stream socket; not Valid() on failure.
Socket NewTcpSocket();

// Error number of the last failed socket call of this thread (Winsock numbering).
int LastSocketError();

bool SetNonBlocking(SocketHandle socket, bool nonBlocking);

// Begins a connect to dotted:port.  0 connected, otherwise the error number
// (kWouldBlock or kInProgress while the connect is under way).
int StartConnect(SocketHandle socket, const std::string& dotted, uint16_t port);

// Waits up to timeoutMs for the socket to become readable (and/or writable).
// 1 ready, 0 not ready, -1 the wait itself failed.
int WaitSocket(SocketHandle socket, bool readable, bool writable, int timeoutMs);

// Pending error of the socket (SO_ERROR); 0 for none.
int PendingSocketError(SocketHandle socket);

// One send/recv call: bytes moved, 0 (recv: the peer closed), -1 error
// (LastSocketError tells which).
int SendSome(SocketHandle socket, const char* data, int length);
int RecvSome(SocketHandle socket, char* data, int length);

// First IPv4 address of a host name, as dotted text.
std::optional<std::string> ResolveIpv4(const std::string& name);

// For the loopback servers of the tests and tools: a listening socket on
// 127.0.0.1 with the given port (0 = any); the port actually bound is stored.
Socket ListenLoopback(uint16_t& port);
// Accepts one connection; waits at most timeoutMs.  Not Valid() when none came.
Socket AcceptConnection(SocketHandle listener, int timeoutMs);
// Half-closes the sending side.
void ShutdownSending(SocketHandle socket);
// Makes the owner's close abortive: the peer gets a reset (RST) instead of
// the end of the stream, and bytes not yet sent are dropped.
void ResetOnClose(SocketHandle socket);
// Shuts both directions down, so that a thread waiting on the socket wakes
// up at once; the handle stays open until its owner closes it.
void ShutdownBoth(SocketHandle socket);

}  // namespace zorv::download::os
