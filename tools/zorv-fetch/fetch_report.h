#pragma once
// What zorv-fetch prints about a task: one line (or an indented block) per
// status text and event, a throttled progress line, and the verdict at the
// end.  The callbacks arrive on the engine's threads while the main thread
// asks for progress, so the record is locked; the formatting functions are
// pure and take times in milliseconds from the caller.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace zorv::fetch {

std::string EventName(int32_t code);   // "FILE_LENGTH", ..., or "EVENT_<n>"
std::string LevelName(int32_t level);  // "info", "sent", "received", "error", or the number

// "status LEVEL #CONNECTION: TEXT"; a text of several lines (a request or a
// response head) comes as the first line followed by the others indented by
// two spaces, CR LF turned into LF, trailing line ends dropped.
std::string StatusLine(int32_t connection, const std::string& text, int32_t level);
// "event NAME #CONNECTION value1=V1 value2=V2".
std::string EventLine(int32_t code, int32_t connection, int64_t value1, int64_t value2);

// "BYTES / LENGTH bytes (PCT%), SPEED MB/s"; without a known length (<= 0)
// "BYTES bytes, SPEED MB/s".  Speed is the average since the start.
std::string ProgressLine(int64_t bytes, int64_t length, int64_t elapsedMs);
// "done BYTES bytes in SECONDS s, MBPS MB/s" (three and two decimals).
std::string DoneLine(int64_t bytes, int64_t elapsedMs);

// Lets a progress line through at most once per interval.
class ProgressThrottle {
public:
    explicit ProgressThrottle(int64_t intervalMs = 200) : intervalMs_(intervalMs) {}
    bool Due(int64_t nowMs);

private:
    int64_t intervalMs_;
    int64_t last_ = INT64_MIN;
};

struct Verdict {
    bool success = false;
    std::string line;  // "done ..." or "failed: ..."
};

// The task as seen through its callbacks.
class TaskRecord {
public:
    // Both return the text to print.
    std::string OnStatus(int32_t connection, const std::string& text, int32_t level);
    std::string OnEvent(int32_t code, int32_t connection, int64_t value1, int64_t value2);
    // reason: why, when it is known better than by the URL.
    void MarkStartFailed(const std::string& reason = std::string());
    // Bytes already in the target before the task starts (a continued task).
    void StartFrom(int64_t bytes);
    void MarkStopped(int64_t afterMs, const std::string& resumeNote);

    // Waits up to waitMs for EV_TASK_FINISHED; true when it came.
    bool WaitFinished(int waitMs);
    bool Finished() const;
    int64_t Bytes() const;
    int64_t Length() const;

    // Success only when the task finished, its length is known (0 for an
    // empty file), and the bytes reported as received equal it.
    Verdict Conclude(int64_t elapsedMs) const;

private:
    mutable std::mutex mutex_;
    std::condition_variable finishedChanged_;
    bool finished_ = false;
    bool startFailed_ = false;
    std::string startFailure_;
    bool stopped_ = false;
    int64_t stoppedAfterMs_ = 0;
    std::string resumeNote_;
    int64_t length_ = -1;        // from EV_FILE_LENGTH; -1 until it came
    int64_t bytes_ = 0;          // sum of EV_BYTES_RECEIVED
    int64_t finishedValue_ = 0;  // value1 of EV_TASK_FINISHED
    int64_t existingSize_ = -1;  // from EV_TARGET_EXISTS
    std::string lastError_;
};

}  // namespace zorv::fetch
