// The program's shadows: the main window's, attached once at start-up, and
// the two panels', attached while they are shown.
#include <windows.h>

#include "app/app_win32.h"
#include "ui/form_ids.h"
#include "ui/shadow_class_win32.h"
#include "ui/shadow_win32.h"
#include "ui/window_commands_win32.h"

namespace zorv::app {

namespace ids = ui::ids;

namespace {

// Fills the record with the look and attaches it to the window; the result
// is not needed by any caller (a window without its shadow still works).
void AttachWindowShadow(uint32_t windowId, ui::ShadowParams& params, const ui::ShadowParams& look) {
    ui::SetShadowLook(params, look);
    ui::AttachShadow(ui::GetWindowHandle(windowId), &params);
}

}  // namespace

void AttachMainShadow() {
    ui::RegisterShadowClass(ui::ProgramShadows().ShadowState);
    AttachWindowShadow(ids::MainWindow, ui::ProgramShadows().MainShadowParams, ui::kMainWindowShadow);
}

int OnOptionsPanelShown(const ui::EventArgs&) {
    AttachWindowShadow(ids::OptionsPanel, ui::ProgramShadows().OptionsShadowParams, ui::kOptionsPanelShadow);
    return 0;
}

int OnOptionsPanelHidden(const ui::EventArgs&) {
    ui::DetachShadow(ui::GetWindowHandle(ids::OptionsPanel));
    return 0;
}

int OnProgressPanelShown(const ui::EventArgs&) {
    AttachWindowShadow(ids::ProgressPanel, ui::ProgramShadows().ProgressShadowParams, ui::kProgressPanelShadow);
    return 0;
}

int OnProgressPanelHidden(const ui::EventArgs&) {
    ui::DetachShadow(ui::GetWindowHandle(ids::ProgressPanel));
    return 0;
}

}  // namespace zorv::app
