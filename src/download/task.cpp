#include "download/task.h"

#include <cstring>
#include <map>

#include "download/target_name.h"
#include "download/texts.h"

namespace zorv::download {
namespace {

std::mutex policyLock;
RetryPolicy policy;

std::atomic<int32_t> lastConnectionId{0};
std::atomic<int32_t> lastTaskId{0};

// The process-wide list of tasks whose master thread runs.
std::mutex tasksLock;
std::map<int32_t, std::weak_ptr<DownloadTask>>& Tasks() {
    static std::map<int32_t, std::weak_ptr<DownloadTask>> tasks;
    return tasks;
}

void StartConnection(const std::shared_ptr<DownloadTask>& task, int32_t further) {
    if (task->stopping.load() || task->stopFlag.load()) return;
    auto connection = std::make_shared<Connection>();
    connection->id = NextConnectionId();
    {
        std::lock_guard<std::mutex> guard(task->listLock);
        if (task->finishing) return;
        connection->first = task->started == 0 && !task->resumed;
    }
    if (connection->first) {
        connection->further = std::max(0, further);
    } else {
        std::lock_guard<std::mutex> guard(task->taskLock);
        // A server that ignores ranges gets no further connection: its
        // answers to them are whole files, one of which is read already.
        if (task->table.count == 0 || task->rangesIgnored) return;
        int32_t index = AllocateSegment(task->table);
        if (index < 0) return;
        Segment& segment = task->table.segments[static_cast<size_t>(index)];
        segment.owner = connection->id;
        segment.connection = connection->id;
        connection->segment = index;
    }
    bool late = false;
    {
        std::lock_guard<std::mutex> guard(task->listLock);
        late = task->finishing || task->stopping.load();
        if (!late) {
            if (task->config.speedLimit > 0)
                task->speedShare.store(std::max(1, task->config.speedLimit / (task->running + 1)));
            task->connections.push_back(connection);
            ++task->running;
            ++task->started;
        }
    }
    if (late) {
        ReleaseSegment(*task, *connection);
        return;
    }
    try {
        connection->thread = std::thread(RunHttpConnection, task, connection);
    } catch (const std::system_error&) {
        // Not started: the connection never ran.
        ReleaseSegment(*task, *connection);
        std::lock_guard<std::mutex> guard(task->listLock);
        connection->run.store(-1);
        task->connections.pop_back();
        --task->started;
        task->ConnectionLeftLocked();
    }
}

// Ends every connection that has not ended (it is told to end, its socket is
// shut down so that no wait goes on, and it is reported as ended), then
// closes the file: a late write of such a connection finds none and fails.
void HandleAllDone(DownloadTask& task) {
    task.queue.Post(Message(MSG_SHUTDOWN));
    std::vector<std::shared_ptr<Connection>> open;
    {
        std::lock_guard<std::mutex> guard(task.listLock);
        task.finishing = true;
        for (const auto& connection : task.connections)
            if (connection->run.load() != -1) open.push_back(connection);
    }
    for (const auto& connection : open) {
        int running = 1;
        connection->run.compare_exchange_strong(running, 0);
        {
            std::lock_guard<std::mutex> guard(connection->lock);
            if (connection->socket.Valid()) os::ShutdownBoth(connection->socket.Get());
        }
        if (!connection->reported.exchange(true) && task.config.eventCallback)
            task.config.eventCallback(EV_CONNECTION_ENDED, connection->id, PositionOf(task, *connection), 0,
                                      task.id);
    }
    std::unique_lock<std::shared_mutex> guard(task.fileLock);
    task.file.reset();
    task.fileClosed = true;
}

}  // namespace

int64_t PositionOf(DownloadTask& task, const Connection& connection) {
    std::lock_guard<std::mutex> guard(task.taskLock);
    if (connection.segment < 0 || connection.segment >= task.table.count) return 0;
    const Segment& segment = task.table.segments[static_cast<size_t>(connection.segment)];
    return static_cast<int64_t>(segment.start) + segment.done;
}

void ReleaseSegment(DownloadTask& task, const Connection& connection) {
    std::lock_guard<std::mutex> guard(task.taskLock);
    if (connection.segment < 0 || connection.segment >= task.table.count) return;
    Segment& segment = task.table.segments[static_cast<size_t>(connection.segment)];
    if (segment.connection != connection.id) return;
    segment.taken = 0;
    segment.owner = 0;
    segment.connection = 0;
}

RetryPolicy CurrentRetryPolicy() {
    std::lock_guard<std::mutex> guard(policyLock);
    return policy;
}

void SetRetryPolicy(const RetryPolicy& next) {
    std::lock_guard<std::mutex> guard(policyLock);
    policy = next;
}

int32_t NextConnectionId() { return ++lastConnectionId; }
int32_t NextTaskId() { return ++lastTaskId; }

void RegisterTask(const std::shared_ptr<DownloadTask>& task) {
    std::lock_guard<std::mutex> guard(tasksLock);
    Tasks()[task->id] = task;
}

void UnregisterTask(int32_t id) {
    std::lock_guard<std::mutex> guard(tasksLock);
    Tasks().erase(id);
}

int LiveTaskCount() {
    std::lock_guard<std::mutex> guard(tasksLock);
    return static_cast<int>(Tasks().size());
}

bool ChangeTargetPath(int32_t id, const std::string& path) {
    std::shared_ptr<DownloadTask> task;
    {
        std::lock_guard<std::mutex> guard(tasksLock);
        auto found = Tasks().find(id);
        if (found != Tasks().end()) task = found->second.lock();
    }
    std::string clean = StripLineBreaks(path);
    if (!task || clean.size() >= kTargetPathLimit) return false;
    std::lock_guard<std::mutex> guard(task->taskLock);
    task->targetPath = clean;
    return true;
}

bool EventQueue::Post(TaskEvent event) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (closing_ || !running_) return false;
        events_.push_back(std::move(event));
    }
    ready_.notify_one();
    return true;
}

TaskEvent EventQueue::Take(int waitMs) {
    std::unique_lock<std::mutex> guard(lock_);
    // Waking on a post instead of sleeping the whole 100 ms keeps the
    // callbacks close to the events; the wait stays bounded by waitMs.
    ready_.wait_for(guard, std::chrono::milliseconds(waitMs), [this] { return !events_.empty(); });
    if (events_.empty()) return TaskEvent{};
    TaskEvent event = std::move(events_.front());
    events_.pop_front();
    return event;
}

void EventQueue::Shutdown() {
    std::lock_guard<std::mutex> guard(lock_);
    closing_ = true;
    events_.clear();
    events_.push_back(Message(MSG_QUIT));
}

void EventQueue::Stop() {
    std::lock_guard<std::mutex> guard(lock_);
    running_ = false;
    events_.clear();
}

size_t EventQueue::Pending() {
    std::lock_guard<std::mutex> guard(lock_);
    return events_.size();
}

void DownloadTask::Status(int32_t connection, int32_t level, const std::string& text) {
    if (level == kHiddenLevel || !config.statusCallback) return;
    auto message = std::make_shared<StatusMessage>();
    message->level = level;
    message->timeStamp = TimeStampText(os::NowLocal());
    message->text = text;
    if (config.NoThreads()) {
        config.statusCallback(connection, message->timeStamp, message->text, level, id);
        return;
    }
    TaskEvent event = Message(MSG_STATUS_TEXT, connection);
    event.status = std::move(message);
    queue.Post(std::move(event));
}

void DownloadTask::Event(int32_t code, int32_t connection, int64_t value1, int64_t value2) {
    if (!config.eventCallback) return;
    queue.Post(Message(MSG_CALLBACK, code, connection, value1, value2));
}

void DownloadTask::AddReceived(Connection& connection, int bytes) {
    {
        std::lock_guard<std::mutex> guard(counterLock);
        receivedBytes += bytes;
    }
    connection.received.fetch_add(bytes, std::memory_order_relaxed);
}

int64_t DownloadTask::TotalLength() {
    std::lock_guard<std::mutex> guard(counterLock);
    return totalLength;
}

void DownloadTask::SetTotalLength(int64_t length) {
    std::lock_guard<std::mutex> guard(counterLock);
    totalLength = length;
}

std::optional<std::string> DownloadTask::ResumeData() {
    ResumeRecord record;
    {
        std::lock_guard<std::mutex> guard(taskLock);
        record.table = table;
        record.host = request.host;
        record.path = request.path;
        record.referer = request.referer;
        record.userAgent = request.userAgent;
        record.extraHeader = request.extra;
        record.dotted = dotted;
        record.port = connectPort;
        record.protocol = request.secure ? kHttps : kHttp;
        record.tunnel = request.secure && !request.proxy.empty();
    }
    record.totalLength = TotalLength();
    return WriteResumeData(record);
}

void DownloadTask::ConnectionLeftLocked() {
    --running;
    if (running != 0) return;
    connectionsEnded.notify_all();
    if (!finishing) {
        finishing = true;
        queue.Post(Message(MSG_ALL_DONE));
    }
}

bool DownloadTask::WriteAt(int64_t offset, const char* data, size_t size, size_t* written) {
    std::shared_lock<std::shared_mutex> guard(fileLock);
    *written = 0;
    return file && file->WriteAt(offset, data, size, written);
}

void RunMaster(std::shared_ptr<DownloadTask> task, int32_t firstCount) {
    RegisterTask(task);
    if (!task->resumed) {
        task->queue.Post(Message(MSG_START_CONNECTION, task->id, firstCount - 1));
    } else {
        // The file exists at its full length: its length is known before any
        // connection starts, and nothing left to fetch ends the task at once.
        task->fileLengthSent.store(true);
        task->Event(EV_FILE_LENGTH, 0, task->TotalLength(), 0);
        for (int32_t i = 0; i < firstCount; ++i) task->queue.Post(Message(MSG_START_CONNECTION, task->id, 0));
        if (firstCount <= 0) {
            std::lock_guard<std::mutex> guard(task->listLock);
            task->finishing = true;
            task->queue.Post(Message(MSG_ALL_DONE));
        }
    }
    for (bool running = true; running;) {
        TaskEvent event = task->queue.Take(100);
        switch (event.code) {
            case MSG_QUIT:
                task->queue.Stop();
                running = false;
                break;
            case MSG_SHUTDOWN:
                task->queue.Shutdown();
                break;
            case MSG_START_CONNECTION:
                StartConnection(task, event.b);
                break;
            case MSG_STATUS_TEXT:
                if (event.status && event.status->level != kHiddenLevel && task->config.statusCallback)
                    task->config.statusCallback(event.a, event.status->timeStamp, event.status->text,
                                                event.status->level, task->id);
                break;
            case MSG_ALL_DONE:
                HandleAllDone(*task);
                break;
            case MSG_CALLBACK:
                if (task->config.eventCallback) task->config.eventCallback(event.a, event.b, event.c, event.d, task->id);
                break;
            default:
                break;
        }
    }
    // Every worker leaves the task's data before the task is reported ended.
    std::vector<std::shared_ptr<Connection>> connections;
    {
        std::lock_guard<std::mutex> guard(task->listLock);
        connections = task->connections;
    }
    for (const auto& connection : connections)
        if (connection->thread.joinable()) connection->thread.join();

    int64_t value1 = task->TotalLength();
    if (task->stopFlag.load()) {
        {
            std::lock_guard<std::mutex> guard(task->taskLock);
            value1 = DoneSum(task->table);
        }
        std::lock_guard<std::mutex> guard(task->counterLock);
        task->receivedBytes = value1;
    }
    // The object is idle before the last callback, so a handler that starts
    // the next download from it finds the cell free.
    task->state.store(0);
    if (std::shared_ptr<TaskCell> cell = task->cell.lock()) {
        std::lock_guard<std::mutex> guard(cell->lock);
        if (cell->task == task) cell->task.reset();
    }
    if (task->config.eventCallback) task->config.eventCallback(EV_TASK_FINISHED, 0, value1, 0, task->id);
    {
        std::lock_guard<std::mutex> guard(task->listLock);
        task->connections.clear();
    }
    UnregisterTask(task->id);
}

std::optional<std::string> StopRunningTask(DownloadTask& task) {
    task.stopping.store(true);
    task.stopFlag.store(true);
    {
        std::lock_guard<std::mutex> guard(task.listLock);
        for (const auto& connection : task.connections) {
            int running = 1;
            connection->run.compare_exchange_strong(running, 0);
        }
    }
    {
        std::unique_lock<std::mutex> guard(task.listLock);
        task.connectionsEnded.wait_for(guard, std::chrono::milliseconds(task.config.stopWaitMs),
                                       [&] { return task.running == 0; });
    }
    std::optional<std::string> resume = task.ResumeData();
    if (!resume) task.Status(0, LEVEL_ERROR, "断点续传数据过长，没有保存");
    task.queue.Post(Message(MSG_ALL_DONE));
    return resume;
}

}  // namespace zorv::download
