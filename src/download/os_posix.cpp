// BSD sockets, open/ftruncate/pwrite and localtime_r for the native build.
#include <arpa/inet.h>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <iconv.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "download/os_file.h"
#include "download/os_socket.h"

namespace zorv::download::os {
namespace {

// errno values translated into the Winsock numbering the engine reports.
int WinsockNumber(int error) {
    switch (error) {
        case EAGAIN: return kWouldBlock;
        case EINPROGRESS: return kInProgress;
        case EALREADY: return kInProgress;
        case EINTR: return 10004;
        case EFAULT: return 10014;
        case EINVAL: return 10022;
        case EBADF:
        case ENOTSOCK: return 10038;
        case EMSGSIZE: return 10040;
        case EOPNOTSUPP: return 10045;
        case ENETDOWN: return 10050;
        case ENETRESET: return 10052;
        case ECONNABORTED: return 10053;
        case ECONNRESET: return 10054;
        case EPIPE: return 10058;
        case EISCONN: return 10056;
        case ENOTCONN: return 10057;
        case ETIMEDOUT: return 10060;
        case ECONNREFUSED: return 10061;
        default: return 10000 + error;  // outside the listed codes: reported as unknown
    }
}

thread_local int lastError = 0;

int Fail() {
    lastError = WinsockNumber(errno);
    return -1;
}

// Paths may use "\" as the program does; the native file system wants "/".
std::string NativePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// A move-only owner of one file descriptor.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    bool Valid() const { return fd_ >= 0; }
    int Get() const { return fd_; }

private:
    int fd_;
};

// Written with pwrite: stores into a shared mapping fault in every page one
// by one, which makes them several times slower than writes through the
// descriptor, and a store into a page that a full disk cannot back ends the
// process with SIGBUS where pwrite fails with ENOSPC.  The file stays sparse
// until written.
class PosixTargetFile final : public TargetFile {
public:
    PosixTargetFile(UniqueFd fd, int64_t length) : fd_(std::move(fd)), length_(length) {}
    int64_t Length() const override { return length_; }
    bool WriteAt(int64_t offset, const char* data, size_t size, size_t* written) override {
        if (written != nullptr) *written = 0;
        if (offset < 0 || offset > length_ || static_cast<int64_t>(size) > length_ - offset) return false;
        while (size > 0) {
            ssize_t wrote = ::pwrite(fd_.Get(), data, size, static_cast<off_t>(offset));
            if (wrote < 0 && errno == EINTR) continue;
            if (wrote <= 0) return false;
            if (written != nullptr) *written += static_cast<size_t>(wrote);
            data += wrote;
            size -= static_cast<size_t>(wrote);
            offset += wrote;
        }
        return true;
    }

private:
    UniqueFd fd_;
    int64_t length_;
};

}  // namespace

void Socket::Close() {
    if (handle_ != kNoSocket) {
        ::close(static_cast<int>(handle_));
        handle_ = kNoSocket;
    }
}

bool StartNetwork() { return true; }

Socket NewTcpSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        Fail();
        return Socket();
    }
    return Socket(fd);
}

int LastSocketError() { return lastError; }

bool SetNonBlocking(SocketHandle socket, bool nonBlocking) {
    int fd = static_cast<int>(socket);
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) return Fail(), false;
    flags = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (fcntl(fd, F_SETFL, flags) < 0) return Fail(), false;
    return true;
}

int StartConnect(SocketHandle socket, const std::string& dotted, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, dotted.c_str(), &address.sin_addr) != 1) return 10022;
    if (::connect(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return 0;
    Fail();
    return lastError;
}

int WaitSocket(SocketHandle socket, bool readable, bool writable, int timeoutMs) {
    pollfd entry{};
    entry.fd = static_cast<int>(socket);
    entry.events = static_cast<short>((readable ? POLLIN : 0) | (writable ? POLLOUT : 0));
    int result = ::poll(&entry, 1, timeoutMs);
    if (result < 0) {
        if (errno == EINTR) return 0;
        return Fail();
    }
    return result > 0 ? 1 : 0;
}

int PendingSocketError(SocketHandle socket) {
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_ERROR, &error, &size) < 0) return 10038;
    return error == 0 ? 0 : WinsockNumber(error);
}

int SendSome(SocketHandle socket, const char* data, int length) {
    ssize_t sent = ::send(static_cast<int>(socket), data, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (sent < 0) return Fail();
    return static_cast<int>(sent);
}

int RecvSome(SocketHandle socket, char* data, int length) {
    ssize_t received = ::recv(static_cast<int>(socket), data, static_cast<size_t>(length), 0);
    if (received < 0) return Fail();
    return static_cast<int>(received);
}

Socket AcceptConnection(SocketHandle listener, int timeoutMs) {
    if (WaitSocket(listener, true, false, timeoutMs) != 1) return Socket();
    int fd = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return Socket();
    return Socket(fd);
}

void ShutdownSending(SocketHandle socket) { ::shutdown(static_cast<int>(socket), SHUT_WR); }
void ShutdownBoth(SocketHandle socket) { ::shutdown(static_cast<int>(socket), SHUT_RDWR); }

std::unique_ptr<TargetFile> CreateTargetFile(const std::string& path, int64_t length) {
    if (length < 0) return nullptr;
    std::string native = NativePath(path);
    UniqueFd fd(::open(native.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!fd.Valid()) return nullptr;
    if (ftruncate(fd.Get(), static_cast<off_t>(length)) != 0) {
        // No empty file of the product's name is left behind to be taken
        // for an installed one.
        ::unlink(native.c_str());
        return nullptr;
    }
    return std::make_unique<PosixTargetFile>(std::move(fd), length);
}

std::unique_ptr<TargetFile> OpenTargetFile(const std::string& path, int64_t length) {
    if (length <= 0) return nullptr;
    UniqueFd fd(::open(NativePath(path).c_str(), O_RDWR | O_CLOEXEC));
    if (!fd.Valid()) return nullptr;
    struct stat info {};
    if (fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) || static_cast<int64_t>(info.st_size) != length)
        return nullptr;
    return std::make_unique<PosixTargetFile>(std::move(fd), length);
}

std::optional<int64_t> ExistingFileSize(const std::string& path) {
    UniqueFd fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!fd.Valid() || fstat(fd.Get(), &info) != 0) return std::nullopt;
    return static_cast<int64_t>(info.st_size);
}

std::optional<std::string> GbkFromUtf8(const std::string& utf8) {
    iconv_t converter = iconv_open("GBK", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    // GBK never takes more bytes than UTF-8 for the same characters.
    std::string out(utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* target = out.data();
    size_t targetLeft = out.size();
    size_t result = iconv(converter, &in, &inLeft, &target, &targetLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - targetLeft);
    return out;
}

LocalTime NowLocal() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

}  // namespace zorv::download::os
