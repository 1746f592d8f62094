#pragma once
// The uninstall script and the instructions written into a folder.
#include <string>
#include <string_view>

namespace zorv::uninstall {

// Each creates or truncates its file in the folder (which ends with a
// backslash, or is the run directory without one) and writes the whole text
// at once; true when written.
bool WriteUninstallScript(std::string_view folder);
bool WriteUninstallInstructions(std::string_view folder);
// Starts the folder's script hidden, without waiting, from outside the
// folder (its parent, or the temporary folder): the script deletes its own
// folder, which a process holding it as current directory would keep.
void StartUninstallScript(std::string_view folder);
// The folder joined with a file name, with exactly one backslash between.
std::string FileInFolder(std::string_view folder, std::string_view name);

// The uninstall button: the checks, the script written and started hidden,
// the program ended.  UI thread.
void UninstallClick();
// The uninstall without a window (command line "/S"): the same checks, whose
// refusal ends the program with 1 (no administrator rights) or 2 (not in
// the product's folder); otherwise the script is started and the program
// ends with 0.
[[noreturn]] void QuietUninstall();
// The administrator check of the uninstall mode; tests replace it.
// Returns the previous check.
using AdministratorCheck = bool (*)();
AdministratorCheck SetAdministratorCheck(AdministratorCheck check);

}  // namespace zorv::uninstall
