// The parts of the socket layer that BSD sockets and Winsock spell alike:
// name resolution, the loopback listener of the tests and tools, and an
// abortive close.  Only the headers and two type names differ.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include "download/os_socket.h"

namespace zorv::download::os {
namespace {

#ifdef _WIN32
using NativeSocket = SOCKET;
using AddressSize = int;
#else
using NativeSocket = int;
using AddressSize = socklen_t;
#endif

NativeSocket Raw(SocketHandle socket) { return static_cast<NativeSocket>(socket); }

}  // namespace

std::optional<std::string> ResolveIpv4(const std::string& name) {
    if (!StartNetwork()) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &answer) != 0 || answer == nullptr) return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    auto* address = reinterpret_cast<sockaddr_in*>(answer->ai_addr);
    inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
    freeaddrinfo(answer);
    return std::string(text);
}

Socket ListenLoopback(uint16_t& port) {
    Socket listener = NewTcpSocket();
    if (!listener.Valid()) return listener;
#ifndef _WIN32
    // Lets a fixed port be bound again while connections of an earlier
    // listener linger in TIME_WAIT.  Winsock's option of that name would let
    // a second socket take a port that is in use: not set there.
    int yes = 1;
    setsockopt(Raw(listener.Get()), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(Raw(listener.Get()), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(Raw(listener.Get()), 64) != 0)
        return Socket();
    AddressSize size = sizeof address;
    getsockname(Raw(listener.Get()), reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return listener;
}

void ResetOnClose(SocketHandle socket) {
    // A zero linger time makes the close send RST and drop what is unsent.
    linger abort{};
    abort.l_onoff = 1;
    abort.l_linger = 0;
    setsockopt(Raw(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
}

}  // namespace zorv::download::os
