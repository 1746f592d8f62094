#pragma once
// A scripted HTTP server for tests: listens on 127.0.0.1 on a port chosen by
// the system, serves every connection on a thread of its own, and answers each
// request from a route table the test fills in.  Every request is recorded
// byte for byte (head and body), so tests can assert what a client sent.
// Portable: built on the engine's socket layer, so it runs natively and in the
// Windows build under Wine alike.  The destructor ends and joins every thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

#include "download/os_socket.h"

namespace zorv::testing {

// How the body is framed.
enum class Framing {
    ContentLength,  // "Content-Length: N" and the body (or the requested range)
    CloseDelimited, // no length header; the connection closes after the body
    Chunked,        // "Transfer-Encoding: chunked", no Content-Length
};

// How the names of the header lines are spelt.
enum class NameCase {
    AsWritten,  // "Content-Length"
    Lower,      // "content-length"
    Mixed,      // letters alternating in case: "cOnTeNt-LeNgTh"
};

// Bytes of a body too large to hold in memory, made for any offset: out
// receives the `size` bytes that start at `offset`.
using BodyMaker = std::function<void(int64_t offset, char* out, size_t size)>;

// One scripted answer.  The defaults give "200 OK" with the body and its length.
struct Reply {
    int status = 200;
    std::string reason;                  // empty: the usual phrase for the status
    std::vector<std::string> headers;    // extra header lines, without "\r\n"
    NameCase nameCase = NameCase::AsWritten;  // of every header line, built or extra
    std::string body;
    // Set (with makeBody): the body is madeLength bytes made as they are
    // sent instead of `body`; ranges, pauses and cuts work alike.  Framed by
    // its length or by the close only.
    int64_t madeLength = -1;
    BodyMaker makeBody;
    Framing framing = Framing::ContentLength;
    size_t chunkSize = 1000;             // Chunked: bytes per chunk

    // Range handling: a "Range: bytes=A-" or "bytes=A-B" request is answered
    // with 206 and that part of the body, unless ignoreRange is set, in which
    // case the whole body comes with the status above.  Only for status 200.
    bool ignoreRange = false;

    // Set: exactly these bytes are sent instead of a built answer, and the
    // connection closes after them (for heads no builder would produce).
    std::string raw;

    // The head is sent in pieces, cut at these byte offsets, with
    // pieceGapMs between the sends so that they arrive separately.
    std::vector<size_t> headCuts;
    int pieceGapMs = 20;

    // Silence before anything is sent (after the request was read).  With
    // closeAfterStall the connection is then closed without an answer.
    int stallBeforeHeadMs = 0;
    bool closeAfterStall = false;

    // Body positions below count the bytes sent after the head (chunk
    // framing included).  A pause of pauseMs once pauseAtBodyByte were sent.
    int64_t pauseAtBodyByte = -1;
    int pauseMs = 0;

    // The connection is closed once this many bytes of the body were sent.
    int64_t closeAtBodyByte = -1;
    // That close, and the one after a stall, resets the connection (RST)
    // instead of ending the stream.
    bool closeWithReset = false;

    // Slow sending: trickleBytes bytes, then a pause of trickleGapMs.
    size_t trickleBytes = 0;
    int trickleGapMs = 0;

    // The connection closes after this answer even when the client asked to
    // keep it open.
    bool closeAfter = false;
};

// Ready-made answers for the common cases.
Reply Body(std::string body);
Reply MadeBody(int64_t length, BodyMaker maker);
Reply Status(int status, std::string body = std::string());
Reply Redirect(int status, std::string location, std::vector<std::string> moreHeaders = {});

// A request as received.
struct Request {
    std::string raw;       // every byte of the request: head and body
    std::string method;
    std::string target;    // as on the request line (an absolute URL for a proxy)
    std::string path;      // target without "http://host" when it is absolute
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;
    // First header of this name (case-insensitive); empty when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
};

using Handler = std::function<Reply(const Request&)>;

class HttpTestServer {
public:
    HttpTestServer();   // listening once constructed; Port() tells where
    ~HttpTestServer();  // closes every connection and joins every thread
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    bool Listening() const { return listener_.Valid(); }
    uint16_t Port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by path.
    std::string Url(const std::string& path) const;
    // "127.0.0.1:PORT".
    std::string HostPort() const;

    // Routes.  A request's target is looked up as sent first (so a proxy
    // request can be scripted by its absolute URL), then, for an absolute URL,
    // its path from the first "/" after the host.  Unknown targets get 404.
    void Route(const std::string& target, Reply reply);
    void Route(const std::string& target, Handler handler);
    // Answers to the next requests of a target, in turn; once they are used
    // up the ordinary route (or 404) answers.
    void RouteOnce(const std::string& target, Reply reply);

    // A connection that is accepted and then never read nor answered; it is
    // closed after silentMs (0: only at shutdown).  Applies to every
    // connection accepted while set.
    void SetSilentConnections(bool silent, int silentMs = 0);

    // Copies of every request received so far, in the order they were read.
    std::vector<Request> Requests() const;
    std::vector<std::string> RawRequests() const;
    std::vector<Request> RequestsFor(const std::string& target) const;
    size_t RequestCount() const;
    // Waits until at least count requests were read or waitMs passed; true
    // when they were.
    bool WaitForRequests(size_t count, int waitMs) const;

    // Connections accepted so far, and the most that were open at once.
    int ConnectionsAccepted() const { return accepted_.load(); }
    int MostConcurrentConnections() const { return mostOpen_.load(); }
    // Waits until no accepted connection is open any more.
    bool WaitForIdle(int waitMs) const;

private:
    struct Script {
        std::vector<Reply> once;  // front first
        Handler handler;
        bool hasHandler = false;
    };

    void AcceptLoop();
    void Serve(download::os::Socket socket);
    Reply Answer(const Request& request);
    void Record(const Request& request);
    bool Stopping() const { return stopping_.load(std::memory_order_relaxed); }

    download::os::Socket listener_;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> open_{0};
    std::atomic<int> mostOpen_{0};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::map<std::string, Script> routes_;
    std::vector<Request> requests_;
    bool silent_ = false;
    int silentMs_ = 0;

    // Threads of the connections; those that have ended are joined as new
    // connections come, so a long run does not keep thousands of them.
    struct ConnectionThread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };
    void JoinEndedConnections();

    std::mutex threadsMutex_;
    std::vector<ConnectionThread> connectionThreads_;
    std::thread acceptThread_;
};

// Parses one request head ("...\r\n\r\n" included); false when it is not a
// request line followed by header lines.
bool ParseRequestHead(const std::string& head, Request& request);

// Interprets a Range header value against a body length: true with the first
// and last byte for "bytes=A-" and "bytes=A-B" (B cut to the end); false when
// the value has another form or A lies at or beyond the end.
bool ParseByteRange(const std::string& value, int64_t length, int64_t& first, int64_t& last);

// The usual reason phrase of a status code.
std::string ReasonPhrase(int status);

}  // namespace zorv::testing
