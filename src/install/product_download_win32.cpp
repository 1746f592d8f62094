// The product's download: the task started for the plan, its reports kept,
// its end awaited.
#include <windows.h>

#include <atomic>
#include <mutex>

#include "download/download.h"
#include "download/task.h"
#include "install/install_rules.h"
#include "install/install_state.h"
#include "install/install_steps_win32.h"
#include "install/install_win32.h"
#include "runtime/setup_log.h"
#include "runtime/setup_log_win32.h"
#include "runtime/unique_handle_win32.h"
#include "ui/status_strip_win32.h"
#include "ui/waits_win32.h"

namespace zorv::install {
namespace {

constexpr int32_t kTaskFlags = 0x1000;
constexpr int32_t kStopWaitMs = 15000;
constexpr uint64_t kProgressIntervalMs = 1000;

std::atomic<int32_t> retryCount{-1}, retryWaitMs{0};

// What the running task reported, and when progress was last shown.
std::atomic<int64_t> bytesReceived{0};
std::atomic<int64_t> fileLength{0};
std::atomic<uint64_t> lastProgressTick{0};

// Set when the task has ended; made once and never closed, since the
// engine's thread may set it while the program ends.
HANDLE TaskEnded() {
    static HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

void ShowProgress() {
    uint64_t now = GetTickCount64();
    uint64_t last = lastProgressTick.load();
    if (last != 0 && now - last < kProgressIntervalMs) return;
    if (!lastProgressTick.compare_exchange_strong(last, now)) return;
    std::string percent = ProgressPercentText(bytesReceived.load(), fileLength.load());
    if (percent.empty() || percent == "100") return;
    ui::ShowStatus(ProgressMessage(percent), ui::kStatusNotice, 100);
}

// The download task's event callback (the engine's master thread).
int32_t OnDownloadEvent(int32_t code, int32_t, int64_t value1, int64_t, int32_t) {
    switch (code) {
        case EV_FILE_LENGTH: fileLength.store(value1); break;
        case EV_BYTES_RECEIVED:
            bytesReceived.fetch_add(value1);
            ShowProgress();
            break;
        case EV_TASK_FINISHED: SetEvent(TaskEnded()); break;
        // The installer owns the download's name and removed what stood
        // there: something that is there again is no download of this
        // install, and the engine must not pick another name.  1 gives up.
        case EV_TARGET_EXISTS: return 1;
        default: break;
    }
    return 0;
}

// The engine's reasons for a failed connection (a refused certificate, a
// refused connect, an answer it cannot use) go to the setup log, so an
// administrator reads there why the download did not complete.  A
// redirect's target is named without the user and password it may carry.
int32_t OnDownloadStatus(int32_t, const std::string&, const std::string& text, int32_t level, int32_t) {
    if (level == LEVEL_ERROR) Log("download: " + LoggableUrl(text));
    return 0;
}

// Starts the task; false when there is nothing to start it with (the
// program is ending) or the engine refused it.
bool StartProductTask(const InstallPlan& plan) {
    ProductDownloadState& d = ProductDownload();
    std::lock_guard lock(d.Lock);
    if (d.Quitting.load() || !d.TheDownload) return false;
    TaskParam& param = *d.TaskDefaults;
    param.Flags = kTaskFlags;
    param.Url = plan.productUrl;
    param.StopWaitMs = kStopWaitMs;
    param.ConnectionCount = 1;
    param.TargetPath = plan.downloadPath;
    param.EventCallback = OnDownloadEvent;
    param.StatusCallback = OnDownloadStatus;
    if (retryCount.load() >= 0) download::SetRetryPolicy({retryCount.load(), retryWaitMs.load()});
    if (!StartTask(*d.TheDownload, param)) return false;
    GetResumeData(*d.TheDownload, d.ResumeBuffer);
    return true;
}

}  // namespace

void SetDownloadRetries(int32_t count, int32_t waitMs) {
    retryWaitMs.store(waitMs);
    retryCount.store(count);
}

DownloadOutcome DownloadProduct(const InstallPlan& plan) {
    fileLength.store(0);
    bytesReceived.store(0);
    lastProgressTick.store(0);
    ResetEvent(TaskEnded());
    DownloadOutcome outcome;
    outcome.started = StartProductTask(plan);
    if (outcome.started) ui::WaitPumping(TaskEnded());
    outcome.received = bytesReceived.load();
    outcome.fileLength = fileLength.load();
    outcome.stoppedByQuit = ProductDownload().Quitting.load();
    return outcome;
}

}  // namespace zorv::install
