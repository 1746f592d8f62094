#pragma once
// The install as it was asked for: read once from the options panel when
// the install starts, then passed to every step, so that no step reads a
// window back.  Portable; texts are GBK.
#include <cstdint>
#include <string>
#include <string_view>

namespace zorv::install {

struct InstallPlan {
    // The install folder of the running attempt, ending with a backslash:
    // the completed folder of the options panel with one more backslash per
    // attempt (the registered paths keep what the attempt used).
    std::string folder;
    std::string productPath;      // folder + "zorv.exe"
    // Where the download goes: a name of the installer's own, moved over
    // the product file only once it is complete and verified.
    std::string downloadPath;     // folder + "zorv.exe.download"
    std::string uninstallerPath;  // folder + "卸载.exe"
    // The links' target: the completed folder without the separators the
    // attempts added, then "\zorv.exe".
    std::string linkTarget;
    bool desktopLink = true;
    bool startMenuLink = true;
    std::string productUrl;
    // An install without a window (/S): nothing is shown, and the product
    // starts only when asked (/START).
    bool silent = false;
    bool startProduct = true;
    int attempt = 0;  // 0 before the first attempt starts
};

// The plan for a completed install folder ("...\zorv", as the options panel
// holds it once the install starts), before its first attempt.
InstallPlan MakeInstallPlan(std::string_view completedFolder, bool desktopLink, bool startMenuLink,
                            std::string_view productUrl);

// The next attempt: one more backslash after the folder, the file paths
// made from it again.
void BeginNextAttempt(InstallPlan& plan);

// The downloads an install makes at most: a first one and one retry.
inline constexpr int kDownloadAttempts = 2;

// How a product download ended, as the install sees it.
struct DownloadOutcome {
    int64_t received = 0;    // bytes the task reported
    int64_t fileLength = 0;  // the length the server gave; 0 when none came
    bool started = true;     // false when the task could not even be started
    bool stoppedByQuit = false;
};

enum class AfterDownload {
    Install,  // every byte of a known length arrived
    Retry,    // something is missing and an attempt is left
    Fail,     // something is missing after the last attempt
    Stop,     // the program is ending: nothing more happens
};

// What follows a download of the given attempt (1-based).
AfterDownload JudgeDownload(const DownloadOutcome& outcome, int attempt);

}  // namespace zorv::install
