// Winsock, CreateFileMapping/MapViewOfFile and the local clock for the
// Windows build.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>
#include <mutex>

#include "download/os_file.h"
#include "download/os_socket.h"
#include "runtime/codepage_win32.h"

namespace zorv::download::os {
namespace {

SOCKET Raw(SocketHandle socket) { return static_cast<SOCKET>(socket); }

// A move-only owner of a kernel handle.
class KernelHandle {
public:
    explicit KernelHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~KernelHandle() {
        if (Valid()) CloseHandle(handle_);
    }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }

private:
    HANDLE handle_;
};

class WindowsMappedFile final : public TargetFile {
public:
    WindowsMappedFile(HANDLE mapping, char* base, int64_t length)
        : mapping_(mapping), base_(base), length_(length) {}
    ~WindowsMappedFile() override {
        UnmapViewOfFile(base_);
        CloseHandle(mapping_);
    }
    int64_t Length() const override { return length_; }
    bool WriteAt(int64_t offset, const char* data, size_t size) override {
        if (offset < 0 || offset > length_ || static_cast<int64_t>(size) > length_ - offset) return false;
        std::memcpy(base_ + offset, data, size);
        return true;
    }

private:
    HANDLE mapping_;
    char* base_;
    int64_t length_;
};

}  // namespace

void Socket::Close() {
    if (handle_ != kNoSocket) {
        closesocket(Raw(handle_));
        handle_ = kNoSocket;
    }
}

bool StartNetwork() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data{};
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

Socket NewTcpSocket() {
    if (!StartNetwork()) return Socket();
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) return Socket();
    return Socket(static_cast<SocketHandle>(socket));
}

int LastSocketError() { return WSAGetLastError(); }

bool SetNonBlocking(SocketHandle socket, bool nonBlocking) {
    u_long mode = nonBlocking ? 1 : 0;
    return ioctlsocket(Raw(socket), FIONBIO, &mode) == 0;
}

int StartConnect(SocketHandle socket, const std::string& dotted, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, dotted.c_str(), &address.sin_addr) != 1) return WSAEINVAL;
    if (::connect(Raw(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return 0;
    return WSAGetLastError();
}

int WaitSocket(SocketHandle socket, bool readable, bool writable, int timeoutMs) {
    fd_set readSet, writeSet, errorSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&errorSet);
    if (readable) FD_SET(Raw(socket), &readSet);
    if (writable) FD_SET(Raw(socket), &writeSet);
    FD_SET(Raw(socket), &errorSet);  // a failed non-blocking connect shows here
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int result = select(0, &readSet, &writeSet, &errorSet, timeoutMs < 0 ? nullptr : &wait);
    if (result == SOCKET_ERROR) return -1;
    if (result == 0) return 0;
    if (FD_ISSET(Raw(socket), &errorSet) && !FD_ISSET(Raw(socket), &readSet) && !FD_ISSET(Raw(socket), &writeSet))
        return 0;  // the pending error is picked up by the caller
    return 1;
}

int PendingSocketError(SocketHandle socket) {
    int error = 0;
    int size = sizeof error;
    if (getsockopt(Raw(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        return WSAENOTSOCK;
    return error;
}

int SendSome(SocketHandle socket, const char* data, int length) {
    int sent = ::send(Raw(socket), data, length, 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

int RecvSome(SocketHandle socket, char* data, int length) {
    int received = ::recv(Raw(socket), data, length, 0);
    return received == SOCKET_ERROR ? -1 : received;
}

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
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(Raw(listener.Get()), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(Raw(listener.Get()), 64) != 0)
        return Socket();
    int size = sizeof address;
    getsockname(Raw(listener.Get()), reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return listener;
}

Socket AcceptConnection(SocketHandle listener, int timeoutMs) {
    if (WaitSocket(listener, true, false, timeoutMs) != 1) return Socket();
    SOCKET socket = accept(Raw(listener), nullptr, nullptr);
    if (socket == INVALID_SOCKET) return Socket();
    return Socket(static_cast<SocketHandle>(socket));
}

void ShutdownSending(SocketHandle socket) { shutdown(Raw(socket), SD_SEND); }
void ShutdownBoth(SocketHandle socket) { shutdown(Raw(socket), SD_BOTH); }

std::unique_ptr<TargetFile> CreateTargetFile(const std::string& path, int64_t length) {
    if (length <= 0) return nullptr;
    KernelHandle file(CreateFileW(WideFromGbk(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid()) return nullptr;
    KernelHandle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READWRITE,
                                            static_cast<DWORD>(static_cast<uint64_t>(length) >> 32),
                                            static_cast<DWORD>(length), nullptr));
    if (!mapping.Valid()) return nullptr;
    void* base = MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, static_cast<SIZE_T>(length));
    if (base == nullptr) return nullptr;
    // The mapping keeps the file open; the file handle is closed here.
    return std::make_unique<WindowsMappedFile>(mapping.Release(), static_cast<char*>(base), length);
}

std::unique_ptr<TargetFile> OpenTargetFile(const std::string& path, int64_t length) {
    if (length <= 0) return nullptr;
    KernelHandle file(CreateFileW(WideFromGbk(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid()) return nullptr;
    // A mapping larger than the file would extend it: the size is checked first.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart != length) return nullptr;
    KernelHandle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READWRITE,
                                            static_cast<DWORD>(static_cast<uint64_t>(length) >> 32),
                                            static_cast<DWORD>(length), nullptr));
    if (!mapping.Valid()) return nullptr;
    void* base = MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, static_cast<SIZE_T>(length));
    if (base == nullptr) return nullptr;
    return std::make_unique<WindowsMappedFile>(mapping.Release(), static_cast<char*>(base), length);
}

std::optional<int64_t> ExistingFileSize(const std::string& path) {
    KernelHandle file(CreateFileW(WideFromGbk(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return std::nullopt;
    return static_cast<int64_t>(size.QuadPart);
}

LocalTime NowLocal() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace zorv::download::os
