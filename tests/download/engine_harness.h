#pragma once
// What the engine tests share: a recorder of every callback, a scratch
// folder, and task parameters pointing at a loopback server.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/download.h"
#include "download/task.h"
#include "support/http_test_server.h"

namespace zorv::download::testing {

// The scripted server's names that every engine test uses.
using zorv::testing::Body;
using zorv::testing::HttpTestServer;
using zorv::testing::Reply;
using zorv::testing::Request;

struct EventRecord {
    int32_t code, connection;
    int64_t value1, value2;
    int32_t task;
    std::thread::id thread;  // the thread the callback ran on
};
struct StatusRecord {
    int32_t connection;
    std::string timeStamp, text;
    int32_t level;
};

class Recorder {
public:
    // Waits for EV_TASK_FINISHED (a guard against a hang, not a speed goal).
    bool WaitFinished(int waitMs = 60000) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, std::chrono::milliseconds(waitMs), [this] { return finished_ > 0; });
    }
    // Waits until the callback saw this code at least count times.
    bool WaitFor(int32_t code, int count = 1, int waitMs = 60000) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, std::chrono::milliseconds(waitMs), [&] { return CountLocked(code) >= count; });
    }
    // Waits until the bytes reported reach at least this many; false when
    // they did not, also as soon as the task has ended without them.
    bool WaitForBytes(int64_t bytes, int waitMs = 60000) {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait_for(guard, std::chrono::milliseconds(waitMs),
                          [&] { return BytesLocked() >= bytes || finished_ > 0; });
        return BytesLocked() >= bytes;
    }
    std::vector<EventRecord> Events() {
        std::lock_guard<std::mutex> guard(lock_);
        return events_;
    }
    std::vector<StatusRecord> Statuses() {
        std::lock_guard<std::mutex> guard(lock_);
        return statuses_;
    }
    int Count(int32_t code) {
        std::lock_guard<std::mutex> guard(lock_);
        return CountLocked(code);
    }
    int64_t BytesReported() {
        std::lock_guard<std::mutex> guard(lock_);
        return BytesLocked();
    }
    EventRecord Last(int32_t code) {
        std::lock_guard<std::mutex> guard(lock_);
        for (auto it = events_.rbegin(); it != events_.rend(); ++it)
            if (it->code == code) return *it;
        return EventRecord{-1, 0, 0, 0, 0, std::thread::id()};
    }
    bool HasStatus(const std::string& text, int32_t level) {
        std::lock_guard<std::mutex> guard(lock_);
        for (const StatusRecord& status : statuses_)
            if (status.text == text && status.level == level) return true;
        return false;
    }
    std::vector<std::string> Texts(int32_t level) {
        std::lock_guard<std::mutex> guard(lock_);
        std::vector<std::string> texts;
        for (const StatusRecord& status : statuses_)
            if (status.level == level) texts.push_back(status.text);
        return texts;
    }
    // Codes in the order delivered.
    std::vector<int32_t> Codes() {
        std::lock_guard<std::mutex> guard(lock_);
        std::vector<int32_t> codes;
        for (const EventRecord& event : events_) codes.push_back(event.code);
        return codes;
    }

    // Answer to EV_TARGET_EXISTS.
    std::atomic<int32_t> existsAnswer{0};
    // Extra work done inside EV_TARGET_EXISTS (on the worker thread), given
    // the task identifier the engine passed with it.  Events recorded so far
    // say nothing about the task: the master thread may not have delivered
    // any yet.
    std::function<void(int32_t task)> onExists;

    void Attach(TaskParam& param) {
        param.EventCallback = [this](int32_t code, int32_t connection, int64_t value1, int64_t value2, int32_t task) {
            if (code == EV_TARGET_EXISTS && onExists) onExists(task);
            int32_t answer = code == EV_TARGET_EXISTS ? existsAnswer.load() : 0;
            // Notified under the lock: once a waiter sees EV_TASK_FINISHED the
            // callback no longer touches the recorder.
            std::lock_guard<std::mutex> guard(lock_);
            events_.push_back({code, connection, value1, value2, task, std::this_thread::get_id()});
            if (code == EV_TASK_FINISHED) ++finished_;
            changed_.notify_all();
            return answer;
        };
        param.StatusCallback = [this](int32_t connection, const std::string& stamp, const std::string& text,
                                      int32_t level, int32_t) {
            std::lock_guard<std::mutex> guard(lock_);
            statuses_.push_back({connection, stamp, text, level});
            changed_.notify_all();
            return 0;
        };
    }

private:
    int CountLocked(int32_t code) const {
        int count = 0;
        for (const EventRecord& event : events_) count += event.code == code;
        return count;
    }
    int64_t BytesLocked() const {
        int64_t bytes = 0;
        for (const EventRecord& event : events_)
            if (event.code == EV_BYTES_RECEIVED) bytes += event.value1;
        return bytes;
    }
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<EventRecord> events_;
    std::vector<StatusRecord> statuses_;
    int finished_ = 0;
};

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        static std::atomic<int> serial{0};
        // A parameterised test's name ends in "/<index>", which would make
        // the folder a subfolder and leave its parent behind.
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(test.begin(), test.end(), '/', '_');
        path_ = std::filesystem::temp_directory_path() /
                ("zorv_engine_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 std::to_string(serial++) + "_" + test);
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    // The folder with a trailing separator: a folder target.
    std::string Folder() const { return path_.string() + "/"; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A file's bytes against the expected ones; a mismatch reports the sizes
// and where the bytes first differ instead of printing every byte.
inline ::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return ::testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                         << ", first difference at " << at;
}

inline void WriteWhole(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Bytes that differ at every position of a short period, so a misplaced
// block shows.
inline std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

// The body sent slowly enough (2000 bytes every 20 ms) that a test can act
// while it arrives.
inline Reply Trickle(const std::string& body) {
    Reply reply = Body(body);
    reply.trickleBytes = 2000;
    reply.trickleGapMs = 20;
    return reply;
}

inline TaskParam ParamFor(const std::string& url, const std::string& target, Recorder& recorder) {
    TaskParam param;
    param.Flags = 0x1000;
    param.Url = url;
    param.TargetPath = target;
    param.ReceiveTimeoutMs = 5000;
    param.StopWaitMs = 5000;
    recorder.Attach(param);
    return param;
}

// Runs one task on an object of its own until its end (the wait is a
// guard against a hang, not a speed goal); `adjust` changes the parameters
// before the start.
inline ::testing::AssertionResult RunTask(Recorder& recorder, const std::string& url, const std::string& target,
                                          const std::function<void(TaskParam&)>& adjust = {}) {
    TaskParam param = ParamFor(url, target, recorder);
    if (adjust) adjust(param);
    Download download;
    if (!StartTask(download, param)) return ::testing::AssertionFailure() << "the task did not start: " << url;
    if (!recorder.WaitFinished()) return ::testing::AssertionFailure() << "the task did not end: " << url;
    return ::testing::AssertionSuccess();
}

inline std::string DirectRequest(const std::string& path, const std::string& host, const std::string& referer,
                                 const std::string& extra = "") {
    return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nAccept: */*\r\nReferer: " + referer +
           "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n" + extra +
           "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n";
}

// Short reconnect waits for every engine test.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { SetRetryPolicy(RetryPolicy{5, 50}); }
    void TearDown() override {
        SetRetryPolicy(RetryPolicy{});
        EXPECT_EQ(LiveTaskCount(), 0) << "a task's master thread is still running";
    }
};

}  // namespace zorv::download::testing
