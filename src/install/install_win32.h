#pragma once
// The install flow on Windows: the install folder and its options panel,
// the folder picker, the window events and the progress panel's animation,
// the install sequence with its download, files, shortcuts and
// registration, and the quit path.  Texts are GBK.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "install/install_plan.h"
#include "install/install_rules.h"

namespace zorv::install {

// --- Install location -----------------------------------------------------

// Shows or hides the options panel; with lockLinks the three link controls
// take the panel's state, otherwise the opposite, and the path caption is
// refreshed from the folder box.
void SetOptionsPanel(bool open, bool lockLinks);
// The folder box's text completed with "\zorv", the plan made from it and
// the ticks, the panels swapped for the progress panel, and the animation
// and the install sequence started on threads of their own.  An empty box
// only reopens the options panel.
void BeginInstall();
// The folder chosen in the system's folder dialog as GBK, or empty (old
// Windows, no dialog, cancelled, no file-system path).  The dialog is modal
// to the owner.
std::string PickFolder(std::string_view title, HWND owner);
// The browse icon: the chosen folder + "\zorv", or the default folder.
// While the dialog is open, neither window can start the install.
void BrowseForFolder();
// The keys of the folder box: Enter confirms like the confirm button, Escape
// closes the panel like the back link.  True when the key was one of them.
bool HandleFolderBoxKey(uint32_t virtualKey);

// --- Window events and the animation --------------------------------------

void DockSecondaryWindows();
void DragMainWindow();
// Eases the width (2) or height (3) of the unit to the target in 22 steps
// of 10 ms after a 500 ms pause, then writes the target exactly.
void AnimateProperty(uint32_t windowId, uint32_t unitId, int property, int32_t target);
// The progress panel's placeholder animation (about 16 s); ends by posting
// the notification (1, 1) to the install notifier.
void RunPlaceholderAnimation();
// The progress panel's shadow in its end-of-animation colour.
void RecolourProgressShadow();

// --- The install sequence ---------------------------------------------------

// How an install ended: the exit code of an install without a window.
enum InstallExitCode : int {
    kExitInstalled = 0,
    kExitNotAdministrator = 1,
    kExitFolderRefused = 2,     // a link on the folder's path, a folder that cannot be made or named
    kExitOldVersionKept = 3,    // the older installation could not be removed
    kExitDownloadFailed = 4,    // the product did not arrive whole, also after the retry
    kExitProductNotTrusted = 6, // the download failed the signature check
    kExitStepFailed = 7,        // an uninstall file, a link or the registration could not be written
};

// The whole install of the plan, one step after the other: the older
// installation removed, the product downloaded (once more if something is
// missing), the uninstall files written, the shortcut step awaited, the
// product registered and started, the program ended.  A failed step shows
// its message, takes back what the install made and leaves the installer
// open.  Worker thread.  How it ended.
InstallExitCode RunInstall(InstallPlan plan);

// The install without a window (/S): the same sequence for the folder of
// /DIR= (completed with "\zorv"; the options panel's folder without it),
// links unless /NOSHORTCUTS, the product started only with /START; ends the
// program with the install's exit code.  UI thread, during start-up.
void BeginSilentInstall(const SilentInstallOptions& options);

// The shortcut step, due when the animation ends: the ticked links of the
// running install.  Prepared (with its links' target and ticks) when an
// install begins; the notification (a, b) of the install notifier runs it
// on the UI thread; the install sequence waits for its end.
void PrepareShortcutStep(const InstallPlan& plan);
void RunShortcutStep(int a, int b);

// Test setting: reconnect attempts and their pause for the product task
// (the engine's defaults unless set).
void SetDownloadRetries(int32_t count, int32_t waitMs);

// Stops the download keeping its resume data in memory, then ends the
// program with the code.  Any thread.
[[noreturn]] void QuitProgram(int code = 0);

}  // namespace zorv::install
