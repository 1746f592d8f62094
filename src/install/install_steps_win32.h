#pragma once
// The steps the install sequence is made of, each with its result.  Worker
// threads unless said otherwise; texts are GBK.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "install/install_plan.h"
#include "runtime/unique_handle_win32.h"

namespace zorv::install {

// The first existing folder along the install folder's path (the install
// folder itself included) that is a link: a junction, a symbolic link or a
// mount point, through which the install would write elsewhere; empty when
// there is none.
std::string LinkOnInstallPath(std::string_view folder);
// Makes every missing folder along the path, the install folder last, each
// with the access of a program folder, and claims the install folder for
// the administrators, whoever made it: owner Administrators, the program
// folder's access and nothing inherited, set through a handle that was
// opened on the folder itself, never through a link.  That handle is
// returned (empty when the folder cannot be made or claimed) and held
// while the install works in the folder: the folder, and every folder
// above it, cannot be renamed or replaced meanwhile.
UniqueFile CreateInstallFolder(std::string_view folder);

// Downloads the product into the plan's product path and waits for the
// task's end, dispatching the thread's messages meanwhile.
DownloadOutcome DownloadProduct(const InstallPlan& plan);

// What the shortcut step did: the links it made and, for a ticked link it
// could not make, the failure.
struct ShortcutOutcome {
    bool desktopMade = false;
    bool startMenuMade = false;
    bool failed = false;
};
// Waits until the shortcut step has run, dispatching the thread's messages
// (without a window, the step is due from the first wait).
ShortcutOutcome WaitForShortcutStep();
// For an install taken back: what the step made once it has run, or
// nothing when it was not yet due (an install without a window that ended
// before it), which calls it off.
ShortcutOutcome EndShortcutStep();
// Deletes the links the shortcut step made.
void RemoveMadeLinks(const ShortcutOutcome& made);

// How the product was started: through the desktop shell, with the user's
// own rights; directly (no shell to ask: it inherits the installer's
// rights); or not at all.
struct ProductStart {
    enum Way { kThroughShell, kDirectly, kFailed } way = kFailed;
    long shellResult = 0;  // the shell's answer (an HRESULT)
    int directResult = 0;  // ShellExecute's answer when started directly
};
ProductStart StartProductAsUser(const std::string& productPath, const std::string& folder);

// The product's entry in the system's list of installed programs; 0, or
// the system's error code of the first value that could not be written.
uint32_t RegisterUninstall(const InstallPlan& plan);
// Deletes that entry again.
void RemoveUninstallRegistration();

}  // namespace zorv::install
