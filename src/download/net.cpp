#include "download/net.h"

#include <algorithm>

namespace zorv::download {
namespace {

std::atomic<int64_t> processReceived{0};

constexpr int kPassedOnErrors[] = {10004, 10014, 10022, 10035, 10036, 10038, 10040, 10045, 10050,
                                   10052, 10053, 10054, 10056, 10057, 10058, 10060, 10093};

struct CodeText {
    int code;
    const char* text;
};

constexpr CodeText kTexts[] = {
    {-22, "有错误发生"},
    {-21, "读MMS数据错误"},
    {-10, "接收数据超时"},
    {-9, "FD_ISSET 找不到需要的SOCK"},
    {-8, "接收数据错误"},
    {-7, "发送数据错误"},
    {-6, "等待接收或发送数据超时"},
    {-5, "等待接收或发送数据错误"},
    {-4, "空指针错误"},
    {-3, "设置或获得SOCK状态出错"},
    {-2, "位置错误"},
    {-10093, "应用程序没有调用 WSAStartup，或者 WSAStartup 失败。"},
    {-10050, "套接字操作遇到了一个已死的网络。"},
    {-10014, "系统检测到在一个调用中尝试使用指针参数时的无效指针地址。"},
    {-10057, "由于套接字没有连接并且(当使用一个 sendto 调用发送数据报套接字时)没有提供地址，发送或接收数据的请求没有被接受"},
    {-10004, "一个封锁操作被对 WSACancelBlockingCall 的调用中断。"},
    {-10036, "目前正在执行一个阻挡性操作。"},
    {-10052, "当该操作在进行中，由于保持活动的操作检测到一个故障，该连接中断。"},
    {-10038, "在一个非套接字上尝试了一个操作。"},
    {-10045, "参考的对象类型不支持尝试的操作。"},
    {-10058, "由于以前的关闭调用，套接字在那个方向已经关闭，发送或接收数据的请求没有被接受。"},
    {-10035, "无法立即完成一个非阻挡性套接字操作。"},
    {-10040, "用户用于接收数据报的缓冲器比数据报小。"},
    {-10022, "过程调用无效。"},
    {-10053, "您的主机中的软件放弃了一个已建立的连接。"},
    {-10060, "由于连接方在一段时间后没有正确答复或连接的主机没有反应，连接尝试失败。"},
    {-10054, "远程主机强迫关闭了一个现有的连接。"},
};

}  // namespace

int MappedSocketError(int winsockError) {
    for (int listed : kPassedOnErrors)
        if (listed == winsockError) return -winsockError;
    return kErrUnknown;
}

std::string ErrorText(int code) {
    for (const CodeText& entry : kTexts)
        if (entry.code == code) return entry.text;
    return "未知错误";
}

int64_t ProcessBytesReceived() { return processReceived.load(); }

int ConnectWithTimeout(os::SocketHandle socket, const std::string& dotted, uint16_t port, int timeoutMs,
                       const StopSignals& stop) {
    int attempts = std::max(1, timeoutMs / 10);
    if (!os::SetNonBlocking(socket, true)) return kErrSocketState;
    int started = os::StartConnect(socket, dotted, port);
    if (started == 0) {
        os::SetNonBlocking(socket, false);
        return 0;
    }
    if (started != os::kWouldBlock && started != os::kInProgress) {
        os::SetNonBlocking(socket, false);
        return MappedSocketError(started);
    }
    for (int attempt = 0; attempt < attempts; ++attempt) {
        int ready = os::WaitSocket(socket, false, true, 10);
        if (ready < 0) {
            os::SetNonBlocking(socket, false);
            return kErrWait;
        }
        if (ready > 0) {
            int pending = os::PendingSocketError(socket);
            os::SetNonBlocking(socket, false);
            // Writable with an error is a refused or failed connect.
            return pending == 0 ? 0 : kErrWait;
        }
        if (stop.TaskStopped()) {
            os::SetNonBlocking(socket, false);
            return kErrStopped;
        }
        if (os::PendingSocketError(socket) != 0) {
            os::SetNonBlocking(socket, false);
            return kErrWait;
        }
    }
    os::SetNonBlocking(socket, false);
    return kErrConnectTimeout;
}

int SendText(os::SocketHandle socket, const std::string& text, int timeoutMs) {
    if (timeoutMs != -1) {
        int ready = os::WaitSocket(socket, false, true, timeoutMs == 0 ? -1 : timeoutMs);
        if (ready < 0) return kErrWait;
        if (ready == 0) return kErrSendTimeout;
    }
    // The socket may be non-blocking: a short send is followed by the rest,
    // so a request is never cut.
    int total = 0;
    int idleMs = 0;
    while (total < static_cast<int>(text.size())) {
        int sent = os::SendSome(socket, text.data() + total, static_cast<int>(text.size()) - total);
        if (sent > 0) {
            total += sent;
            continue;
        }
        if (sent == 0) return kErrSend;
        int error = os::LastSocketError();
        if (error != os::kWouldBlock || (timeoutMs > 0 && idleMs > timeoutMs)) return MappedSocketError(error);
        if (os::WaitSocket(socket, false, true, 10) < 0) return kErrWait;
        idleMs += 10;
    }
    return total;
}

ReceiveResult ReceiveBytes(os::SocketHandle socket, char* target, int most, int perCall, int timeoutMs,
                           const StopSignals& stop, ProgressSink* progress, bool returnOnData) {
    ReceiveResult result;
    int idleMs = 0;
    perCall = std::max(1, perCall);
    while (result.bytes < most) {
        int ask = std::min(perCall, most - result.bytes);
        int received = os::RecvSome(socket, target + result.bytes, ask);
        if (received > 0) {
            result.bytes += received;
            processReceived.fetch_add(received, std::memory_order_relaxed);
            if (progress != nullptr) progress->AddReceived(received);
            idleMs = 0;
            if (returnOnData || stop.AskedToEnd()) break;
            continue;
        }
        if (received == 0) {
            result.code = kErrClosed;
            return result;
        }
        int error = os::LastSocketError();
        if (error != os::kWouldBlock) {
            result.code = MappedSocketError(error);
            return result;
        }
        int ready = os::WaitSocket(socket, true, false, 10);
        if (ready < 0) {
            result.code = kErrWait;
            return result;
        }
        if (ready == 0) {
            idleMs += 10;
            if (idleMs > timeoutMs) {
                result.code = kErrReceiveTimeout;
                return result;
            }
            if (stop.AskedToEnd()) break;
        }
    }
    result.code = result.bytes;
    return result;
}

}  // namespace zorv::download
