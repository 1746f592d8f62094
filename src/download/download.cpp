#include "download/download.h"

#include "download/task.h"
#include "download/texts.h"
#include "download/url.h"

// The commands of the Download object.  The object's cell holds the running
// task; the task's master thread clears it when the task ends, and the stop
// commands clear it at once.  The object also keeps the master threads of the
// tasks it started and joins them when it is destroyed, so no thread of the
// engine outlives it.

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

    std::string url = download::StripLineBreaks(param.Url);
    download::SplitUrlResult split = download::SplitUrl(url);
    // Only the HTTP transfer is carried.
    if (split.protocol != download::kHttp || split.host.empty()) return false;

    auto task = std::make_shared<DownloadTask>();
    task->id = download::NextTaskId();
    download::TaskConfig& config = task->config;
    config.flags = param.Flags | 0x1000;
    config.connectionCount = std::max(1, param.ConnectionCount);
    config.speedLimit = std::max(0, param.SpeedLimit);
    config.connectTimeoutMs = param.ConnectTimeoutMs;
    config.sendTimeoutMs = param.SendTimeoutMs;
    config.receiveTimeoutMs = param.ReceiveTimeoutMs;
    config.stopWaitMs = std::max(0, param.StopWaitMs);
    config.blockSize = param.BlockSize > 0 ? std::min(param.BlockSize, download::BUFFER_SIZE) : download::BUFFER_SIZE;
    config.statusCallback = param.StatusCallback;
    config.eventCallback = param.EventCallback;
    task->request = download::InitialRequestData(url, split, download::StripLineBreaks(param.Proxy.value_or("")),
                                                 download::StripLineBreaks(param.Referer.value_or("")));
    task->targetPath = download::StripLineBreaks(param.TargetPath);
    task->cell = object.CellPointer();

    // The cell holds the task before its master thread can reach its end.
    cell.task = task;
    if (config.NoThreads()) return true;
    auto exited = std::make_shared<std::atomic<bool>>(false);
    try {
        std::thread master([task, exited, count = config.connectionCount] {
            download::RunMaster(task, count);
            exited->store(true);
        });
        cell.masters.push_back(TaskCell::Master{std::move(master), exited});
    } catch (const std::system_error&) {
        cell.task.reset();
        return false;
    }
    return true;
}

int32_t GetDownloadedLength(Download& object) {
    std::shared_ptr<DownloadTask> task = RunningTask(object.Cell());
    if (!task) return 0;
    std::lock_guard<std::mutex> guard(task->counterLock);
    return static_cast<int32_t>(std::min<int64_t>(task->receivedBytes, INT32_MAX));
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
