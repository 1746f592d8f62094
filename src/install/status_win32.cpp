// The status strip over the main window's top edge, its countdown, and the
// waits that keep a thread's messages flowing.
#include <windows.h>

#include <atomic>

#include "install/globals.h"
#include "install/install_rules.h"
#include "install/install_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/exit.h"
#include "runtime/unique_handle_win32.h"
#include "ui/form_ids.h"
#include "ui/window_commands_win32.h"
#include "ui/window_win32.h"

namespace zorv::install {

namespace ids = ui::ids;

namespace {

constexpr int kPictureBackColour = 9;
constexpr int kLabelBackColour = 17;

// Claimed by the one countdown thread that runs.
std::atomic<bool> countdownRunning{false};

COLORREF StatusColour(int kind) {
    switch (kind) {
        case kStatusSuccess: return RGB(69, 185, 124);
        case kStatusWorking: return RGB(196, 66, 52);
        default: return RGB(250, 167, 85);
    }
}

bool Visible(uint32_t windowId) { return ui::ReadProperty(windowId, 0, ids::prop::Visible) != 0; }

int32_t CountdownValue() { return int32_t(ui::ReadProperty(ids::StatusBar, ids::StatusSpinner, ids::prop::Width)); }

void SetStatusColour(COLORREF colour) {
    ui::WriteProperty(ids::StatusBar, ids::StatusBackground, kPictureBackColour, colour);
    ui::WriteProperty(ids::StatusBar, ids::StatusText, kLabelBackColour, colour);
    ui::WriteProperty(ids::StatusBar, ids::StatusIcon, kLabelBackColour, colour);
    ui::WriteProperty(ids::StatusBar, ids::StatusClose, kPictureBackColour, colour);
}

void SetStatusOpacity(int alpha) { ui::SetWindowOpacity(ui::GetWindowHandle(ids::StatusBar), alpha); }

// The value lowered by the step and shown, the fade below 1.8 s; false
// once the strip is hidden.  Runs on the UI thread as a whole, like a new
// message: a message arriving between the read of the value and the write
// of the lowered one would otherwise be overwritten by the old countdown
// (a 10-second failure message then stayed up for the 100 seconds of the
// message before it).
bool LowerCountdown() {
    if (!Visible(ids::StatusBar)) return false;
    int32_t value = CountdownValue();
    if (value <= 0) {
        ui::WriteProperty(ids::StatusBar, 0, ids::prop::Visible, 0);
    } else {
        int32_t next = value - Globals().CountdownStep.load();
        ui::WriteProperty(ids::StatusBar, ids::StatusSpinner, ids::prop::Width, next);
        ui::WriteTextProperty(ids::StatusBar, ids::StatusIcon, ids::prop::Caption, CountdownText(next));
    }
    int32_t now = CountdownValue();
    if (now <= 180) {
        Globals().CountdownStep.store(3);
        SetStatusOpacity(FadeOpacity(now));
    }
    return true;
}

bool CountdownTick() {
    bool visible = false;
    ui::RunOnUiThread([&] {
        if (!IsExiting() && ui::IsWindowLoaded(ids::StatusBar)) visible = LowerCountdown();
    });
    if (!visible) return false;
    PumpingWait(10);
    return true;
}

void StatusCountdown() {
    for (;;) {
        while (!IsExiting() && CountdownTick()) {
        }
        countdownRunning.store(false);
        // A message that showed the strip again just as this thread let go
        // found the countdown still claimed: carry on for it.
        if (IsExiting() || !Visible(ids::StatusBar)) return;
        bool expected = false;
        if (!countdownRunning.compare_exchange_strong(expected, true)) return;
    }
}

// The whole message at once on the UI thread, so that messages from
// several threads never mix their parts.
void ShowStatusOnUiThread(std::string_view text, int kind, int seconds) {
    if (!Visible(ids::MainWindow)) return;
    if (seconds == 0) seconds = 3;
    SetStatusOpacity(255);
    ui::WriteTextProperty(ids::StatusBar, ids::StatusText, ids::prop::Caption, text);
    ui::WriteProperty(ids::StatusBar, 0, ids::prop::Top, ui::ReadProperty(ids::MainWindow, 0, ids::prop::Top));
    ui::WriteProperty(ids::StatusBar, 0, ids::prop::Left, ui::ReadProperty(ids::MainWindow, 0, ids::prop::Left));
    SetStatusColour(StatusColour(kind));
    ui::WriteProperty(ids::StatusBar, ids::StatusSpinner, ids::prop::Width, int64_t(seconds) * 100);
    if (Visible(ids::StatusBar)) return;  // the running countdown goes on from the new value
    ui::ActivateWindow(ids::MainWindow);
    ui::WriteProperty(ids::StatusBar, 0, ids::prop::Visible, 1);
    bool expected = false;
    if (!countdownRunning.compare_exchange_strong(expected, true)) return;
    Globals().CountdownStep.store(1);
    if (!StartThread(StatusCountdown)) countdownRunning.store(false);
}

// Dispatches everything waiting for the calling thread.
void DispatchWaitingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Waits for the object while dispatching the calling thread's messages; the
// thread sleeps in the system until the object or a message arrives.
void WaitDispatching(HANDLE object) {
    for (;;) {
        DWORD woke = MsgWaitForMultipleObjectsEx(1, &object, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) return;
        DispatchWaitingMessages();
    }
}

}  // namespace

void ShowStatus(std::string_view text, int kind, int seconds) {
    if (IsExiting()) return;
    std::string copy(text);
    ui::RunOnUiThread([&] {
        if (!IsExiting() && ui::IsWindowLoaded(ids::MainWindow) && ui::IsWindowLoaded(ids::StatusBar))
            ShowStatusOnUiThread(copy, kind, seconds);
    });
}

void PumpingWait(uint32_t milliseconds) {
    UniqueHandle timer(CreateWaitableTimerW(nullptr, FALSE, nullptr));
    LARGE_INTEGER due;
    due.QuadPart = -int64_t(milliseconds) * 10000;
    if (!timer || !SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, FALSE)) {
        Sleep(milliseconds);
        return;
    }
    DispatchWaitingMessages();
    WaitDispatching(timer.get());
}

void RunPumping(const std::function<void()>& work) {
    HANDLE thread = nullptr;
    if (!StartThread([&work] { work(); }, &thread)) {
        work();
        return;
    }
    UniqueHandle owned(thread);
    WaitDispatching(owned.get());
}

}  // namespace zorv::install
