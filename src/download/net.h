#pragma once
// Socket primitives of the engine with their result codes: every wait is a
// poll of at most 10 ms, so time-outs count in 10 ms steps and a stop is seen
// within about 10 ms.
#include <atomic>
#include <cstdint>
#include <string>

#include "download/os_socket.h"

namespace zorv::download {

enum : int {
    kErrUnknown = -1,
    kErrPosition = -2,
    kErrSocketState = -3,
    kErrNullPointer = -4,
    kErrWait = -5,
    kErrSendTimeout = -6,
    kErrSend = -7,
    kErrReceive = -8,
    kErrNotReady = -9,
    kErrReceiveTimeout = -10,
    kErrConnectTimeout = -11,
    kErrStopped = -20,
    kErrMmsRead = -21,
    kErrClosed = -22,
};

// What a wait looks at to give up early: the task's stop flag and the
// connection's run flag (1 running, 0 asked to end, -1 ended).
struct StopSignals {
    const std::atomic<bool>* taskStopped = nullptr;
    const std::atomic<int>* runFlag = nullptr;
    bool TaskStopped() const { return taskStopped != nullptr && taskStopped->load(std::memory_order_relaxed); }
    bool AskedToEnd() const {
        return TaskStopped() || (runFlag != nullptr && runFlag->load(std::memory_order_relaxed) != 1);
    }
};

// Receives progress accounting (bytes as they arrive).
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void AddReceived(int bytes) = 0;
};

// A Winsock error number as the engine's negative code: the listed numbers
// negated, everything else -1.
int MappedSocketError(int winsockError);

// The text reported for a result code.
std::string ErrorText(int code);

// Counts of bytes moved by every task of the process.
int64_t ProcessBytesReceived();

int ConnectWithTimeout(os::SocketHandle socket, const std::string& dotted, uint16_t port, int timeoutMs,
                       const StopSignals& stop);

// One send of the whole text after the socket became writable.
int SendText(os::SocketHandle socket, const std::string& text, int timeoutMs);

struct ReceiveResult {
    int code = 0;     // bytes received (>= 0) or a negative code
    int bytes = 0;    // bytes received, also before an error
};

// Receives up to `most` bytes into target, at most perCall per call.  Returns
// early when asked to end or stopped (with what it has), after the first data
// when returnOnData is set, -10 after more than timeoutMs of silence, -22 when
// the peer closed.  The socket must be non-blocking: a call is tried first and
// only waited for when it would block.
ReceiveResult ReceiveBytes(os::SocketHandle socket, char* target, int most, int perCall, int timeoutMs,
                           const StopSignals& stop, ProgressSink* progress, bool returnOnData);

}  // namespace zorv::download
