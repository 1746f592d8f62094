// One HTTP or HTTPS connection of a task on its worker thread: finding the
// server, the tunnel through a proxy and the TLS session of an https://
// request, the first request (with redirects) or a range request, the
// target file, and the receive passes that fill its segment; reconnects
// after errors.
#include <algorithm>
#include <array>
#include <cstring>

#include "download/target_name.h"
#include "download/task.h"
#include "download/texts.h"

namespace zorv::download {
namespace {

const char kFileCreateError[] = "创建文件错误，超出最大支持下载长度或磁盘不可写或磁盘没有空间或同名文件已存在";
const char kFileWriteError[] = "写入文件错误，磁盘不可写或磁盘没有空间";
const char kRedirectError[] = "COOKIE过长或获得重定向信息错误或不支持的协议";
const char kRequestTooLong[] = "HTTP请求信息过长";
const char kTargetTooLong[] = "目标文件路径过长";
const char kReadingWholeBody[] = "服务器不支持断点续传，从文件开头接收";
const char kGivingWay[] = "服务器不支持断点续传，这一段由正在接收整个文件的连接接收";

// What a transfer ends with: the connection's end, a reconnect, the next
// segment by a range request, or (within the transfer) its segment filled.
enum class Outcome { kEnded, kFailed, kRetry, kNextSegment, kSegmentDone };

// Results of a request besides 1 (answer accepted), 0 (the connection
// fails) and -1 (try again): the segment is left to the connection that
// reads the whole file, and this one ends.
constexpr int kGiveWay = 2;

// Bounds of one EV_BYTES_RECEIVED without a speed limit (see Report).
constexpr int kReportBytes = 1 << 20;
constexpr std::chrono::milliseconds kReportEvery{50};

// Bytes also go to the file once they have waited this long (see
// kReceiveBufferSize), so a slow connection keeps its file and its resume
// data current.
constexpr std::chrono::milliseconds kWriteEvery{1000};

// Name resolution that a stop can abandon: the lookup runs on a helper
// thread that shares only this small state, so a stop does not wait for a
// slow resolver.
std::optional<std::string> ResolveStoppable(const std::string& name, const StopSignals& stop) {
    if (IsDottedAddress(name)) return name;  // nothing to look up, no thread needed
    struct Lookup {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        std::optional<std::string> address;
    };
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, name] {
            std::optional<std::string> address = os::ResolveIpv4(name);
            std::lock_guard<std::mutex> guard(lookup->lock);
            lookup->address = std::move(address);
            lookup->finished = true;
            lookup->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return os::ResolveIpv4(name);
    }
    std::unique_lock<std::mutex> guard(lookup->lock);
    while (!lookup->finished) {
        if (stop.AskedToEnd()) return std::nullopt;
        lookup->done.wait_for(guard, std::chrono::milliseconds(10));
    }
    return lookup->address;
}

class Progress final : public ProgressSink {
public:
    Progress(DownloadTask& task, Connection& connection) : task_(task), connection_(connection) {}
    void AddReceived(int bytes) override { task_.AddReceived(connection_, bytes); }

private:
    DownloadTask& task_;
    Connection& connection_;
};

class HttpConnection {
public:
    HttpConnection(DownloadTask& task, Connection& connection) : task_(task), c_(connection) {}
    void Run();

private:
    bool AskedToEnd() const { return !task_.Running() || c_.run.load() != 1; }
    void Status(int32_t level, const std::string& text) { task_.Status(c_.id, level, text); }
    void Event(int32_t code, int64_t value1, int64_t value2 = 0) { task_.Event(code, c_.id, value1, value2); }
    bool Serve();
    bool NewSocket();
    void CloseSocket();
    int FindAddress(std::string& dotted, uint16_t& port);
    int Connect(const std::string& dotted, uint16_t port, const char* connecting, const char* connected);
    int Reach(const std::string& dotted, uint16_t port, const char* connecting, const char* connected);
    int OpenTunnel(const RequestData& data);
    int StartTls(const std::string& host);
    RequestData CurrentRequest();
    int Send(const std::string& text);
    ReceiveResult Receive(char* target, int most, int perCall, ProgressSink* progress, bool returnOnData,
                          int timeoutMs = -1);
    int SendAndReadHead(const std::string& extra);
    int Exchange(const std::optional<std::string>& request, std::string& head);
    int ReadHead(std::string& head);
    void TakeServerName();
    int FirstRequest();
    int RangeRequest();
    bool PlainBody(const HttpResponseInfo& response);
    void StartBody(bool whole, int64_t position);
    int TakeWholeBody();
    int RefuseStatus(int status);
    bool SetUpFile();
    bool ResolveConflict(std::string& path);
    Outcome Transfer();
    Outcome FillSegment(int64_t& position, int& buffered);
    ReceiveResult ReceivePass(int64_t position, int& buffered, int64_t end);
    ReceiveResult SkipPass(int64_t position);
    int TakeHeadBytes(int64_t position);
    void AllocateBuffer();
    bool FlushDue(int buffered) const;
    bool ContinueInStream(int64_t& position);
    int32_t NextInStreamLocked(int64_t position) const;
    Outcome NextSegment();
    bool Flush(int64_t& position, int& buffered);
    bool FlushAtEnd(int64_t& position, int& buffered);
    void Report(int bytes, bool now);
    bool WaitBeforeRetry(int& attempts);
    int64_t SegmentEnd();
    void End(bool normal);

    DownloadTask& task_;
    Connection& c_;
    // Body bytes that came with the head, until the transfer takes them.
    std::array<char, kHeadLimit> headSpill_;
    int headBytes_ = 0;
    std::chrono::steady_clock::time_point writtenAt_;  // the last write of buffered bytes
    // The answer being read: whether its body is the whole file from byte 0,
    // and the file offset of the next byte the socket gives.  A whole body
    // read for a later position is received and dropped up to it.
    bool wholeBody_ = false;
    int64_t streamAt_ = 0;
    // Received bytes not yet reported with EV_BYTES_RECEIVED, and when the
    // last report went out.
    int unreported_ = 0;
    std::chrono::steady_clock::time_point reportedAt_;
};

void HttpConnection::Run() {
    Event(EV_CONNECTION_STARTED, 0);
    bool normal = false;
    try {
        normal = Serve();
    } catch (const std::bad_alloc&) {
        normal = false;  // no memory for the buffer or a record: the connection ends quietly
    }
    End(normal);
}

bool HttpConnection::Serve() {
    int attempts = 0;
    bool haveSegment = !c_.first;
    while (true) {
        int result = haveSegment ? RangeRequest() : FirstRequest();
        if (result == kGiveWay) return true;
        if (result == 1) {
            if (!haveSegment) {
                if (!SetUpFile()) return false;
                haveSegment = true;
            }
            Outcome outcome = Transfer();
            if (outcome == Outcome::kEnded) return true;
            if (outcome == Outcome::kFailed) return false;
            if (outcome == Outcome::kNextSegment) {
                CloseSocket();
                if (AskedToEnd()) return true;  // stopped between two segments: a normal end
                continue;
            }
        } else if (result == 0) {
            return false;
        }
        if (!WaitBeforeRetry(attempts)) return false;
    }
}

bool HttpConnection::NewSocket() {
    c_.tls.Close();
    os::Socket socket = os::NewTcpSocket();
    if (!socket.Valid()) return false;
    std::lock_guard<std::mutex> guard(c_.lock);
    c_.socket = std::move(socket);
    return true;
}

// The TLS session ends first: its close_notify needs the socket, and a
// socket number closed before it may already belong to another connection.
void HttpConnection::CloseSocket() {
    c_.tls.Close();
    {
        std::lock_guard<std::mutex> guard(c_.lock);
        c_.socket.Close();
    }
    if (!wholeBody_) return;
    wholeBody_ = false;
    std::lock_guard<std::mutex> guard(task_.taskLock);
    if (task_.wholeReader == c_.id) task_.wholeReader = 0;
}

int HttpConnection::FindAddress(std::string& dotted, uint16_t& port) {
    RequestData data;
    {
        std::lock_guard<std::mutex> guard(task_.taskLock);
        data = task_.request;
    }
    StopSignals stop = task_.Signals(c_);
    if (!data.proxy.empty()) {
        HostPort proxy = SplitProxy(data.proxy);
        port = proxy.port;
        if (IsDottedAddress(proxy.host)) {
            dotted = proxy.host;
        } else {
            Status(LEVEL_INFO, FormatText("正在代理服务器解析域名 [%s]", proxy.host.c_str()));
            std::optional<std::string> address = ResolveStoppable(proxy.host, stop);
            if (!address) {
                if (stop.AskedToEnd()) return -1;
                Status(LEVEL_ERROR, FormatText("解析代理服务器域名 [%s]出错", data.proxy.c_str()));
                return -1;
            }
            dotted = *address;
        }
    } else {
        port = data.port;
        if (IsDottedAddress(data.host)) {
            dotted = data.host;
        } else {
            // The task's port was taken from the address already; the name
            // leaves out the user information and the port.
            std::string name = HostNameOf(data.host);
            Status(LEVEL_INFO, FormatText("正在解析域名 [%s]", name.c_str()));
            std::optional<std::string> address = ResolveStoppable(name, stop);
            if (!address) {
                if (stop.AskedToEnd()) return -1;
                Status(LEVEL_ERROR, FormatText("解析域名 [%s]出错", name.c_str()));
                return -1;
            }
            dotted = *address;
        }
    }
    std::lock_guard<std::mutex> guard(task_.taskLock);
    task_.dotted = dotted;
    task_.connectPort = port;
    return 0;
}

int HttpConnection::Connect(const std::string& dotted, uint16_t port, const char* connecting,
                            const char* connected) {
    Status(LEVEL_INFO, FormatText(connecting, dotted.c_str(), port));
    int result = ConnectWithTimeout(c_.socket.Get(), dotted, port, task_.config.connectTimeoutMs, task_.Signals(c_));
    if (result == kErrStopped) return -1;
    if (result == kErrConnectTimeout) {
        Status(LEVEL_ERROR, FormatText("连接 [%s:%d]超时", dotted.c_str(), port));
        return -1;
    }
    if (result < 0) {
        Status(LEVEL_ERROR, FormatText("连接 [%s:%d]失败", dotted.c_str(), port));
        return -1;
    }
    Status(LEVEL_INFO, FormatText(connected, dotted.c_str(), port));
    // Every later wait on the socket is a short poll: receive calls are tried
    // first and only waited for when they would block.
    os::SetNonBlocking(c_.socket.Get(), true);
    return 0;
}

// Connects to the server or the proxy; for an https:// request then the
// tunnel through the proxy and the TLS session with the host.  1 ready for
// the request, 0 the connection fails (a refusal: never retried), -1 try
// again.
int HttpConnection::Reach(const std::string& dotted, uint16_t port, const char* connecting, const char* connected) {
    if (Connect(dotted, port, connecting, connected) < 0) return -1;
    RequestData data = CurrentRequest();
    if (!data.secure) return 1;
    if (!data.proxy.empty()) {
        int tunnel = OpenTunnel(data);
        if (tunnel != 1) return tunnel;
    }
    return StartTls(HostNameOf(data.host));
}

// Asks the proxy for a tunnel to the host.  Anything but 200 is the proxy's
// refusal (it asks for credentials, or will not or cannot reach the host),
// and bytes after its answer would be no server's: the TLS session has not
// begun.
int HttpConnection::OpenTunnel(const RequestData& data) {
    HostPort target = TunnelTarget(data);
    Status(LEVEL_INFO, FormatText("正在通过代理服务器连接 [%s:%d]", target.host.c_str(), target.port));
    std::string head;
    int result = Exchange(BuildConnectRequest(data), head);
    if (result != 1) return result;
    const int status = ParseHead(head).status;
    const bool surplus = headBytes_ > 0;
    headBytes_ = 0;
    if (status != 200) {
        Status(LEVEL_ERROR, FormatText("代理服务器拒绝连接 [%s:%d], 返回号[%d]", target.host.c_str(), target.port, status));
        return 0;
    }
    if (surplus) {
        Status(LEVEL_ERROR, "代理服务器的应答之后有多余的数据");
        return 0;
    }
    return 1;
}

// The TLS session with the host, its certificate checked.  A refusal (the
// certificate, the protocol version, a failed handshake) ends the
// connection with its reason; a network error is tried again.
int HttpConnection::StartTls(const std::string& host) {
    Status(LEVEL_INFO, FormatText("正在与 [%s] 建立安全连接", host.c_str()));
    TlsOutcome outcome = c_.tls.Connect(c_.socket.Get(), host, task_.config.receiveTimeoutMs, task_.Signals(c_));
    switch (TlsFailureOf(outcome.code)) {
        case TlsFailure::kNone:
            Status(LEVEL_INFO, FormatText("安全连接已建立 (%s)", c_.tls.Protocol().c_str()));
            return 1;
        case TlsFailure::kStopped: return -1;
        case TlsFailure::kNetwork:
            Status(LEVEL_ERROR, TlsStatusText(outcome, host));
            return -1;
        case TlsFailure::kRefused: break;
    }
    Status(LEVEL_ERROR, TlsStatusText(outcome, host));
    if (!outcome.detail.empty()) Status(LEVEL_INFO, outcome.detail);
    return 0;
}

RequestData HttpConnection::CurrentRequest() {
    std::lock_guard<std::mutex> guard(task_.taskLock);
    return task_.request;
}

// The request goes through the TLS session when one is open, else straight
// to the socket; the two have the same results.
int HttpConnection::Send(const std::string& text) {
    const int timeoutMs = task_.config.sendTimeoutMs;
    return c_.tls.Open() ? c_.tls.SendText(text, timeoutMs) : SendText(c_.socket.Get(), text, timeoutMs);
}

ReceiveResult HttpConnection::Receive(char* target, int most, int perCall, ProgressSink* progress, bool returnOnData,
                                      int timeoutMs) {
    if (timeoutMs < 0) timeoutMs = task_.config.receiveTimeoutMs;
    StopSignals stop = task_.Signals(c_);
    if (c_.tls.Open()) return c_.tls.Receive(target, most, perCall, timeoutMs, stop, progress, returnOnData);
    return ReceiveBytes(c_.socket.Get(), target, most, perCall, timeoutMs, stop, progress, returnOnData);
}

int HttpConnection::ReadHead(std::string& head) {
    std::array<char, kHeadLimit> buffer;
    size_t got = 0;
    // The whole head must come within the receive time-out, not only each of
    // its pieces: a server that sends a byte now and then would otherwise
    // hold the connection for as long as the head limit lets it.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(task_.config.receiveTimeoutMs);
    while (true) {
        if (std::optional<HeadSpan> span = FindHead(buffer.data(), got)) {
            head.assign(buffer.data() + span->begin, span->end - span->begin);
            headBytes_ = static_cast<int>(got - span->end);
            std::memcpy(headSpill_.data(), buffer.data() + span->end, static_cast<size_t>(headBytes_));
            return 1;
        }
        if (got >= kHeadLimit) {
            Status(LEVEL_ERROR, "HTTP返回头部信息过长");
            return 0;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() < 0) {
            Status(LEVEL_ERROR, ErrorText(kErrReceiveTimeout));
            return -1;
        }
        int space = static_cast<int>(kHeadLimit - got);
        ReceiveResult received =
            Receive(buffer.data() + got, space, space, nullptr, true, static_cast<int>(left.count()));
        got += static_cast<size_t>(received.bytes);
        if (received.code < 0 && FindHead(buffer.data(), got)) continue;  // the head came before the error
        if (received.code < 0 || received.bytes == 0) {
            Status(LEVEL_ERROR, TlsErrorText(received.code));
            return -1;
        }
    }
}

int HttpConnection::SendAndReadHead(const std::string& extra) {
    std::string head;
    int result = Exchange(BuildRequest(CurrentRequest(), extra), head);
    if (result != 1) return result;
    c_.response = ParseHead(head);
    TakeServerName();
    return 1;
}

// Sends a request and reads its answer's head: ReadHead's result (1 with
// the head), 0 for a request too long to send, -1 for a send that failed.
int HttpConnection::Exchange(const std::optional<std::string>& request, std::string& head) {
    if (!request) {
        Status(LEVEL_ERROR, kRequestTooLong);
        return 0;
    }
    Status(LEVEL_SENT, *request);
    // A send that timed out counts as not sent: reading an answer to it would
    // only end in the receive time-out.
    if (Send(*request) < 0) {
        Status(LEVEL_ERROR, "发送请求失败");
        return -1;
    }
    int result = ReadHead(head);
    if (result == 1) Status(LEVEL_RECEIVED, head);
    return result;
}

// A folder target takes the name that the server gives, when it is safe.
void HttpConnection::TakeServerName() {
    std::string name = UsableServerName(DispositionFileName(c_.response.disposition));
    if (name.empty()) return;
    std::lock_guard<std::mutex> guard(task_.taskLock);
    if (NamesFolder(task_.targetPath)) task_.targetPath += name;
}

int HttpConnection::FirstRequest() {
    // Redirects are followed in this loop, never by recursion, and only so
    // many in a row.
    for (int redirects = 0;; ++redirects) {
        if (!NewSocket()) return 0;
        std::string dotted;
        uint16_t port = 0;
        if (FindAddress(dotted, port) < 0) return -1;
        bool proxy;
        {
            std::lock_guard<std::mutex> guard(task_.taskLock);
            proxy = !task_.request.proxy.empty();
        }
        int reached = Reach(dotted, port, proxy ? "正在连接代理服务器 [%s:%d]" : "正在连接 [%s:%d]", "连接 [%s:%d]成功");
        if (reached != 1) return reached;
        std::string extra;
        {
            std::lock_guard<std::mutex> guard(task_.taskLock);
            extra = task_.request.extra;
        }
        int result = SendAndReadHead(extra);
        if (result != 1) return result;
        const HttpResponseInfo& response = c_.response;
        if (response.status == 200 || response.status == 206) {
            // A length beyond what the engine carries fails before any byte is written.
            if (response.lengthTooLong) {
                Status(LEVEL_ERROR, kFileCreateError);
                return 0;
            }
            if (!PlainBody(response)) return 0;
            task_.SetTotalLength(response.contentLength);
            StartBody(true, 0);
            return 1;
        }
        if (!IsRedirectStatus(response.status)) return RefuseStatus(response.status);
        if (!response.hasLocation) {
            Status(LEVEL_ERROR, "获得重定向信息错误");
            return 0;
        }
        Status(LEVEL_ERROR, FormatText("重定向到 [%s]", response.location.c_str()));
        bool applied = false;
        if (redirects < kMaxRedirects) {
            std::lock_guard<std::mutex> guard(task_.taskLock);
            applied = ApplyRedirect(task_.request, response);
        }
        if (!applied) {
            Status(LEVEL_ERROR, kRedirectError);
            return 0;
        }
        CloseSocket();
        c_.response = HttpResponseInfo{};
    }
}

int HttpConnection::RangeRequest() {
    if (!NewSocket()) return 0;
    std::string dotted;
    uint16_t port;
    {
        std::lock_guard<std::mutex> guard(task_.taskLock);
        dotted = task_.dotted;
        port = task_.connectPort;
    }
    int reached = Reach(dotted, port, "正在连接 [%s:%d]", "连接[%s:%d]成功");
    if (reached != 1) return reached;
    int64_t position = PositionOf(task_, c_);
    int result = SendAndReadHead(RangeLine(position));
    if (result != 1) return result;
    // Only a partial answer that names the position asked for and the
    // file's length is written at the segment's position; a part of another
    // file or of another place, or a 206 that does not say which part it
    // is, never is.  A whole file of the same length (a server that ignores
    // ranges) is read from byte 0.
    const HttpResponseInfo& response = c_.response;
    int64_t total = task_.TotalLength();
    bool part = response.status == 206 && response.hasContentRange && response.rangeStart == position &&
                response.rangeTotal == total;
    bool whole = response.status == 200 && response.contentLength == total && !response.lengthTooLong;
    if (!part && !whole) {
        if (response.status != 200 && response.status != 206) return RefuseStatus(response.status);
        Status(LEVEL_ERROR, "出现错误");
        return 0;
    }
    if (!PlainBody(response)) return 0;
    if (whole) return TakeWholeBody();
    StartBody(false, position);
    return 1;
}

// The engine asks for no encoding: a body in one (a compressed file) is not
// the file's bytes, and saved as it came it would be reported complete.
bool HttpConnection::PlainBody(const HttpResponseInfo& response) {
    if (IdentityEncoded(response)) return true;
    Status(LEVEL_ERROR, FormatText("不支持的内容编码 [%s]", response.contentEncoding.c_str()));
    return false;
}

// The accepted answer's body starts at this file offset: 0 for the whole
// file, which the task knows this connection to be reading.
void HttpConnection::StartBody(bool whole, int64_t position) {
    wholeBody_ = whole;
    streamAt_ = whole ? 0 : position;
    if (!whole) return;
    std::lock_guard<std::mutex> guard(task_.taskLock);
    if (task_.wholeReader != 0) return;
    task_.wholeReader = c_.id;
    task_.wholeReaderAt = 0;
}

// A range request answered with the whole file: the server ignores ranges.
// One connection reading a whole body is enough: another whose segment the
// reader has yet to reach gives it back and ends, handing it over under the
// same lock as the reader takes segments, so the reader finds it free.  A
// segment the reader has passed already is read by its own connection,
// from a whole body of its own.
int HttpConnection::TakeWholeBody() {
    bool giveWay = false;
    {
        std::lock_guard<std::mutex> guard(task_.taskLock);
        task_.rangesIgnored = true;
        Segment& segment = task_.table.segments[static_cast<size_t>(c_.segment)];
        const int64_t position = segment.start + segment.done;
        if (task_.wholeReader == 0) {
            task_.wholeReader = c_.id;
            task_.wholeReaderAt = position;
        } else if (task_.wholeReaderAt <= position) {
            if (segment.connection == c_.id) {
                segment.taken = 0;
                segment.owner = 0;
                segment.connection = 0;
            }
            giveWay = true;
        }
    }
    if (giveWay) {
        Status(LEVEL_INFO, kGivingWay);
        return kGiveWay;
    }
    Status(LEVEL_INFO, kReadingWholeBody);
    StartBody(true, 0);
    return 1;
}

// Reports an answer the connection cannot use; always 0 (connection failed).
int HttpConnection::RefuseStatus(int status) {
    if (status == 400 || status == 403 || status == 404)
        Status(LEVEL_ERROR, "出现错误");
    else
        Status(LEVEL_ERROR, FormatText("暂时不支持的返回, 返回号[%d]", status));
    return 0;
}

bool HttpConnection::SetUpFile() {
    int64_t total = task_.TotalLength();
    if (total < 0) {
        Status(LEVEL_ERROR, "无法获得文件大小");
        return false;
    }
    std::string path;
    int32_t count;
    {
        std::lock_guard<std::mutex> guard(task_.taskLock);
        task_.table = BuildSegmentTable(total, 0, c_.further + 1);
        Segment& first = task_.table.segments[0];
        first.taken = 1;
        first.owner = c_.id;
        first.connection = c_.id;
        c_.segment = 0;
        count = task_.table.count;
        if (NamesFolder(task_.targetPath)) task_.targetPath += NameFromRequestPath(task_.request.path);
        path = task_.targetPath;
    }
    if (path.size() >= kTargetPathLimit) {
        Status(LEVEL_ERROR, kTargetTooLong);
        return false;
    }
    if (!ResolveConflict(path)) return false;
    if (AskedToEnd()) return false;
    std::unique_ptr<os::TargetFile> file = os::CreateTargetFile(path, total);
    if (!file) {
        Status(LEVEL_ERROR, kFileCreateError);
        return false;
    }
    {
        std::unique_lock<std::shared_mutex> guard(task_.fileLock);
        if (task_.fileClosed) return false;
        task_.file = std::move(file);
    }
    for (int32_t i = 1; i < count; ++i) task_.queue.Post(Message(MSG_START_CONNECTION, task_.id, 0));
    return true;
}

bool HttpConnection::ResolveConflict(std::string& path) {
    std::optional<int64_t> existing = os::ExistingFileSize(path);
    if (!existing) return true;
    int32_t answer = 0;
    // The one callback made on a worker thread: its answer decides at once.
    if (task_.config.eventCallback)
        answer = task_.config.eventCallback(EV_TARGET_EXISTS, c_.id, *existing, task_.TotalLength(), task_.id);
    if (answer == 1) {
        Status(LEVEL_INFO, "发现同名文件, 用户选择放弃下载");
        return false;
    }
    if (answer == 2) {
        {
            std::lock_guard<std::mutex> guard(task_.taskLock);
            path = task_.targetPath;
        }
        Status(LEVEL_INFO, FormatText("发现同名文件, 用户更名为%s", path.c_str()));
        return true;
    }
    if (answer != 0) return false;
    for (int renamed = 0;;) {
        std::optional<std::string> next = NextAutoName(path);
        if (!next || next->size() >= kTargetPathLimit) return false;
        path = *next;
        ++renamed;
        if (!os::ExistingFileSize(path)) break;
        if (renamed >= 99) {
            Status(LEVEL_ERROR, "发现同名文件，超过系统自动更名次数");
            return false;
        }
    }
    {
        std::lock_guard<std::mutex> guard(task_.taskLock);
        task_.targetPath = path;
    }
    Status(LEVEL_INFO, FormatText("发现同名文件, 系统自动更名为%s", path.c_str()));
    return true;
}

// Read before every pass: a split by the master thread may have moved it.
int64_t HttpConnection::SegmentEnd() {
    std::lock_guard<std::mutex> guard(task_.taskLock);
    if (c_.segment < 0 || c_.segment >= task_.table.count) return 0;
    const Segment& segment = task_.table.segments[static_cast<size_t>(c_.segment)];
    return segment.start + segment.length;
}

// Writes the buffered bytes at the position, never past the segment's end
// (bytes beyond it belong to the segment that was split off).
bool HttpConnection::Flush(int64_t& position, int& buffered) {
    writtenAt_ = std::chrono::steady_clock::now();
    if (buffered == 0) return true;
    int64_t room = SegmentEnd() - position;
    int64_t bytes = std::min<int64_t>(buffered, std::max<int64_t>(room, 0));
    buffered = 0;
    if (bytes == 0) return true;
    size_t written = 0;
    bool whole = task_.WriteAt(position, c_.buffer.get(), static_cast<size_t>(bytes), &written);
    // What landed before a failed write (a disk that filled up in the middle
    // of the buffer) is in the file and counts as done, up to the segment's
    // end as it is now: a split by the master thread during the write gave
    // the bytes beyond it to the new segment, whose connection writes and
    // counts them itself.
    int64_t counted;
    {
        std::lock_guard<std::mutex> guard(task_.taskLock);
        Segment& segment = task_.table.segments[static_cast<size_t>(c_.segment)];
        counted = std::clamp<int64_t>(segment.start + segment.length - position, 0, static_cast<int64_t>(written));
        segment.done += counted;
    }
    position += counted;
    Report(static_cast<int>(counted), false);
    if (!whole) Status(LEVEL_ERROR, kFileWriteError);
    return whole;
}

// Writes what is buffered and reports it at once: the connection leaves
// its segment's stream (an end, a stop, a reconnect).
bool HttpConnection::FlushAtEnd(int64_t& position, int& buffered) {
    bool written = Flush(position, buffered);
    Report(0, true);
    return written;
}

Outcome HttpConnection::NextSegment() {
    ReleaseSegment(task_, c_);
    std::lock_guard<std::mutex> guard(task_.taskLock);
    int32_t index = TakeFreeSegment(task_.table);
    if (index < 0) return Outcome::kEnded;  // the finished segment gives the position reported
    Segment& next = task_.table.segments[static_cast<size_t>(index)];
    next.owner = c_.id;
    next.connection = c_.id;
    c_.segment = index;
    return Outcome::kNextSegment;
}

// The body bytes that came with the head, put in place for the position:
// those before it (of a whole body read for a later position) are dropped,
// and so are those beyond the segment's end (a server may send more than
// its length says): neither written nor counted as received.  Returns how
// many stay buffered.
int HttpConnection::TakeHeadBytes(int64_t position) {
    int64_t from = streamAt_;
    int bytes = headBytes_;
    headBytes_ = 0;
    streamAt_ = from + bytes;
    if (streamAt_ <= position) return 0;
    int drop = static_cast<int>(position - from);
    int keep = static_cast<int>(std::min<int64_t>(bytes - drop, std::max<int64_t>(SegmentEnd() - position, 0)));
    if (keep > 0) std::memcpy(c_.buffer.get(), headSpill_.data() + drop, static_cast<size_t>(keep));
    return keep;
}

// Uninitialised: every byte is received before it is read.
void HttpConnection::AllocateBuffer() {
    int size = static_cast<int>(std::clamp<int64_t>(task_.TotalLength(), kHeadLimit, kReceiveBufferSize));
    if (c_.bufferSize >= size) return;
    c_.buffer.reset(new char[static_cast<size_t>(size)]);
    c_.bufferSize = size;
}

// The buffer is full, or its bytes have waited long enough; with a speed
// limit, after every pass (at most one a second).
bool HttpConnection::FlushDue(int buffered) const {
    if (task_.config.speedLimit > 0) return buffered > 0;
    return buffered >= c_.bufferSize ||
           (buffered > 0 && std::chrono::steady_clock::now() - writtenAt_ >= kWriteEvery);
}

// Bytes are reported with EV_BYTES_RECEIVED once they are in the file, so
// the reports never add up to more than the file holds: a write that fails
// (a full disk) leaves its bytes unreported, and a caller that compares the
// sum with the length sees the file incomplete.  With a speed limit every
// write (one a pass) is reported.  Without one, writes are gathered into one
// event until kReportBytes have been written or kReportEvery has gone by
// since the last one, which spares the master thread a wake-up per write;
// what is pending is always reported before the connection leaves the
// segment, stops or reports an error, so the totals and the order of the
// events stay the same.
void HttpConnection::Report(int bytes, bool now) {
    unreported_ += bytes;
    if (unreported_ <= 0) return;
    if (!now && task_.config.speedLimit <= 0) {
        auto time = std::chrono::steady_clock::now();
        if (unreported_ < kReportBytes && time - reportedAt_ < kReportEvery) return;
        reportedAt_ = time;
    }
    Event(EV_BYTES_RECEIVED, unreported_);
    unreported_ = 0;
}

Outcome HttpConnection::Transfer() {
    int64_t position = PositionOf(task_, c_);
    Event(c_.segmentAnnounced ? EV_SEGMENT_CONTINUED : EV_SEGMENT_STARTED, position, SegmentEnd());
    c_.segmentAnnounced = true;
    AllocateBuffer();
    writtenAt_ = std::chrono::steady_clock::now();
    int buffered = TakeHeadBytes(position);
    if (buffered > 0) task_.AddReceived(c_, buffered);
    if (c_.first && !task_.fileLengthSent.exchange(true)) Event(EV_FILE_LENGTH, task_.TotalLength());
    unreported_ = 0;
    reportedAt_ = std::chrono::steady_clock::now();
    while (true) {
        Outcome outcome = FillSegment(position, buffered);
        if (outcome != Outcome::kSegmentDone) return outcome;
        if (!ContinueInStream(position)) return NextSegment();
        Event(EV_SEGMENT_CONTINUED, position, SegmentEnd());
    }
}

// Receive passes until the segment is filled (kSegmentDone), the
// connection is asked to end, or an error asks for a reconnect.
Outcome HttpConnection::FillSegment(int64_t& position, int& buffered) {
    const bool limited = task_.config.speedLimit > 0;
    while (true) {
        int64_t end = SegmentEnd();
        if (position + buffered >= end || FlushDue(buffered)) {
            bool written = Flush(position, buffered);
            Report(0, position >= end || !written);
            if (!written) return Outcome::kFailed;
            if (position >= end) return Outcome::kSegmentDone;
            continue;
        }
        if (AskedToEnd()) return FlushAtEnd(position, buffered) ? Outcome::kEnded : Outcome::kFailed;
        auto started = std::chrono::steady_clock::now();
        ReceiveResult received = streamAt_ < position ? SkipPass(position) : ReceivePass(position, buffered, end);
        if (received.code >= 0) {
            if (limited) {
                auto until = started + std::chrono::milliseconds(1000);
                while (std::chrono::steady_clock::now() < until && !AskedToEnd())
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (AskedToEnd()) return FlushAtEnd(position, buffered) ? Outcome::kEnded : Outcome::kFailed;
            continue;
        }
        // A close before the segment's end is not its end: the bytes are
        // kept and the rest is asked for again.  Unclassified errors go the
        // same way instead of polling a broken socket for ever.
        Status(LEVEL_ERROR, TlsErrorText(received.code));
        return FlushAtEnd(position, buffered) ? Outcome::kRetry : Outcome::kFailed;
    }
}

// One receive pass into the buffer behind the bytes it holds, never past
// the segment's end: without a speed limit one receive call for all the
// room (it returns with what the socket has); with one, the connection's
// share, in calls of at most BUFFER_SIZE.
ReceiveResult HttpConnection::ReceivePass(int64_t position, int& buffered, int64_t end) {
    const bool limited = task_.config.speedLimit > 0;
    int64_t room = end - position - buffered;
    int pass, perCall;
    if (limited) {
        int unit = std::max(1, task_.speedShare.load());
        pass = static_cast<int>(std::min<int64_t>({unit, BUFFER_SIZE - buffered, room}));
        perCall = std::min(unit, BUFFER_SIZE);
    } else {
        pass = perCall = static_cast<int>(std::min<int64_t>(c_.bufferSize - buffered, room));
    }
    Progress progress(task_, c_);
    ReceiveResult received = Receive(c_.buffer.get() + buffered, pass, perCall, &progress, !limited);
    buffered += received.bytes;
    streamAt_ += received.bytes;
    return received;
}

// One pass over the bytes of a whole body that lie before the position:
// received like any others, then dropped, neither written nor counted.
ReceiveResult HttpConnection::SkipPass(int64_t position) {
    const bool limited = task_.config.speedLimit > 0;
    int unit = limited ? std::max(1, task_.speedShare.load()) : c_.bufferSize;
    int pass = static_cast<int>(std::min<int64_t>({unit, limited ? BUFFER_SIZE : c_.bufferSize, position - streamAt_}));
    ReceiveResult received = Receive(c_.buffer.get(), pass, pass, nullptr, !limited);
    streamAt_ += received.bytes;
    return received;
}

// A connection reading a whole body from a server that ignores ranges goes
// on with the same answer into the next segment its body reaches that is
// neither finished nor owned (finished and owned ones are passed over).
// False when it reads no whole body, ranges are served, bytes beyond the
// segment were dropped, or its body reaches no such segment; the reader
// then stops being the reader in the same lock, so a connection answered
// after that reads its segment itself instead of giving it to a reader
// that will not come.
bool HttpConnection::ContinueInStream(int64_t& position) {
    if (!wholeBody_) return false;
    ReleaseSegment(task_, c_);
    std::lock_guard<std::mutex> guard(task_.taskLock);
    const bool reader = task_.wholeReader == c_.id;
    int32_t index = streamAt_ == position && task_.rangesIgnored ? NextInStreamLocked(position) : -1;
    if (index < 0) {
        if (reader) task_.wholeReader = 0;
        return false;
    }
    Segment& segment = task_.table.segments[static_cast<size_t>(index)];
    segment.taken = 1;
    segment.owner = c_.id;
    segment.connection = c_.id;
    c_.segment = index;
    position = segment.start + segment.done;
    if (reader) task_.wholeReaderAt = position;
    return true;
}

// The first segment from the position on that is neither finished nor
// owned; -1 for none.
int32_t HttpConnection::NextInStreamLocked(int64_t position) const {
    const SegmentTable& table = task_.table;
    for (int64_t at = position; at < table.totalLength;) {
        int32_t index = -1;
        for (int32_t i = 0; i < table.count && index < 0; ++i) {
            const Segment& segment = table.segments[static_cast<size_t>(i)];
            if (segment.start <= at && at < segment.start + segment.length) index = i;
        }
        if (index < 0) return -1;
        const Segment& segment = table.segments[static_cast<size_t>(index)];
        if (!segment.taken && !segment.Finished() && segment.start + segment.done >= at) return index;
        at = segment.start + segment.length;
    }
    return -1;
}

bool HttpConnection::WaitBeforeRetry(int& attempts) {
    CloseSocket();
    RetryPolicy policy = CurrentRetryPolicy();
    if (attempts >= policy.count || AskedToEnd()) return false;
    ++attempts;
    Status(LEVEL_INFO, FormatText("等待%d秒后重试", policy.waitMs / 1000));
    for (int waited = 0; waited < policy.waitMs; waited += 10) {
        if (AskedToEnd()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !AskedToEnd();
}

void HttpConnection::End(bool normal) {
    CloseSocket();
    c_.buffer.reset();
    c_.bufferSize = 0;
    int64_t position = PositionOf(task_, c_);
    if (!c_.reported.exchange(true)) Event(normal ? EV_CONNECTION_ENDED : EV_CONNECTION_FAILED, position);
    ReleaseSegment(task_, c_);
    {
        std::lock_guard<std::mutex> guard(task_.listLock);
        task_.ConnectionLeftLocked();
    }
    c_.run.store(-1);
}

}  // namespace

void RunHttpConnection(std::shared_ptr<DownloadTask> task, std::shared_ptr<Connection> connection) {
    HttpConnection(*task, *connection).Run();
}

}  // namespace zorv::download
