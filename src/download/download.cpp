#include "download/download.h"

#include "download/target_name.h"
#include "download/task.h"
#include "download/texts.h"
#include "download/url.h"

// The commands of the Download object.  The object's cell holds the running
// task; the task's master thread clears it when the task ends, and the stop
// commands clear it at once.  The object also keeps the master threads of the
// tasks it started and joins them when it is destroyed; each master thread
// joins its connections' threads first.  Only the detached helper threads of
// host name lookups, which share nothing with a task, may outlive it.

namespace zorv {
using download::DownloadTask;
using download::TaskCell;

namespace {

std::shared_ptr<DownloadTask> RunningTask(TaskCell& cell) {
    std::lock_guard<std::mutex> guard(cell.lock);
    if (cell.task && cell.task->state.load() == 1) return cell.task;
    return nullptr;
}

void ClearCell(TaskCell& cell, const std::shared_ptr<DownloadTask>& task) {
    std::lock_guard<std::mutex> guard(cell.lock);
    if (cell.task == task) cell.task.reset();
}

// Joins the master threads that have already left their task.
void ReapMasters(TaskCell& cell) {
    for (auto it = cell.masters.begin(); it != cell.masters.end();) {
        if (it->exited->load()) {
            it->thread.join();
            it = cell.masters.erase(it);
        } else {
            ++it;
        }
    }
}

void CopyConfig(const TaskParam& param, download::TaskConfig& config) {
    config.flags = param.Flags | 0x1000;
    config.connectionCount = std::max(1, param.ConnectionCount);
    config.speedLimit = std::max(0, param.SpeedLimit);
    config.connectTimeoutMs = param.ConnectTimeoutMs;
    config.sendTimeoutMs = param.SendTimeoutMs;
    config.receiveTimeoutMs = param.ReceiveTimeoutMs;
    config.stopWaitMs = std::max(0, param.StopWaitMs);
    config.statusCallback = param.StatusCallback;
    config.eventCallback = param.EventCallback;
}

// Starts the master thread of a task the cell already holds (cell lock held).
bool StartMaster(TaskCell& cell, const std::shared_ptr<DownloadTask>& task, int32_t firstCount) {
    if (task->config.NoThreads()) return true;
    auto exited = std::make_shared<std::atomic<bool>>(false);
    try {
        std::thread master([task, exited, firstCount] {
            download::RunMaster(task, firstCount);
            exited->store(true);
        });
        cell.masters.push_back(TaskCell::Master{std::move(master), exited});
    } catch (const std::system_error&) {
        cell.task.reset();
        return false;
    }
    return true;
}

void StartFailure(const TaskParam& param, const std::string& text) {
    if (!param.StatusCallback) return;
    param.StatusCallback(0, download::TimeStampText(download::os::NowLocal()), text, LEVEL_ERROR, 0);
}

}  // namespace

Download::Download() : cell_(std::make_shared<download::TaskCell>()) {}

Download::~Download() {
    StopTask(*this);
    std::vector<TaskCell::Master> masters;
    {
        std::lock_guard<std::mutex> guard(cell_->lock);
        cell_->closed = true;
        masters = std::move(cell_->masters);
    }
    for (TaskCell::Master& master : masters) {
        // Destroyed from a callback of its own task: that thread cannot wait
        // for itself and ends on its own right after the callback.
        if (master.thread.get_id() == std::this_thread::get_id())
            master.thread.detach();
        else
            master.thread.join();
    }
}

bool StartTask(Download& object, const TaskParam& param) {
    TaskCell& cell = object.Cell();
    std::lock_guard<std::mutex> guard(cell.lock);
    if (cell.closed || cell.task) return false;
    ReapMasters(cell);

    std::string url = download::WithoutFragment(download::StripLineBreaks(param.Url));
    download::SplitUrlResult split = download::SplitUrl(url);
    // Only the HTTP and HTTPS transfers are carried.
    if ((split.protocol != download::kHttp && split.protocol != download::kHttps) || split.host.empty()) return false;

    auto task = std::make_shared<DownloadTask>();
    task->id = download::NextTaskId();
    CopyConfig(param, task->config);
    task->request = download::InitialRequestData(url, split, download::StripLineBreaks(param.Proxy.value_or("")),
                                                 download::StripLineBreaks(param.Referer.value_or("")));
    task->targetPath = download::StripLineBreaks(param.TargetPath);
    task->cell = object.CellPointer();

    // The cell holds the task before its master thread can reach its end.
    cell.task = task;
    return StartMaster(cell, task, task->config.connectionCount);
}

namespace {

// The part of StartTaskFromResume done under the cell lock.  A reason to
// refuse the target file goes to `failure`, for the caller to report once
// the lock is released.
bool StartResumedLocked(Download& object, const TaskParam& param, const std::string& resumeData,
                        std::string& failure) {
    TaskCell& cell = object.Cell();
    std::lock_guard<std::mutex> guard(cell.lock);
    if (cell.closed || cell.task) return false;
    ReapMasters(cell);

    std::optional<download::ResumeRecord> record = download::ReadResumeData(resumeData);
    if (!record || !download::UsableForResume(*record)) return false;
    std::string path = download::StripLineBreaks(param.TargetPath);
    if (path.size() >= download::kTargetPathLimit) return false;

    // The file that the stopped task was writing: never created, truncated
    // nor extended here.
    std::optional<int64_t> size = download::os::ExistingFileSize(path);
    if (size && *size != record->totalLength) {
        failure = download::FormatText("文件 %s 的大小与断点续传数据不符", path.c_str());
        return false;
    }
    std::unique_ptr<download::os::TargetFile> file;
    if (size) file = download::os::OpenTargetFile(path, record->totalLength);
    if (!file) {
        failure = download::FormatText("打开文件失败，请检查磁盘是否存在 %s 这个文件", path.c_str());
        return false;
    }

    auto task = std::make_shared<DownloadTask>();
    task->id = download::NextTaskId();
    CopyConfig(param, task->config);
    task->resumed = true;
    task->request.host = record->host;
    task->request.path = record->path;
    task->request.referer = record->referer;
    task->request.userAgent = record->userAgent;
    task->request.extra = record->extraHeader;
    task->request.port = static_cast<uint16_t>(record->port);
    // An HTTPS task continues over TLS; through a proxy, recorded by its
    // address, each connection opens its tunnel again.
    task->request.secure = record->protocol == download::kHttps;
    if (record->tunnel) task->request.proxy = record->dotted + ":" + std::to_string(record->port);
    task->dotted = record->dotted;
    task->connectPort = static_cast<uint16_t>(record->port);
    task->targetPath = path;
    task->table = record->table;
    task->totalLength = record->totalLength;
    task->receivedBytes = download::DoneSum(task->table);
    task->file = std::move(file);
    task->cell = object.CellPointer();

    cell.task = task;
    return StartMaster(cell, task, download::UnfinishedCount(task->table));
}

}  // namespace

bool StartTaskFromResume(Download& object, const TaskParam& param, const std::string& resumeData) {
    std::string failure;
    bool started = StartResumedLocked(object, param, resumeData, failure);
    // No callback runs under the cell lock: one that calls a command of this
    // object would wait for itself.
    if (!failure.empty()) StartFailure(param, failure);
    return started;
}

int64_t GetDownloadedLength(Download& object) {
    std::shared_ptr<DownloadTask> task = RunningTask(object.Cell());
    if (!task) return 0;
    std::lock_guard<std::mutex> guard(task->counterLock);
    return task->receivedBytes;
}

bool GetResumeData(Download& object, std::string& resumeData) {
    std::shared_ptr<DownloadTask> task = RunningTask(object.Cell());
    if (!task) return false;
    std::optional<std::string> data = task->ResumeData();
    if (!data) {
        task->Status(0, LEVEL_ERROR, "断点续传数据过长，没有保存");
        return false;
    }
    resumeData = std::move(*data);
    return true;
}

bool StopTaskKeepResume(Download& object, std::string& resumeData, int32_t) {
    std::shared_ptr<DownloadTask> task = RunningTask(object.Cell());
    if (!task) return false;
    std::optional<std::string> data = download::StopRunningTask(*task);
    ClearCell(object.Cell(), task);
    resumeData = data.value_or(std::string());
    return true;
}

void StopTask(Download& object) {
    std::shared_ptr<DownloadTask> task = RunningTask(object.Cell());
    if (!task) return;
    download::StopRunningTask(*task);
    ClearCell(object.Cell(), task);
}

}  // namespace zorv
