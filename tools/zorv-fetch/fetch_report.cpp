#include "fetch_report.h"

#include <cstdio>

#include "download/download.h"

namespace zorv::fetch {
namespace {

std::string Decimal(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Megabytes (10^6 bytes) per second; a zero duration counts as 1 ms.
double MegabytesPerSecond(int64_t bytes, int64_t elapsedMs) {
    double seconds = static_cast<double>(elapsedMs > 0 ? elapsedMs : 1) / 1000.0;
    return static_cast<double>(bytes) / 1e6 / seconds;
}

}  // namespace

std::string EventName(int32_t code) {
    switch (code) {
        case EV_FTP_OPTIONS: return "FTP_OPTIONS";
        case EV_FILE_LENGTH: return "FILE_LENGTH";
        case EV_TASK_FINISHED: return "TASK_FINISHED";
        case EV_CONNECTION_STARTED: return "CONNECTION_STARTED";
        case EV_SEGMENT_STARTED: return "SEGMENT_STARTED";
        case EV_SEGMENT_CONTINUED: return "SEGMENT_CONTINUED";
        case EV_CONNECTION_ENDED: return "CONNECTION_ENDED";
        case EV_CONNECTION_FAILED: return "CONNECTION_FAILED";
        case EV_BYTES_RECEIVED: return "BYTES_RECEIVED";
        case EV_BYTES_SENT: return "BYTES_SENT";
        case EV_TARGET_EXISTS: return "TARGET_EXISTS";
        default: return "EVENT_" + std::to_string(code);
    }
}

std::string LevelName(int32_t level) {
    switch (level) {
        case LEVEL_INFO: return "info";
        case LEVEL_SENT: return "sent";
        case LEVEL_RECEIVED: return "received";
        case LEVEL_ERROR: return "error";
        default: return std::to_string(level);
    }
}

std::string StatusLine(int32_t connection, const std::string& text, int32_t level) {
    std::string body;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        body += text[i];
    }
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.pop_back();
    std::string line = "status " + LevelName(level) + " #" + std::to_string(connection) + ":";
    if (body.find('\n') == std::string::npos) return line + " " + body;
    line += "\n  ";
    for (char c : body) {
        line += c;
        if (c == '\n') line += "  ";
    }
    return line;
}

std::string EventLine(int32_t code, int32_t connection, int64_t value1, int64_t value2) {
    return "event " + EventName(code) + " #" + std::to_string(connection) + " value1=" + std::to_string(value1) +
           " value2=" + std::to_string(value2);
}

std::string ProgressLine(int64_t bytes, int64_t length, int64_t elapsedMs) {
    std::string speed = Decimal(MegabytesPerSecond(bytes, elapsedMs), 2) + " MB/s";
    if (length <= 0) return std::to_string(bytes) + " bytes, " + speed;
    double percent = 100.0 * static_cast<double>(bytes) / static_cast<double>(length);
    return std::to_string(bytes) + " / " + std::to_string(length) + " bytes (" + Decimal(percent, 1) + "%), " + speed;
}

std::string DoneLine(int64_t bytes, int64_t elapsedMs) {
    return "done " + std::to_string(bytes) + " bytes in " + Decimal(static_cast<double>(elapsedMs) / 1000.0, 3) +
           " s, " + Decimal(MegabytesPerSecond(bytes, elapsedMs), 2) + " MB/s";
}

bool ProgressThrottle::Due(int64_t nowMs) {
    if (last_ != INT64_MIN && nowMs - last_ < intervalMs_) return false;
    last_ = nowMs;
    return true;
}

std::string TaskRecord::OnStatus(int32_t connection, const std::string& text, int32_t level) {
    if (level == LEVEL_ERROR) {
        std::lock_guard<std::mutex> lock(mutex_);
        lastError_ = text;
    }
    return StatusLine(connection, text, level);
}

std::string TaskRecord::OnEvent(int32_t code, int32_t connection, int64_t value1, int64_t value2) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        switch (code) {
            case EV_FILE_LENGTH: length_ = value1; break;
            case EV_BYTES_RECEIVED: bytes_ += value1; break;
            case EV_TARGET_EXISTS: existingSize_ = value1; break;
            case EV_TASK_FINISHED:
                finishedValue_ = value1;
                finished_ = true;
                break;
            default: break;
        }
    }
    if (code == EV_TASK_FINISHED) finishedChanged_.notify_all();
    return EventLine(code, connection, value1, value2);
}

void TaskRecord::MarkStartFailed(const std::string& reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    startFailed_ = true;
    startFailure_ = reason;
}

void TaskRecord::StartFrom(int64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    bytes_ = bytes;
}

void TaskRecord::MarkStopped(int64_t afterMs, const std::string& resumeNote) {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    stoppedAfterMs_ = afterMs;
    resumeNote_ = resumeNote;
}

bool TaskRecord::WaitFinished(int waitMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return finishedChanged_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return finished_; });
}

bool TaskRecord::Finished() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
}

int64_t TaskRecord::Bytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

int64_t TaskRecord::Length() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return length_;
}

Verdict TaskRecord::Conclude(int64_t elapsedMs) const {
    std::lock_guard<std::mutex> lock(mutex_);
    Verdict verdict;
    auto failed = [&](const std::string& why) {
        verdict.line = "failed: " + why;
        return verdict;
    };
    std::string error = lastError_.empty() ? std::string() : " (last error: " + lastError_ + ")";
    if (startFailed_) {
        return failed("the task did not start (" +
                      (startFailure_.empty() ? std::string("unknown scheme, no host, or not HTTP") : startFailure_) + ")");
    }
    if (existingSize_ >= 0) {
        return failed("the target exists already (" + std::to_string(existingSize_) + " bytes); not overwritten");
    }
    if (stopped_) {
        std::string note = resumeNote_.empty() ? std::string() : "; " + resumeNote_;
        return failed("stopped after " + std::to_string(stoppedAfterMs_) + " ms with " + std::to_string(bytes_) +
                      " of " + std::to_string(length_) + " bytes" + note);
    }
    if (!finished_) return failed("the task did not finish" + error);
    if (length_ < 0) return failed("no file length" + error);
    if (bytes_ != length_) {
        return failed("received " + std::to_string(bytes_) + " of " + std::to_string(length_) + " bytes" + error);
    }
    verdict.success = true;
    verdict.line = DoneLine(bytes_, elapsedMs);
    return verdict;
}

}  // namespace zorv::fetch
