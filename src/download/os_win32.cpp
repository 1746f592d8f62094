// Winsock, files written with WriteFile at offsets, and the local clock for
// the Windows build.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <utility>

#include "download/os_file.h"
#include "download/os_socket.h"
#include "runtime/codepage_win32.h"
#include "runtime/unique_handle_win32.h"

namespace zorv::download::os {
namespace {

SOCKET Raw(SocketHandle socket) { return static_cast<SOCKET>(socket); }

// Written with WriteFile at each block's offset, not through a mapped view:
// Wine extends a file sparse, and a store into a page of the view that a
// full disk cannot back raises an in-page error (SIGBUS underneath) that
// nothing here could catch, while Wine has no way to reserve the blocks
// first (FileAllocationInfo fails with ERROR_CALL_NOT_IMPLEMENTED).  A
// failed WriteFile is an ordinary result, for a full disk, a drive that went
// away or an I/O error alike.
class WindowsTargetFile final : public TargetFile {
public:
    WindowsTargetFile(UniqueFile file, int64_t length) : file_(std::move(file)), length_(length) {}
    int64_t Length() const override { return length_; }
    bool WriteAt(int64_t offset, const char* data, size_t size, size_t* done) override {
        if (done != nullptr) *done = 0;
        if (offset < 0 || offset > length_ || static_cast<int64_t>(size) > length_ - offset) return false;
        while (size > 0) {
            // The offset in OVERLAPPED makes the write positioned: the
            // connections writing at once never rely on the file pointer.
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file_.get(), data, chunk, &written, &at) || written == 0) return false;
            if (done != nullptr) *done += written;
            data += written;
            size -= written;
            offset += written;
        }
        return true;
    }

private:
    UniqueFile file_;
    int64_t length_;
};

UniqueFile OpenForWriting(const std::string& path, DWORD disposition) {
    return UniqueFile(CreateFileW(WideFromGbk(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool SetLength(HANDLE file, int64_t length) {
    LARGE_INTEGER end{};
    end.QuadPart = length;
    return SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

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

Socket AcceptConnection(SocketHandle listener, int timeoutMs) {
    if (WaitSocket(listener, true, false, timeoutMs) != 1) return Socket();
    SOCKET socket = accept(Raw(listener), nullptr, nullptr);
    if (socket == INVALID_SOCKET) return Socket();
    return Socket(static_cast<SocketHandle>(socket));
}

void ShutdownSending(SocketHandle socket) { shutdown(Raw(socket), SD_SEND); }
void ShutdownBoth(SocketHandle socket) { shutdown(Raw(socket), SD_BOTH); }

std::unique_ptr<TargetFile> CreateTargetFile(const std::string& path, int64_t length) {
    if (length < 0) return nullptr;
    UniqueFile file = OpenForWriting(path, CREATE_NEW);
    if (!file) return nullptr;
    if (SetLength(file.get(), length)) return std::make_unique<WindowsTargetFile>(std::move(file), length);
    // No empty file of the product's name is left behind to be taken for an
    // installed one.
    file.reset();
    DeleteFileW(WideFromGbk(path).c_str());
    return nullptr;
}

std::unique_ptr<TargetFile> OpenTargetFile(const std::string& path, int64_t length) {
    if (length <= 0) return nullptr;
    UniqueFile file = OpenForWriting(path, OPEN_EXISTING);
    if (!file) return nullptr;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart != length) return nullptr;
    return std::make_unique<WindowsTargetFile>(std::move(file), length);
}

std::optional<int64_t> ExistingFileSize(const std::string& path) {
    UniqueFile file(CreateFileW(WideFromGbk(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return std::nullopt;
    return static_cast<int64_t>(size.QuadPart);
}

std::optional<std::string> GbkFromUtf8(const std::string& utf8) {
    if (utf8.empty()) return std::string();
    int size = static_cast<int>(utf8.size());
    int wideSize = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (wideSize <= 0) return std::nullopt;
    std::wstring wide(static_cast<size_t>(wideSize), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), wideSize);
    // No best fit: a character without a GBK form must not become a
    // look-alike or a "?", which would name another file or none at all.
    BOOL lossy = FALSE;
    int gbkSize = WideCharToMultiByte(kTextCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize, nullptr, 0,
                                      nullptr, &lossy);
    if (gbkSize <= 0 || lossy) return std::nullopt;
    std::string gbk(static_cast<size_t>(gbkSize), '\0');
    WideCharToMultiByte(kTextCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize, gbk.data(), gbkSize, nullptr,
                        &lossy);
    if (lossy) return std::nullopt;
    return gbk;
}

LocalTime NowLocal() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace zorv::download::os
