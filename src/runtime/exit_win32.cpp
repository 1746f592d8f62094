#include <windows.h>

#include "runtime/commands_win32.h"
#include "runtime/exit.h"
#include "runtime/setup_log_win32.h"

#include <string>

namespace zorv {

void EndProcessNow(int code) {
    Log("exit code " + std::to_string(code));
    ExitProcess(static_cast<UINT>(code));
}

// SendNotifyMessage does not wait for a window of another thread: the worker
// must end the process even while the UI thread is busy.
void ForwardExitRequest(int code) {
    HWND owner = RuntimeOwnerWindow();
    if (owner) SendNotifyMessageW(owner, kExitRequestMessage, static_cast<WPARAM>(code), 0);
}

void SleepForever() {
    for (;;) Sleep(INFINITE);
}

}  // namespace zorv
