#include "support/raw_client.h"

#include <algorithm>

namespace zorv::testing {
namespace os = download::os;

RawClient::RawClient(uint16_t port) {
    os::StartNetwork();
    os::Socket socket = os::NewTcpSocket();
    if (socket.Valid() && os::StartConnect(socket.Get(), "127.0.0.1", port) == 0) socket_ = std::move(socket);
}

bool RawClient::Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        int result = os::SendSome(socket_.Get(), bytes.data() + sent, static_cast<int>(bytes.size() - sent));
        if (result <= 0) return false;
        sent += static_cast<size_t>(result);
    }
    return true;
}

std::string RawClient::ReadSome(int waitMs) {
    if (os::WaitSocket(socket_.Get(), true, false, waitMs) != 1) return std::string();
    char chunk[65536];
    int received = os::RecvSome(socket_.Get(), chunk, sizeof chunk);
    return received > 0 ? std::string(chunk, static_cast<size_t>(received)) : std::string();
}

std::string RawClient::ReadExactly(size_t count, int silenceMs) {
    std::string data;
    char chunk[65536];
    while (data.size() < count) {
        if (os::WaitSocket(socket_.Get(), true, false, silenceMs) != 1) break;
        size_t want = std::min(sizeof chunk, count - data.size());
        int received = os::RecvSome(socket_.Get(), chunk, static_cast<int>(want));
        if (received <= 0) break;
        data.append(chunk, static_cast<size_t>(received));
    }
    return data;
}

std::string RawClient::ReadAll(int silenceMs, bool* closed) {
    std::string data;
    char chunk[65536];
    if (closed != nullptr) *closed = false;
    while (os::WaitSocket(socket_.Get(), true, false, silenceMs) == 1) {
        int received = os::RecvSome(socket_.Get(), chunk, sizeof chunk);
        if (received <= 0) {
            if (closed != nullptr) *closed = true;
            break;
        }
        data.append(chunk, static_cast<size_t>(received));
    }
    return data;
}

std::string Exchange(uint16_t port, const std::string& request, int silenceMs) {
    RawClient client(port);
    if (!client.Connected() || !client.Send(request)) return std::string();
    return client.ReadAll(silenceMs);
}

}  // namespace zorv::testing
