#pragma once
// The task engine behind the Download commands: one master thread per task
// that runs a first-in-first-out event queue and delivers the callbacks, and
// one worker thread per connection.
//
// Locks of a task, and how they nest: the connection-list lock may be held
// while the queue lock is taken (posting); every other lock (the counter
// lock, the task lock over the request data and the segment table, the file
// lock, a connection's own lock, the cell lock) is taken alone.  No lock is
// held while a callback runs.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/download.h"
#include "download/http.h"
#include "download/net.h"
#include "download/os_file.h"
#include "download/os_socket.h"
#include "download/segments.h"
#include "download/task_param.h"
#include "download/tls.h"

namespace zorv::download {

// Process-wide reconnect settings: attempts per connection and the wait
// between them.  Tests shorten the wait.
struct RetryPolicy {
    int count = 999;
    int waitMs = 5000;
};
RetryPolicy CurrentRetryPolicy();
void SetRetryPolicy(const RetryPolicy& policy);

// Number of tasks whose master thread has started and not yet ended.
int LiveTaskCount();

// For an EventCallback answering EV_TARGET_EXISTS with 2: sets the target
// path of the task with that identifier.  False when there is no such task
// or the path does not fit the target buffer.
bool ChangeTargetPath(int32_t task, const std::string& path);

// Queue messages.
enum : int32_t {
    MSG_IDLE = 0,
    MSG_QUIT = 1,
    MSG_SHUTDOWN = 2,
    MSG_START_CONNECTION = 4,
    MSG_STATUS_TEXT = 9,
    MSG_ALL_DONE = 18,
    MSG_START_UPLOAD = 19,
    MSG_UPLOAD_DONE = 20,
    MSG_CALLBACK = 21,
};

// A status text never delivered.
constexpr int32_t kHiddenLevel = 0x1001;

struct StatusMessage {
    int32_t level = 0;
    std::string timeStamp;
    std::string text;
};

struct TaskEvent {
    int32_t tag = 0;
    int32_t code = MSG_IDLE;
    int32_t a = 0, b = 0;
    int64_t c = 0, d = 0;                   // MSG_CALLBACK: the callback's 64-bit values
    std::shared_ptr<StatusMessage> status;  // MSG_STATUS_TEXT only
};

inline TaskEvent Message(int32_t code, int32_t a = 0, int32_t b = 0, int64_t c = 0, int64_t d = 0) {
    TaskEvent event;
    event.code = code;
    event.a = a;
    event.b = b;
    event.c = c;
    event.d = d;
    return event;
}

// First in, first out; posting is refused while closing or after the queue
// stopped running.
class EventQueue {
public:
    bool Post(TaskEvent event);
    // Waits up to waitMs for an event; MSG_IDLE when none came.
    TaskEvent Take(int waitMs);
    // Closes the queue, discards what is pending, queues MSG_QUIT and closes it for good.
    void Shutdown();
    void Stop();
    size_t Pending();

private:
    std::mutex lock_;
    std::condition_variable ready_;
    std::deque<TaskEvent> events_;
    bool running_ = true;
    bool closing_ = false;
};

struct TaskConfig {
    int32_t flags = 0;
    int32_t connectionCount = 1;
    int32_t speedLimit = 0;
    int32_t connectTimeoutMs = 20000;
    int32_t sendTimeoutMs = 20000;
    int32_t receiveTimeoutMs = 20000;
    int32_t stopWaitMs = 1000;
    zorv::StatusCallback statusCallback;
    zorv::EventCallback eventCallback;
    // Mode 0x3000: no thread runs and status texts are delivered at once.
    bool NoThreads() const { return (flags & 0x3000) == 0x3000; }
};

// Without a speed limit each connection receives into a buffer of this size
// (or of the file's, when that is smaller), asking the socket for all the
// room that is left in one call, and writes the buffer when it is full: a
// receive call and a write per buffer instead of per 20 KB.  Under Wine,
// where every Winsock call and every WriteFile is a round trip to the wine
// server, their number sets the speed.  With a speed limit the passes and
// the writes stay of BUFFER_SIZE.
constexpr int kReceiveBufferSize = 1 << 20;

class DownloadTask;

struct Connection {
    int32_t id = 0;
    bool first = false;            // the task's first connection (no segment yet)
    int32_t further = 0;           // first connection: further connections to ask for
    std::thread thread;            // joined by the master thread
    std::atomic<int> run{1};       // 1 running, 0 asked to end, -1 ended
    std::atomic<bool> reported{false};  // EV_CONNECTION_ENDED/FAILED sent
    std::mutex lock;               // guards the socket handle against a forced shutdown
    os::Socket socket;
    // The TLS session over the socket for an https:// request; only the
    // worker touches it, and it is closed before the socket is.
    TlsSession tls;
    int32_t segment = -1;          // index in the segment table; guarded by the task lock
    std::atomic<int64_t> received{0};
    // Receive buffer, allocated when the transfer starts (never larger than
    // the file) and freed when the connection ends.
    std::unique_ptr<char[]> buffer;
    int bufferSize = 0;
    HttpResponseInfo response;
    bool segmentAnnounced = false;  // EV_SEGMENT_STARTED sent
};

// The cell of a Download object and the master threads its tasks ran on.
struct TaskCell {
    std::mutex lock;
    std::shared_ptr<DownloadTask> task;
    bool closed = false;  // the object is being destroyed: no task starts any more
    struct Master {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> exited;
    };
    std::vector<Master> masters;
};

class DownloadTask : public std::enable_shared_from_this<DownloadTask> {
public:
    int32_t id = 0;
    std::atomic<int> state{1};
    std::atomic<bool> stopFlag{false};
    std::atomic<bool> stopping{false};
    TaskConfig config;
    std::weak_ptr<TaskCell> cell;

    // Counter lock: total length and bytes received.
    std::mutex counterLock;
    int64_t totalLength = 0;
    int64_t receivedBytes = 0;

    // Task lock: request data, address, target path, segment table, and what
    // the server does with range requests.
    std::mutex taskLock;
    RequestData request;
    std::string dotted;        // address and port every connection connects to
    uint16_t connectPort = 0;
    std::string targetPath;
    SegmentTable table;
    // A range request was answered with the whole file: no further
    // connection starts, and the one connection that reads a whole body
    // fills every segment its body passes that no other connection owns.
    bool rangesIgnored = false;
    int32_t wholeReader = 0;   // the connection reading a whole body from byte 0; 0 for none
    // Where the whole reader's segment begins: it fills the free segments it
    // reaches from there on, never one before.
    int64_t wholeReaderAt = 0;

    // Connection-list lock: the list and its counts.
    std::mutex listLock;
    std::vector<std::shared_ptr<Connection>> connections;
    int running = 0;
    int started = 0;
    bool finishing = false;  // MSG_ALL_DONE queued: no connection starts any more
    std::condition_variable connectionsEnded;  // running reached 0; a stop waits for it

    // Continued from resume data: the segment table and the file exist from
    // the start, and every connection asks for a range.
    bool resumed = false;

    std::atomic<int32_t> speedShare{0};
    std::atomic<bool> fileLengthSent{false};
    EventQueue queue;

    // File lock: shared while bytes are written into the file, exclusive to close it.
    std::shared_mutex fileLock;
    std::unique_ptr<os::TargetFile> file;
    bool fileClosed = false;

    // --- used by the commands and the threads ---
    bool Running() const { return state.load() == 1 && !stopFlag.load(); }
    StopSignals Signals(const Connection& connection) const { return StopSignals{&stopFlag, &connection.run}; }
    void Status(int32_t connection, int32_t level, const std::string& text);
    void Event(int32_t code, int32_t connection, int64_t value1, int64_t value2);
    void AddReceived(Connection& connection, int bytes);
    int64_t TotalLength();
    void SetTotalLength(int64_t length);
    std::optional<std::string> ResumeData();
    bool WriteAt(int64_t offset, const char* data, size_t size, size_t* written);
    // One connection fewer runs (list lock held): the last one wakes a stop
    // waiting for it and queues the task's end.
    void ConnectionLeftLocked();
};

// Runs the master thread of a task.  firstCount: for a fresh task the
// connections to open first; for a resumed one the unfinished segments (one
// connection each; none left finishes the task at once).
void RunMaster(std::shared_ptr<DownloadTask> task, int32_t firstCount);

// Stops a task: asks every connection to end, waits up to StopWaitMs for
// the last of them (no longer once it has ended), records the resume data
// and queues MSG_ALL_DONE.
std::optional<std::string> StopRunningTask(DownloadTask& task);

// Segment start + done of the connection's segment; 0 while it has none.
int64_t PositionOf(DownloadTask& task, const Connection& connection);

// Hands the connection's segment back (its done count stays) unless another
// connection owns it by now; a finished segment is never taken again.
void ReleaseSegment(DownloadTask& task, const Connection& connection);

// The worker of one HTTP or HTTPS connection.
void RunHttpConnection(std::shared_ptr<DownloadTask> task, std::shared_ptr<Connection> connection);

// Identifiers handed to the callbacks.
int32_t NextConnectionId();
int32_t NextTaskId();

void RegisterTask(const std::shared_ptr<DownloadTask>& task);
void UnregisterTask(int32_t id);

}  // namespace zorv::download
