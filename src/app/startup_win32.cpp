#include <windows.h>

#include <cstdio>

#include "app/app_win32.h"
#include "install/install_rules.h"
#include "install/install_state.h"
#include "install/install_win32.h"
#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/exit.h"
#include "runtime/setup_log_win32.h"
#include "uninstall/uninstall_mode_win32.h"
#include "ui/form_ids.h"
#include "ui/window_commands_win32.h"

namespace zorv::app {

namespace ids = ui::ids;

void ReadUpdateSettings() {
    ReadIniValue(UpIniPath(RunDirectoryWide()), kUpIniSection, kUpIniKey, kBuiltInProductUrl);
}

std::string OwnCommandLine() { return GbkFromWide(GetCommandLineW()); }

void ReadCommandLineOptions() {
    std::wstring log = install::LogFileFromCommandLine(GetCommandLineW());
    if (!log.empty() && OpenSetupLog(log)) Log("started: " + OwnCommandLine());
    install::Settings().ProductUrl = ChooseProductUrl(install::ProductUrlFromCommandLine(OwnCommandLine()), kBuiltInProductUrl);
    char retries[64] = {};
    if (GetEnvironmentVariableA("ZORV_TEST_RETRIES", retries, sizeof(retries)) > 0) {
        int count = 0, waitMs = 0;
        if (sscanf(retries, "%d,%d", &count, &waitMs) == 2 && count >= 0 && waitMs >= 0)
            install::SetDownloadRetries(count, waitMs);
    }
}

bool SelectModeByFileName(std::string_view exeFileName) {
    if (!IsUninstallFileName(exeFileName)) return false;
    // Hiding these uncovers UninstallButton, which lies under InstallButton.
    for (uint32_t unit : {ids::InstallButton, ids::InstallPathLabel, ids::OptionsLink, ids::OptionsIcon}) {
        ui::WriteProperty(ids::MainWindow, unit, ids::prop::Visible, 0);
    }
    return true;
}

bool IsRunWithoutWindow() {
    if (IsUninstallFileName(GetExeFileName())) return install::IsQuietUninstall(OwnCommandLine());
    return install::SilentInstallOptionsOf(GetCommandLineW()).silent;
}

int OnMainWindowCreated(const ui::EventArgs&) {
    const bool windowless = IsRunWithoutWindow();
    // The log first, so that it tells of every check below.
    ReadCommandLineOptions();
    // Nothing below may run without administrator rights.
    int relaunched = 0;
    if (!EnsureElevated(windowless, &relaunched)) ExitProgram(windowless ? relaunched : 0);
    if (EnsureSingleInstance(0, !windowless, kInstanceName)) {
        Log("another installer runs");
        ExitProgram(kExitAnotherInstallerRuns);
    }
    if (!windowless) AttachMainShadow();
    ReadUpdateSettings();
    // Each loads hidden; a failure shows up later as the fatal error of a
    // control access.
    ui::LoadWindow(ids::OptionsPanel, ids::MainWindow);
    ui::LoadWindow(ids::ProgressPanel, ids::MainWindow);
    ui::LoadWindow(ids::StatusBar, ids::MainWindow);
    // The main window has taken its place already: the others join it now
    // and follow it on every move.
    install::DockSecondaryWindows();
    bool uninstallMode = SelectModeByFileName(GetExeFileName());
    if (windowless && uninstallMode) uninstall::QuietUninstall();
    if (windowless) install::BeginSilentInstall(install::SilentInstallOptionsOf(GetCommandLineW()));
    return 0;
}

}  // namespace zorv::app
