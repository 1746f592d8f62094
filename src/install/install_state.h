#pragma once
// The install flow's state that outlives one step: the product download
// (created by InitGlobals before any window exists, released by the exit
// routine ReleaseGlobals) and the settings the command line chose.  The
// records live for the whole process, so a worker that still runs while the
// exit routines run never touches freed memory through them.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "download/download.h"
#include "download/task_param.h"

namespace zorv::install {

// The built-in address of the product download; a build sets its own with
// the CMake setting ZORV_PRODUCT_URL.
#ifndef ZORV_PRODUCT_URL
#define ZORV_PRODUCT_URL "http://download.zorvane.com/zorv.exe"
#endif
inline constexpr char kBuiltInProductUrl[] = ZORV_PRODUCT_URL;

// The one download object with its task parameters and the resume data the
// quit path keeps.
struct ProductDownloadState {
    // Held by every user of the members below: the exit routine frees them
    // while workers of the install may still run.
    std::mutex Lock;
    std::unique_ptr<Download> TheDownload;     // idle at start
    std::unique_ptr<TaskParam> TaskDefaults;   // the program's one set of task parameters
    std::string ResumeBuffer;                  // resume data kept by the quit path
    // Set once the program is on its way out: a download that ends now was
    // stopped by the quit and starts no further step of the install.
    std::atomic<bool> Quitting{false};
};
ProductDownloadState& ProductDownload();

// What the command line set for the install.
struct InstallSettings {
    // The product address: the built-in one unless /URL= names another.
    std::string ProductUrl = kBuiltInProductUrl;
};
InstallSettings& Settings();

// True between InitGlobals and ReleaseGlobals.
bool GlobalsCreated();
// Creates the download object and the task parameters with their start
// values (also after a ReleaseGlobals).
void InitGlobals();
// Exit routine: stops a running download without keeping its resume data,
// then frees the download state.
void ReleaseGlobals();

}  // namespace zorv::install
