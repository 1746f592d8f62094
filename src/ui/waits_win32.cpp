#include "ui/waits_win32.h"

#include "runtime/commands_win32.h"
#include "runtime/unique_handle_win32.h"

namespace zorv::ui {
namespace {

// Dispatches everything waiting for the calling thread.
void DispatchWaitingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

bool WaitPumping(HANDLE object, uint32_t milliseconds) {
    ULONGLONG due = GetTickCount64() + milliseconds;
    DispatchWaitingMessages();
    for (;;) {
        DWORD left = INFINITE;
        if (milliseconds != INFINITE) {
            ULONGLONG now = GetTickCount64();
            left = now >= due ? 0 : DWORD(due - now);
        }
        DWORD woke = MsgWaitForMultipleObjectsEx(1, &object, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke == WAIT_TIMEOUT || woke == WAIT_FAILED) return false;
        DispatchWaitingMessages();
    }
}

void PumpingWait(uint32_t milliseconds) {
    UniqueHandle timer(CreateWaitableTimerW(nullptr, FALSE, nullptr));
    LARGE_INTEGER due;
    due.QuadPart = -int64_t(milliseconds) * 10000;
    if (!timer || !SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, FALSE)) {
        Sleep(milliseconds);
        return;
    }
    WaitPumping(timer.get());
}

void RunPumping(const std::function<void()>& work) {
    HANDLE thread = nullptr;
    if (!StartThread([&work] { work(); }, &thread)) {
        work();
        return;
    }
    UniqueHandle owned(thread);
    WaitPumping(owned.get());
}

}  // namespace zorv::ui
