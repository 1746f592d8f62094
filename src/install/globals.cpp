#include "install/globals.h"

namespace zorv::install {
namespace {

ProgramGlobals programGlobals;
std::atomic<bool> created{false};

}  // namespace

// The record is never destroyed: only its contents are created and freed.
ProgramGlobals& Globals() { return programGlobals; }

bool GlobalsCreated() { return created.load(); }

void InitGlobals() {
    ProgramGlobals& g = programGlobals;
    g.Quitting.store(false);
    std::lock_guard lock(g.DownloadLock);
    g.TheDownload = std::make_unique<Download>();
    g.ResumeBuffer.clear();
    g.MainShadowParams = {};
    g.ShadowState = {};
    g.InstallUiBusy.store(0);
    g.ProductFileName.clear();
    // The record's member initialisers are the twenty start-up values.
    g.TaskDefaults = std::make_unique<TaskParam>();
    g.CountdownStep.store(0);
    g.FileLength.Exchange(0);
    g.RetriedOnce.store(0);
    g.OptionsShadowParams = {};
    g.ProgressShadowParams = {};
    g.TextCodePage = 0;
    g.WindowsVersion = 0;
    g.ProductUrl = kBuiltInProductUrl;
    created.store(true);
}

void ReleaseGlobals() {
    if (!created.load()) return;
    ProgramGlobals& g = programGlobals;
    g.Quitting.store(true);
    std::lock_guard lock(g.DownloadLock);
    if (g.TheDownload) StopTask(*g.TheDownload);
    g.TheDownload.reset();
    std::string().swap(g.ResumeBuffer);
    // The windows (and with them the shadow windows) are gone by the time
    // the exit routines run; the records go back to zero.
    g.MainShadowParams = {};
    g.ShadowState = {};
    std::string().swap(g.ProductFileName);
    g.TaskDefaults.reset();
    std::string().swap(g.ProductUrl);
    // FileLength has nothing to free, and the flags are plain values.
    g.OptionsShadowParams = {};
    g.ProgressShadowParams = {};
    created.store(false);
}

}  // namespace zorv::install
