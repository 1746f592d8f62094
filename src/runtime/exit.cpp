#include "runtime/exit.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace zorv {
namespace {

std::mutex routinesLock;
std::vector<ExitRoutine> routines;
ExitRoutine windowTeardown = nullptr;
std::size_t nextRoutine = 0;
bool teardownStarted = false;

std::atomic<bool> uiThreadKnown{false};
std::atomic<std::thread::id> uiThread{};
std::atomic<bool> exiting{false};
std::atomic<int> exitCode{0};
std::atomic<bool> claimedOnUiThread{false};

// Claims the exit for this call; false when it had begun already.
bool ClaimExit(int code, bool onUiThread) {
    bool expected = false;
    if (!exiting.compare_exchange_strong(expected, true)) return false;
    exitCode.store(code);
    claimedOnUiThread.store(onUiThread);
    return true;
}

// The next step of the exit sequence, or null when all have run.  Each step
// is taken exactly once, even when a step itself calls ExitProgram.
ExitRoutine TakeNextStep() {
    std::lock_guard lock(routinesLock);
    if (!teardownStarted) {
        teardownStarted = true;
        if (windowTeardown) return windowTeardown;
    }
    if (nextRoutine < routines.size()) return routines[nextRoutine++];
    return nullptr;
}

// <chrono> cannot be included here: its "µs" literal has no GBK form.
[[noreturn]] void WaitForUiThreadToEnd() { SleepForever(); }

}  // namespace

void AddExitRoutine(ExitRoutine routine) {
    if (routine == nullptr) return;
    std::lock_guard lock(routinesLock);
    for (ExitRoutine known : routines) {
        if (known == routine) return;
    }
    routines.push_back(routine);
}

void SetWindowTeardown(ExitRoutine teardown) {
    std::lock_guard lock(routinesLock);
    windowTeardown = teardown;
}

void MarkUiThread() {
    uiThread.store(std::this_thread::get_id());
    uiThreadKnown.store(true);
}

bool IsUiThread() { return !uiThreadKnown.load() || uiThread.load() == std::this_thread::get_id(); }

bool IsExiting() { return exiting.load(); }

void ExitProgram(int code) {
    if (!IsUiThread()) {
        ForwardExitRequest(code);
        if (ClaimExit(code, false)) EndProcessNow(code);
        WaitForUiThreadToEnd();
    }
    // A worker that claimed the exit is ending the process right now; the
    // exit routines must not start underneath it.
    if (!ClaimExit(code, true) && !claimedOnUiThread.load()) WaitForUiThreadToEnd();
    while (ExitRoutine step = TakeNextStep()) step();
    EndProcessNow(exitCode.load());
}

}  // namespace zorv
