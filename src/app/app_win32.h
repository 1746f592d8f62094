#pragma once
// Program start, the start-up checks and the quit path.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "app/startup_rules.h"
#include "install/install_state.h"
#include "install/install_win32.h"
#include "ui/handlers.h"

namespace zorv::app {

// The install flow's state lives below the app.
using install::InitGlobals;
using install::kBuiltInProductUrl;
using install::QuitProgram;
using install::RecolourProgressShadow;
using install::ReleaseGlobals;

// The whole program: runtime, globals, system facts, the main window and
// the message loop.  Returns 0 when the loop ends.
int ProgramStart();


// Installs the program's handlers into the window layer's table, and the
// keyboard order and the screen readers' names of the windows.
void InstallHandlerTable();
void InstallKeyboardTable();

// Handlers bound in the form template.
int OnMainWindowCreated(const ui::EventArgs& args);
int OnMainWindowClosing(const ui::EventArgs& args);
int OnCloseClicked(const ui::EventArgs& args);

// Privilege check.  True when the process has administrator rights;
// otherwise the program file is started again through "runas" and the
// result is false.  With waitForExit the relaunched program is waited for
// and *exitCode takes its exit code (1 when it could not be started: the
// user declined, say).
bool EnsureElevated(bool waitForExit = false, int* exitCode = nullptr);
// The two system edges of the privilege check, replaceable by tests.  The
// launch answers -1 when nothing started, else the program's exit code
// when it waited, else 0.
struct PrivilegeProbe {
    bool (*isAdministrator)() = nullptr;
    int (*launch)(const ShellRequest& request) = nullptr;
};

// Whether this run shows no window at all: "卸载.exe /S", or an install
// with /S.
bool IsRunWithoutWindow();
// The exit code of a run without a window that finds another installer
// running (a run with a window simply ends with 0).
inline constexpr int kExitAnotherInstallerRuns = 8;
// Installs a probe (null members keep the system's function); returns the
// previous one.
PrivilegeProbe SetPrivilegeProbe(const PrivilegeProbe& probe);

// MD5 (or another CryptoAPI hash) of the bytes as upper-case hex; empty on
// any failure.
std::string Md5Hex(std::string_view data, uint32_t algorithm = 0x8003, uint32_t digestLength = 16);

// True when another instance holds the mapping named after instanceName (an
// empty name stands for the program's full path); with exitIfRunning the
// process then ends at once with code 0.  The first instance keeps the
// mapping open until it ends.
bool EnsureSingleInstance(uint32_t windowHandle = 0, bool exitIfRunning = true,
                          std::string_view instanceName = kInstanceName);
// The mapping name for an instance name.
std::string InstanceKeyFor(std::string_view instanceName);
// Restores and raises the window; the previous foreground window when the
// window became the foreground window, else null.
HWND BringWindowToFront(HWND window);

// The shadow class registration and the main window's shadow (black,
// alpha 50, size 30, offset 1, 1).
void AttachMainShadow();
// The panels' shadows, bound to their shown and hidden events: attached
// while the panel is shown, detached when it hides.
int OnOptionsPanelShown(const ui::EventArgs& args);
int OnOptionsPanelHidden(const ui::EventArgs& args);
int OnProgressPanelShown(const ui::EventArgs& args);
int OnProgressPanelHidden(const ui::EventArgs& args);
// Hides the install controls when the program file's name asks for the
// uninstall mode; true when it did.
bool SelectModeByFileName(std::string_view exeFileName);
// Reads the update settings next to the program.  Their download address
// is not used: a file planted beside the installer must not choose what an
// elevated installer downloads and starts.
void ReadUpdateSettings();
// The command-line options: the product address of /URL= (else the
// built-in one), and the test setting ZORV_TEST_RETRIES=count,waitMs from
// the environment for the product download's reconnects.
void ReadCommandLineOptions();
// The program's command line as GBK text.
std::string OwnCommandLine();

}  // namespace zorv::app
