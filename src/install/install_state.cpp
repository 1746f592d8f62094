#include "install/install_state.h"

namespace zorv::install {
namespace {

ProductDownloadState productDownload;
InstallSettings settings;
std::atomic<bool> created{false};

}  // namespace

// The records are never destroyed: only their contents are created and freed.
ProductDownloadState& ProductDownload() { return productDownload; }

InstallSettings& Settings() { return settings; }

bool GlobalsCreated() { return created.load(); }

void InitGlobals() {
    ProductDownloadState& d = productDownload;
    d.Quitting.store(false);
    std::lock_guard lock(d.Lock);
    d.TheDownload = std::make_unique<Download>();
    // The record's member initialisers are the twenty start-up values.
    d.TaskDefaults = std::make_unique<TaskParam>();
    d.ResumeBuffer.clear();
    settings = InstallSettings();
    created.store(true);
}

void ReleaseGlobals() {
    if (!created.load()) return;
    ProductDownloadState& d = productDownload;
    d.Quitting.store(true);
    std::lock_guard lock(d.Lock);
    if (d.TheDownload) StopTask(*d.TheDownload);
    d.TheDownload.reset();
    std::string().swap(d.ResumeBuffer);
    d.TaskDefaults.reset();
    created.store(false);
}

}  // namespace zorv::install
