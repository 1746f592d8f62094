// The quit path: every way the program ends itself passes here.
#include <windows.h>

#include <mutex>

#include "download/download.h"
#include "install/install_state.h"
#include "install/install_win32.h"
#include "runtime/exit.h"
#include "ui/waits_win32.h"

namespace zorv::install {

void QuitProgram(int code) {
    ProductDownloadState& d = ProductDownload();
    d.Quitting.store(true);
    auto stop = [&d] {
        std::lock_guard lock(d.Lock);
        if (d.TheDownload) StopTaskKeepResume(*d.TheDownload, d.ResumeBuffer, 2);
    };
    // A stop waits for the engine's threads, which may be writing to the
    // windows: the UI thread keeps carrying their writes out meanwhile.
    if (IsUiThread()) ui::RunPumping(stop);
    else stop();
    ExitProgram(code);
}

}  // namespace zorv::install
