#pragma once
// The uninstall mode: the program started as "卸载.exe" from the install
// folder writes the uninstall script again and leaves it to run once the
// program has ended (the script deletes the folder the program stands in).

namespace zorv::uninstall {

// Exit codes of the uninstall without a window.
enum QuietUninstallCode : int {
    kUninstallStarted = 0,
    kUninstallNotAdministrator = 1,
    kUninstallNotInProductFolder = 2,
    kUninstallScriptFailed = 3,  // the script could not be written or started
};

// The uninstall button: the checks, the script written and made ready, the
// program ended and the script let run.  A refusal or a script that cannot
// be written or started shows its message and leaves the window open.  UI
// thread.
void UninstallClick();
// The uninstall without a window (command line "/S"): the same checks and
// steps, ending the program with one of the codes above.
[[noreturn]] void QuietUninstall();

// The administrator check of the uninstall mode; tests replace it.
// Returns the previous check.
using AdministratorCheck = bool (*)();
AdministratorCheck SetAdministratorCheck(AdministratorCheck check);

}  // namespace zorv::uninstall
