#pragma once
// The program-wide state: created by InitGlobals before any window exists,
// released by the exit routine ReleaseGlobals.  The record itself lives for
// the whole process, so a worker thread that still runs while the exit
// routines run never touches freed memory through a flag.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "install/atomic_counter.h"
#include "download/download.h"
#include "download/task_param.h"
#include "ui/shadow_params.h"

namespace zorv::install {

// The built-in address of the product download; a build sets its own with
// the CMake setting ZORV_PRODUCT_URL.
#ifndef ZORV_PRODUCT_URL
#define ZORV_PRODUCT_URL "http://download.zorvane.com/zorv.exe"
#endif
inline constexpr char kBuiltInProductUrl[] = ZORV_PRODUCT_URL;

struct ProgramGlobals {
    std::unique_ptr<Download> TheDownload;     // the one download object, idle at start
    std::string ResumeBuffer;                  // resume data kept by the quit path
    // Held by every user of TheDownload, TaskDefaults and ResumeBuffer: the
    // exit routine frees them while workers of the install may still run.
    std::mutex DownloadLock;
    // Set once the program is on its way out: a download that ends now was
    // stopped by the quit and starts no further step of the install.
    std::atomic<bool> Quitting{false};
    // The shadow of the main window, filled at start-up; the shadow windows
    // hold its address while they exist, so the record never moves.
    ui::ShadowParams MainShadowParams;
    ui::ShadowState ShadowState;               // the shadow window class, zero until registered
    std::atomic<int32_t> InstallUiBusy{0};     // set while the progress animation runs
    std::string ProductFileName;
    std::unique_ptr<TaskParam> TaskDefaults;   // the program's one set of task parameters
    std::atomic<int32_t> CountdownStep{0};     // countdown step of the status strip
    AtomicCounter FileLength;                  // length reported by the download, shared with workers
    std::atomic<int32_t> RetriedOnce{0};
    ui::ShadowParams OptionsShadowParams;      // filled each time the options panel shows
    ui::ShadowParams ProgressShadowParams;     // filled each time the progress panel shows
    int32_t TextCodePage = 0;
    int32_t WindowsVersion = 0;                // (major << 8) | minor
    // The product address the download uses: the built-in one unless the
    // command line names another with /URL=.
    std::string ProductUrl;
};

// The globals; their owned parts (the download, the task parameters) exist
// between InitGlobals and ReleaseGlobals.
ProgramGlobals& Globals();
// True between InitGlobals and ReleaseGlobals.
bool GlobalsCreated();

// Creates every global with its start value (also after a ReleaseGlobals).
void InitGlobals();
// Exit routine: stops a running download without keeping its resume data,
// then frees the globals in the order they were listed.
void ReleaseGlobals();

}  // namespace zorv::install
