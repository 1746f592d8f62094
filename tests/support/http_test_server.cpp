#include "support/http_test_server.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace zorv::testing {
namespace os = download::os;
namespace {

// Every wait is cut into slices of this length so that shutdown is seen soon.
constexpr int kSliceMs = 10;
// Bytes of a made body made and sent at a time.
constexpr int64_t kMadePiece = 1 << 20;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string ReasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 206: return "Partial Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 416: return "Range Not Satisfiable";
        case 500: return "Internal Server Error";
        default: return "Status";
    }
}

Reply Body(std::string body) {
    Reply reply;
    reply.body = std::move(body);
    return reply;
}

Reply MadeBody(int64_t length, BodyMaker maker) {
    Reply reply;
    reply.madeLength = length;
    reply.makeBody = std::move(maker);
    return reply;
}

Reply Status(int status, std::string body) {
    Reply reply;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
}

Reply Redirect(int status, std::string location, std::vector<std::string> moreHeaders) {
    Reply reply;
    reply.status = status;
    reply.headers.push_back("Location: " + location);
    for (auto& line : moreHeaders) reply.headers.push_back(std::move(line));
    return reply;
}

std::string Request::Header(const std::string& name) const {
    std::string wanted = Lower(name);
    for (const auto& [key, value] : headers) {
        if (Lower(key) == wanted) return value;
    }
    return std::string();
}

bool Request::HasHeader(const std::string& name) const {
    std::string wanted = Lower(name);
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& header) { return Lower(header.first) == wanted; });
}

bool ParseRequestHead(const std::string& head, Request& request) {
    size_t lineEnd = head.find("\r\n");
    if (lineEnd == std::string::npos) return false;
    std::string line = head.substr(0, lineEnd);
    size_t firstSpace = line.find(' ');
    size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string::npos || lastSpace == firstSpace) return false;
    request.method = line.substr(0, firstSpace);
    request.target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    request.version = line.substr(lastSpace + 1);
    if (request.method.empty() || request.target.empty() || request.version.rfind("HTTP/", 0) != 0) return false;

    request.path = request.target;
    if (Lower(request.target.substr(0, 7)) == "http://") {
        size_t slash = request.target.find('/', 7);
        request.path = slash == std::string::npos ? "/" : request.target.substr(slash);
    }

    request.headers.clear();
    size_t position = lineEnd + 2;
    while (position < head.size()) {
        size_t end = head.find("\r\n", position);
        if (end == std::string::npos) return false;
        if (end == position) break;  // the empty line that ends the head
        std::string header = head.substr(position, end - position);
        size_t colon = header.find(':');
        if (colon == std::string::npos || colon == 0) return false;
        size_t valueStart = header.find_first_not_of(" \t", colon + 1);
        request.headers.emplace_back(header.substr(0, colon),
                                     valueStart == std::string::npos ? std::string() : header.substr(valueStart));
        position = end + 2;
    }
    return true;
}

bool ParseByteRange(const std::string& value, int64_t length, int64_t& first, int64_t& last) {
    if (value.rfind("bytes=", 0) != 0) return false;
    std::string bounds = value.substr(6);
    size_t dash = bounds.find('-');
    if (dash == std::string::npos) return false;
    std::string from = bounds.substr(0, dash);
    std::string to = bounds.substr(dash + 1);
    if (!AllDigits(from) || (!to.empty() && !AllDigits(to))) return false;
    if (from.size() > 18 || to.size() > 18) return false;
    first = std::stoll(from);
    last = to.empty() ? length - 1 : std::min<int64_t>(std::stoll(to), length - 1);
    return first < length && first <= last;
}

HttpTestServer::HttpTestServer() {
    os::StartNetwork();
    listener_ = os::ListenLoopback(port_);
    if (listener_.Valid()) acceptThread_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
    stopping_.store(true);
    if (acceptThread_.joinable()) acceptThread_.join();
    // No thread adds connection threads any more.
    std::vector<ConnectionThread> threads;
    {
        std::lock_guard<std::mutex> lock(threadsMutex_);
        threads.swap(connectionThreads_);
    }
    for (auto& connection : threads) connection.thread.join();
}

void HttpTestServer::JoinEndedConnections() {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    auto ended = std::partition(connectionThreads_.begin(), connectionThreads_.end(),
                                [](const ConnectionThread& connection) { return !connection.ended->load(); });
    for (auto it = ended; it != connectionThreads_.end(); ++it) it->thread.join();
    connectionThreads_.erase(ended, connectionThreads_.end());
}

std::string HttpTestServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::string HttpTestServer::Url(const std::string& path) const { return "http://" + HostPort() + path; }

void HttpTestServer::Route(const std::string& target, Reply reply) {
    Route(target, Handler([reply](const Request&) { return reply; }));
}

void HttpTestServer::Route(const std::string& target, Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    Script& script = routes_[target];
    script.handler = std::move(handler);
    script.hasHandler = true;
}

void HttpTestServer::RouteOnce(const std::string& target, Reply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[target].once.push_back(std::move(reply));
}

void HttpTestServer::SetSilentConnections(bool silent, int silentMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    silent_ = silent;
    silentMs_ = silentMs;
}

std::vector<Request> HttpTestServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> HttpTestServer::RawRequests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> raw;
    for (const auto& request : requests_) raw.push_back(request.raw);
    return raw;
}

std::vector<Request> HttpTestServer::RequestsFor(const std::string& target) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Request> matching;
    for (const auto& request : requests_) {
        if (request.target == target || request.path == target) matching.push_back(request);
    }
    return matching;
}

size_t HttpTestServer::RequestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

bool HttpTestServer::WaitForRequests(size_t count, int waitMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(waitMs),
                             [&] { return requests_.size() >= count; });
}

bool HttpTestServer::WaitForIdle(int waitMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return open_.load() == 0; });
}

void HttpTestServer::Record(const Request& request) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
    }
    changed_.notify_all();
}

Reply HttpTestServer::Answer(const Request& request) {
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = routes_.find(request.target);
        if (found == routes_.end()) found = routes_.find(request.path);
        if (found == routes_.end()) return Status(404, "not found\n");
        Script& script = found->second;
        if (!script.once.empty()) {
            Reply reply = std::move(script.once.front());
            script.once.erase(script.once.begin());
            return reply;
        }
        if (!script.hasHandler) return Status(404, "not found\n");
        handler = script.handler;
    }
    return handler(request);  // outside the lock: a handler may look at the records
}

void HttpTestServer::AcceptLoop() {
    while (!Stopping()) {
        os::Socket socket = os::AcceptConnection(listener_.Get(), kSliceMs);
        if (!socket.Valid()) continue;
        accepted_.fetch_add(1);
        int open = open_.fetch_add(1) + 1;
        int most = mostOpen_.load();
        while (open > most && !mostOpen_.compare_exchange_weak(most, open)) {
        }
        JoinEndedConnections();
        auto ended = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([this, ended, owned = std::move(socket)]() mutable {
            Serve(std::move(owned));
            ended->store(true);
        });
        std::lock_guard<std::mutex> lock(threadsMutex_);
        connectionThreads_.push_back({std::move(thread), ended});
    }
    listener_.Close();
}

namespace {

// Sleeps up to ms, in slices, returning early when the server stops.
void Pause(int ms, const std::atomic<bool>& stopping) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping.load(std::memory_order_relaxed) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 5)));
    }
}

// Sends every byte on a non-blocking socket; false on an error, a closed
// peer or shutdown.
bool SendAll(os::SocketHandle socket, const char* data, size_t length, const std::atomic<bool>& stopping) {
    while (length > 0) {
        if (stopping.load(std::memory_order_relaxed)) return false;
        int piece = static_cast<int>(std::min<size_t>(length, 1 << 20));
        int sent = os::SendSome(socket, data, piece);
        if (sent > 0) {
            data += sent;
            length -= static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && os::LastSocketError() != os::kWouldBlock) return false;
        if (os::WaitSocket(socket, false, true, kSliceMs) < 0) return false;
    }
    return true;
}

// Reads into the buffer until complete() holds; false when the peer closed,
// an error came or the server stops.
bool ReadUntil(os::SocketHandle socket, std::string& buffer, const std::function<bool()>& complete,
               const std::atomic<bool>& stopping) {
    char chunk[16384];
    while (!complete()) {
        if (stopping.load(std::memory_order_relaxed)) return false;
        if (buffer.size() > (8u << 20)) return false;  // no request of a test is this large
        int ready = os::WaitSocket(socket, true, false, kSliceMs);
        if (ready < 0) return false;
        if (ready == 0) continue;
        int received = os::RecvSome(socket, chunk, sizeof chunk);
        if (received == 0) return false;
        if (received < 0) {
            if (os::LastSocketError() == os::kWouldBlock) continue;
            return false;
        }
        buffer.append(chunk, static_cast<size_t>(received));
    }
    return true;
}

// The header line with its name spelt as the reply asks.
std::string SpellName(std::string line, NameCase nameCase) {
    size_t colon = line.find(':');
    bool upper = false;
    for (size_t i = 0; i < colon && i < line.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (!std::isalpha(c)) continue;
        if (nameCase == NameCase::Lower)
            line[i] = static_cast<char>(std::tolower(c));
        else if (nameCase == NameCase::Mixed)
            line[i] = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
        upper = !upper;
    }
    return line;
}

// The bytes after the head: a string, or a part of a made body.
struct Payload {
    std::string bytes;
    const BodyMaker* maker = nullptr;  // set: the part [from, from + length) of the made body
    int64_t from = 0;
    int64_t length = 0;
    int64_t Size() const { return maker != nullptr ? length : static_cast<int64_t>(bytes.size()); }
};

struct BuiltAnswer {
    std::string head;
    Payload payload;  // framing included
    bool closeAfter = false;
};

BuiltAnswer Build(const Reply& reply, const Request& request) {
    BuiltAnswer answer;
    int status = reply.status;
    const bool made = reply.madeLength >= 0 && reply.makeBody;
    const int64_t length = made ? reply.madeLength : static_cast<int64_t>(reply.body.size());
    int64_t first = 0;
    int64_t count = length;
    std::vector<std::string> lines;
    std::string range = request.Header("Range");
    bool ranged = status == 200 && !reply.ignoreRange && !range.empty() && reply.framing == Framing::ContentLength;
    if (ranged) {
        int64_t last = 0;
        if (ParseByteRange(range, length, first, last)) {
            status = 206;
            count = last - first + 1;
            lines.push_back("Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                            std::to_string(length));
        } else {
            status = 416;
            count = 0;
            lines.push_back("Content-Range: bytes */" + std::to_string(length));
        }
    }
    Payload content;
    if (made) {
        content.maker = &reply.makeBody;
        content.from = first;
        content.length = count;
    } else {
        content.bytes = reply.body.substr(static_cast<size_t>(first), static_cast<size_t>(count));
    }
    std::string reason = reply.reason.empty() || status != reply.status ? ReasonPhrase(status) : reply.reason;
    answer.head = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";

    switch (reply.framing) {
        case Framing::ContentLength:
            lines.insert(lines.begin(), "Content-Length: " + std::to_string(content.Size()));
            answer.payload = content;
            break;
        case Framing::CloseDelimited:
            answer.payload = content;
            answer.closeAfter = true;
            break;
        case Framing::Chunked: {  // of a body held in memory only
            lines.push_back("Transfer-Encoding: chunked");
            const std::string& bytes = content.bytes;
            std::string& out = answer.payload.bytes;
            size_t step = std::max<size_t>(reply.chunkSize, 1);
            for (size_t at = 0; at < bytes.size(); at += step) {
                size_t size = std::min(step, bytes.size() - at);
                char hex[32];
                std::snprintf(hex, sizeof hex, "%zx\r\n", size);
                out += hex;
                out.append(bytes, at, size);
                out += "\r\n";
            }
            out += "0\r\n\r\n";
            break;
        }
    }
    if (!reply.ignoreRange && (status == 200 || status == 206)) lines.push_back("Accept-Ranges: bytes");
    for (const auto& line : reply.headers) lines.push_back(line);

    std::string connection = Lower(request.Header("Connection"));
    bool keepAlive = request.version == "HTTP/1.1" ? connection != "close" : connection == "keep-alive";
    if (!keepAlive || reply.closeAfter) answer.closeAfter = true;
    lines.push_back(answer.closeAfter ? "Connection: close" : "Connection: keep-alive");

    for (const auto& line : lines) answer.head += SpellName(line, reply.nameCase) + "\r\n";
    answer.head += "\r\n";
    if (request.method == "HEAD") answer.payload = Payload{};
    return answer;
}

}  // namespace

// What becomes of the connection after an answer.
enum class After { KeepOpen, Close, Reset };

// Sends the answer with its scripted pauses and cuts.
static After SendAnswer(os::SocketHandle socket, const Reply& reply, const Request& request,
                        const std::atomic<bool>& stopping) {
    const After cut = reply.closeWithReset ? After::Reset : After::Close;
    if (reply.stallBeforeHeadMs > 0) {
        Pause(reply.stallBeforeHeadMs, stopping);
        if (reply.closeAfterStall) return cut;
    }
    if (!reply.raw.empty()) {
        SendAll(socket, reply.raw.data(), reply.raw.size(), stopping);
        return After::Close;
    }
    BuiltAnswer answer = Build(reply, request);

    size_t start = 0;
    for (size_t piece : reply.headCuts) {
        if (piece <= start || piece >= answer.head.size()) continue;
        if (!SendAll(socket, answer.head.data() + start, piece - start, stopping)) return After::Close;
        Pause(reply.pieceGapMs, stopping);
        start = piece;
    }
    if (!SendAll(socket, answer.head.data() + start, answer.head.size() - start, stopping)) return After::Close;

    const Payload& payload = answer.payload;
    const int64_t total = payload.Size();
    std::vector<char> made(payload.maker != nullptr ? kMadePiece : 0);
    int64_t sent = 0;
    bool paused = false;
    while (sent < total) {
        if (reply.closeAtBodyByte >= 0 && sent >= reply.closeAtBodyByte) return cut;
        if (!paused && reply.pauseAtBodyByte >= 0 && sent >= reply.pauseAtBodyByte) {
            paused = true;
            Pause(reply.pauseMs, stopping);
        }
        int64_t piece = total - sent;
        if (reply.trickleBytes > 0) piece = std::min<int64_t>(piece, static_cast<int64_t>(reply.trickleBytes));
        if (payload.maker != nullptr) piece = std::min<int64_t>(piece, kMadePiece);
        // Stop exactly at the scripted pause and close points.
        for (int64_t mark : {reply.closeAtBodyByte, paused ? int64_t(-1) : reply.pauseAtBodyByte}) {
            if (mark >= 0 && mark > sent) piece = std::min(piece, mark - sent);
        }
        const char* data = nullptr;
        if (payload.maker != nullptr) {
            (*payload.maker)(payload.from + sent, made.data(), static_cast<size_t>(piece));
            data = made.data();
        } else {
            data = payload.bytes.data() + sent;
        }
        if (!SendAll(socket, data, static_cast<size_t>(piece), stopping)) return After::Close;
        sent += piece;
        if (reply.trickleBytes > 0 && sent < total) Pause(reply.trickleGapMs, stopping);
    }
    if (reply.closeAtBodyByte >= 0 && sent >= reply.closeAtBodyByte) return cut;
    return answer.closeAfter ? After::Close : After::KeepOpen;
}

void HttpTestServer::Serve(os::Socket socket) {
    bool silent = false;
    int silentMs = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        silent = silent_;
        silentMs = silentMs_;
    }
    os::SocketHandle handle = socket.Get();
    if (silent) {
        Pause(silentMs > 0 ? silentMs : 1 << 30, stopping_);
    } else if (os::SetNonBlocking(handle, true)) {
        std::string buffer;
        After after = After::Close;
        while (!Stopping()) {
            size_t headEnd = std::string::npos;
            if (!ReadUntil(handle, buffer, [&] { return (headEnd = buffer.find("\r\n\r\n")) != std::string::npos; },
                           stopping_)) {
                break;
            }
            Request request;
            bool parsed = ParseRequestHead(buffer.substr(0, headEnd + 4), request);
            size_t total = headEnd + 4;
            std::string length = request.Header("Content-Length");
            if (parsed && AllDigits(length) && length.size() < 10) total += std::stoul(length);
            if (!ReadUntil(handle, buffer, [&] { return buffer.size() >= total; }, stopping_)) break;
            request.raw = buffer.substr(0, total);
            buffer.erase(0, total);
            Record(request);
            Reply reply = parsed ? Answer(request) : Status(400, "bad request\n");
            if (!parsed) reply.closeAfter = true;
            after = SendAnswer(handle, reply, request, stopping_);
            if (after != After::KeepOpen) break;
        }
        if (after == After::Reset)
            os::ResetOnClose(handle);
        else
            os::ShutdownSending(handle);  // a graceful end: the close comes after every byte sent
    }
    socket.Close();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_.fetch_sub(1);
    }
    changed_.notify_all();
}

}  // namespace zorv::testing
