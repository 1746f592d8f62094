#pragma once
// The install flow on Windows: the status strip and the pumping wait, the
// install folder and its options panel, the folder picker, the window
// events and the progress panel's animation, the update with its download,
// the installation, the shortcuts and the uninstall registration, and the
// quit path.  Texts are GBK.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "download/task_param.h"

namespace zorv::install {

// --- Status strip and waits ---------------------------------------------

// Colour kinds of the strip: 0 green, 1 red, anything else orange.
enum StatusKind : int { kStatusSuccess = 0, kStatusWorking = 1, kStatusNotice = 2, kStatusFailure = 3 };

// Shows the message in the status strip over the main window's top edge for
// the seconds (0 means 3), counting down and fading out at the end.  Any
// thread; dropped while the main window is hidden.  One countdown runs at a
// time, however many messages race.
void ShowStatus(std::string_view text, int kind, int seconds);
// Sleeps for the milliseconds while it keeps dispatching the calling
// thread's messages; the thread sleeps in the system between messages.
void PumpingWait(uint32_t milliseconds);
// Runs the work on a thread of its own and waits for it.  On the UI thread
// the wait keeps carrying out other threads' window requests, so a worker
// that writes a property while the work waits for it cannot block either.
void RunPumping(const std::function<void()>& work);

// --- Install location -----------------------------------------------------

// Shows or hides the options panel; with lockLinks the three link controls
// take the panel's state, otherwise the opposite, and the path caption is
// refreshed from the folder box.
void SetOptionsPanel(bool open, bool lockLinks);
// The folder box's text completed with "\zorv", the panels swapped for the
// progress panel, and the animation and the update started on threads of
// their own.  An empty box only reopens the options panel.
void BeginInstall();
// The folder chosen in the system's folder dialog as GBK, or empty (old
// Windows, no dialog, cancelled, no file-system path).
std::string PickFolder(std::string_view title, HWND owner);
// The browse icon: the chosen folder + "\zorv", or the default folder.
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

// --- Update, download and installation ------------------------------------

// Makes the folder tree, removes an older installation found in it, then
// starts the download of the product.  Worker thread.
void RunUpdate();
// The download task's event callback (the engine's master thread).
int32_t OnDownloadEvent(int32_t code, int32_t connection, int64_t value1, int64_t value2, int32_t task);
// After the task ended: the restart, the failure message, or the
// installation and the product's start.  Worker thread.
void FinishInstall();
// The notification at the end of the animation (UI thread): the shadow
// recoloured, the ticked shortcuts made, the busy flag cleared.
void CreateShortcuts(int a, int b);
// The product's entry in the system's list of installed programs.
void RegisterUninstall();
// Creates every missing folder along the path (the last component only when
// a backslash follows it).
void CreateFolderPath(std::string_view path);
// The installer's own file (run directory + "\" + file name).
std::string OwnProgramPath();
// Test setting: reconnect attempts and their pause for the product task
// (the engine's defaults unless set).
void SetDownloadRetries(int32_t count, int32_t waitMs);

// Stops the download keeping its resume data in memory, then ends the
// program with code 0.  Any thread.
[[noreturn]] void QuitProgram();

}  // namespace zorv::install
