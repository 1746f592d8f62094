#include <windows.h>

#include "app/app_win32.h"
#include "install/install_state.h"
#include "runtime/exit.h"
#include "runtime/runtime.h"
#include "ui/dpi_win32.h"
#include "ui/form_ids.h"
#include "ui/form_template_resource_win32.h"
#include "ui/window_commands_win32.h"

namespace zorv::app {

int ProgramStart() {
    // Before any window exists: windows keep the awareness they were made
    // under.  The form then sizes itself for the monitor's DPI.
    ui::DeclareDpiAwareness();
    InitRuntime();
    ui::SetFormTemplate(&ui::LoadFormTemplateFromResource());
    InstallHandlerTable();
    InitGlobals();
    AddExitRoutine(ReleaseGlobals);
    if (IsRunWithoutWindow()) ui::KeepWindowsHidden();
    ui::LoadStartWindow(ui::ids::MainWindow);
    ui::RunMessageLoop();
    return 0;
}

int OnMainWindowClosing(const ui::EventArgs&) { QuitProgram(); }

int OnCloseClicked(const ui::EventArgs&) { QuitProgram(); }

}  // namespace zorv::app
