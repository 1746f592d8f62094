// Docking and dragging of the windows, and the progress panel's
// placeholder animation.
#include <windows.h>

#include "install/install_rules.h"
#include "install/install_win32.h"
#include "ui/form_ids.h"
#include "ui/shadow_win32.h"
#include "ui/waits_win32.h"
#include "ui/window_commands_win32.h"

namespace zorv::install {

namespace ids = ui::ids;

namespace {

constexpr int kEaseSteps = 22;
constexpr uint32_t kEaseStepMs = 10;
constexpr uint32_t kPauseMs = 500;

int32_t Read(uint32_t windowId, uint32_t unitId, int property) {
    return int32_t(ui::ReadProperty(windowId, unitId, property));
}

// The units that grow, in order, with the property and the target; zero
// targets stand for the panel's own width or height.
struct GrowStep {
    uint32_t unit;
    int property;
    int32_t target;
};
constexpr GrowStep kGrowSteps[] = {
    {ids::FrameTop, ids::prop::Width, 0},         {ids::ProgressBackground, ids::prop::Height, 0},
    {ids::HeaderSeparator, ids::prop::Width, 0},  {ids::FrameRight, ids::prop::Height, 0},
    {ids::FrameBottom, ids::prop::Width, 0},      {ids::HeaderBlock1, ids::prop::Width, 80},
    {ids::HeaderBlock2, ids::prop::Width, 80},    {ids::HeaderBlock3, ids::prop::Width, 80},
    {ids::HeaderBlock4, ids::prop::Width, 210},   {ids::HeaderBlock5, ids::prop::Width, 80},
    {ids::HeaderBlock6, ids::prop::Width, 80},    {ids::BodyBlock1, ids::prop::Width, 168},
    {ids::BodyBlock2, ids::prop::Width, 216},     {ids::BodyBlock3, ids::prop::Width, 216},
    {ids::BodyBlock4, ids::prop::Width, 216},     {ids::BodyBlock5, ids::prop::Width, 216},
    {ids::BodyBlock6, ids::prop::Width, 216},     {ids::FooterBlock1, ids::prop::Width, 80},
    {ids::FooterBlock2, ids::prop::Width, 80},    {ids::FooterBlock3, ids::prop::Width, 80},
    {ids::FooterBlock4, ids::prop::Width, 80},
};

int32_t TargetOf(const GrowStep& step) {
    if (step.target != 0) return step.target;
    return Read(ids::ProgressPanel, 0, step.property);
}

}  // namespace

void DockSecondaryWindows() {
    namespace p = ids::prop;
    int32_t left = Read(ids::MainWindow, 0, p::Left), top = Read(ids::MainWindow, 0, p::Top);
    int32_t width = Read(ids::MainWindow, 0, p::Width), height = Read(ids::MainWindow, 0, p::Height);
    if (ui::IsWindowLoaded(ids::OptionsPanel)) {
        ui::WriteProperty(ids::OptionsPanel, 0, p::Left, left);
        ui::WriteProperty(ids::OptionsPanel, 0, p::Top, top + height - Read(ids::OptionsPanel, 0, p::Height));
    }
    if (ui::IsWindowLoaded(ids::StatusBar)) {
        ui::WriteProperty(ids::StatusBar, 0, p::Top, top);
        ui::WriteProperty(ids::StatusBar, 0, p::Left, left);
    }
    if (ui::IsWindowLoaded(ids::ProgressPanel)) {
        Point at = CentredPanelPosition(left, top, width, height, Read(ids::ProgressPanel, 0, p::Width),
                                        Read(ids::ProgressPanel, 0, p::Height), 0);
        ui::WriteProperty(ids::ProgressPanel, 0, p::Left, at.x);
        ui::WriteProperty(ids::ProgressPanel, 0, p::Top, at.y);
    }
}

void DragMainWindow() {
    // The system's own move loop; every move docks the other windows.
    ReleaseCapture();
    ui::SendWindowMessage(ids::MainWindow, 0, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

// The waits of a grow step are measured from its start: each read and write
// is a round trip to the interface thread, and on a busy machine those
// would otherwise add seconds to the sixteen of the whole animation.
void WaitUntilTick(uint64_t due) {
    uint64_t now = GetTickCount64();
    ui::PumpingWait(due > now ? uint32_t(due - now) : 0);
}

void AnimateProperty(uint32_t windowId, uint32_t unitId, int property, int32_t target) {
    uint64_t due = GetTickCount64() + kPauseMs;
    WaitUntilTick(due);
    for (int i = 0; i < kEaseSteps; ++i) {
        int32_t current = Read(windowId, unitId, property);
        ui::WriteProperty(windowId, unitId, property, EaseStep(current, target));
        due += kEaseStepMs;
        WaitUntilTick(due);
    }
    ui::WriteProperty(windowId, unitId, property, target);
}

void RunPlaceholderAnimation() {
    for (const GrowStep& step : kGrowSteps) ui::WriteProperty(ids::ProgressPanel, step.unit, step.property, 0);
    for (const GrowStep& step : kGrowSteps) AnimateProperty(ids::ProgressPanel, step.unit, step.property, TargetOf(step));
    ui::PumpingWait(kPauseMs);
    ui::PostWindowEvent(ids::ProgressPanel, ids::InstallNotifier, 1, 1, false);
}

void RecolourProgressShadow() {
    HWND panel = ui::GetWindowHandle(ids::ProgressPanel);
    ui::DetachShadow(panel);
    ui::ShadowParams& params = ui::ProgramShadows().ProgressShadowParams;
    ui::SetShadowLook(params, ui::kProgressPanelFinishedShadow);
    ui::AttachShadow(panel, &params);
}

}  // namespace zorv::install
