// The status strip over the main window's top edge and its countdown.
#include <windows.h>

#include <atomic>

#include "runtime/commands_win32.h"
#include "runtime/exit.h"
#include "ui/form_ids.h"
#include "ui/status_strip_rules.h"
#include "ui/status_strip_win32.h"
#include "ui/waits_win32.h"
#include "ui/window_commands_win32.h"
#include "ui/window_win32.h"

namespace zorv::ui {
namespace {

constexpr int kPictureBackColour = 9;
constexpr int kLabelBackColour = 17;

// Claimed by the one countdown thread that runs.
std::atomic<bool> countdownRunning{false};
// What a tick takes off the countdown value.
std::atomic<int32_t> countdownStep{1};

COLORREF StatusColour(int kind) {
    switch (kind) {
        case kStatusSuccess: return RGB(69, 185, 124);
        case kStatusWorking: return RGB(196, 66, 52);
        default: return RGB(250, 167, 85);
    }
}

bool Visible(uint32_t windowId) { return ReadProperty(windowId, 0, ids::prop::Visible) != 0; }

int32_t CountdownValue() { return int32_t(ReadProperty(ids::StatusBar, ids::StatusSpinner, ids::prop::Width)); }

void SetStatusColour(COLORREF colour) {
    WriteProperty(ids::StatusBar, ids::StatusBackground, kPictureBackColour, colour);
    WriteProperty(ids::StatusBar, ids::StatusText, kLabelBackColour, colour);
    WriteProperty(ids::StatusBar, ids::StatusIcon, kLabelBackColour, colour);
    WriteProperty(ids::StatusBar, ids::StatusClose, kPictureBackColour, colour);
}

void SetStatusOpacity(int alpha) { SetWindowOpacity(GetWindowHandle(ids::StatusBar), alpha); }

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
        WriteProperty(ids::StatusBar, 0, ids::prop::Visible, 0);
    } else {
        int32_t next = value - countdownStep.load();
        WriteProperty(ids::StatusBar, ids::StatusSpinner, ids::prop::Width, next);
        WriteTextProperty(ids::StatusBar, ids::StatusIcon, ids::prop::Caption, CountdownText(next));
    }
    int32_t now = CountdownValue();
    countdownStep.store(CountdownStepFor(now));
    if (now <= 180) SetStatusOpacity(FadeOpacity(now));
    return true;
}

bool CountdownTick() {
    bool visible = false;
    RunOnUiThread([&] {
        if (!IsExiting() && IsWindowLoaded(ids::StatusBar)) visible = LowerCountdown();
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
    WriteTextProperty(ids::StatusBar, ids::StatusText, ids::prop::Caption, text);
    WriteProperty(ids::StatusBar, 0, ids::prop::Top, ReadProperty(ids::MainWindow, 0, ids::prop::Top));
    WriteProperty(ids::StatusBar, 0, ids::prop::Left, ReadProperty(ids::MainWindow, 0, ids::prop::Left));
    SetStatusColour(StatusColour(kind));
    WriteProperty(ids::StatusBar, ids::StatusSpinner, ids::prop::Width, int64_t(seconds) * 100);
    // A message that arrives during the fade counts down at the normal pace.
    countdownStep.store(CountdownStepFor(CountdownValue()));
    if (Visible(ids::StatusBar)) return;  // the running countdown goes on from the new value
    ActivateWindow(ids::MainWindow);
    WriteProperty(ids::StatusBar, 0, ids::prop::Visible, 1);
    bool expected = false;
    if (!countdownRunning.compare_exchange_strong(expected, true)) return;
    if (!StartThread(StatusCountdown)) countdownRunning.store(false);
}

}  // namespace

void ShowStatus(std::string_view text, int kind, int seconds) {
    if (IsExiting()) return;
    std::string copy(text);
    RunOnUiThread([&] {
        if (!IsExiting() && IsWindowLoaded(ids::MainWindow) && IsWindowLoaded(ids::StatusBar))
            ShowStatusOnUiThread(copy, kind, seconds);
    });
}

}  // namespace zorv::ui
