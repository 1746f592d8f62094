// The program's own windows from its embedded template, with its handler
// table: the main window gets its shadow at start-up, the panels while they
// are shown.  Needs a display (scripts/with-xvfb); skipped without one.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/app_win32.h"
#include "install/install_state.h"
#include "ui/shadow_params.h"
#include "ui/form_ids.h"
#include "ui/form_template_resource_win32.h"
#include "ui/shadow_win32.h"
#include "ui/window_commands_win32.h"
#include "ui/window_win32.h"

namespace zorv::app {
namespace {

namespace ids = ui::ids;

RECT RectOf(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

HWND ShadowOf(const ui::ShadowParams& params) { return static_cast<HWND>(params.shadowWindow); }

// The shadow lies c − 1 pixels beyond the window on the left and top (offset
// 1, 1) and is 2c larger.
void ExpectShadowAround(HWND window, const ui::ShadowParams& params, int extent) {
    HWND shadow = ShadowOf(params);
    ASSERT_TRUE(IsWindow(shadow));
    EXPECT_EQ(GetWindow(shadow, GW_OWNER), window);
    EXPECT_TRUE(IsWindowVisible(shadow));
    RECT target = RectOf(window), rect = RectOf(shadow);
    EXPECT_EQ(rect.left, target.left - (extent - 1));
    EXPECT_EQ(rect.top, target.top - (extent - 1));
    EXPECT_EQ(rect.right - rect.left, target.right - target.left + 2 * extent);
    EXPECT_EQ(rect.bottom - rect.top, target.bottom - target.top + 2 * extent);
}

class ProgramShadows : public ::testing::Test {
protected:
    // The start-up runs once per process: its single-instance check would
    // end the process at a second start.
    static void SetUpTestSuite() {
        if (!HaveDisplay()) return;
        ui::SetFormTemplate(&ui::LoadFormTemplateFromResource());
        InstallHandlerTable();
        InitGlobals();
        // The main window's created handler runs the start-up: the shadow
        // class, the main shadow and the three other windows.
        ui::LoadWindow(ids::MainWindow);
    }
    static void TearDownTestSuite() {
        ui::DestroyAllWindows();
        ReleaseGlobals();
    }
    static bool HaveDisplay() { return GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0; }

    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "needs a display (run under scripts/with-xvfb)";
        ASSERT_TRUE(ui::IsWindowLoaded(ids::MainWindow));
        main_ = ui::GetWindowHandle(ids::MainWindow);
    }
    void TearDown() override {
        if (!HaveDisplay()) return;
        ui::WriteProperty(ids::OptionsPanel, 0, ids::prop::Visible, 0);
        ui::WriteProperty(ids::ProgressPanel, 0, ids::prop::Visible, 0);
    }
    HWND main_ = nullptr;
};

TEST_F(ProgramShadows, MainWindowShadowLies29PixelsLeftOfAndAboveIt) {
    const ui::ShadowParams& params = ui::ProgramShadows().MainShadowParams;
    EXPECT_EQ(params.color, 0x32000000u);
    EXPECT_EQ(params.size, 30.0f);
    EXPECT_EQ(params.offsetX, 1);
    EXPECT_EQ(params.offsetY, 1);
    EXPECT_EQ(params.accelerated, 0u);
    EXPECT_NE(ui::ProgramShadows().ShadowState.classAtom, 0u);
    ExpectShadowAround(main_, params, 30);
    RECT rect = RectOf(ShadowOf(params));
    EXPECT_EQ(rect.right - rect.left, 1425);
    EXPECT_EQ(rect.bottom - rect.top, 962);
    // Moving the main window takes the shadow along.
    SetWindowPos(main_, nullptr, 80, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(RectOf(ShadowOf(params)).left, 80 - 29);
    EXPECT_EQ(RectOf(ShadowOf(params)).top, 60 - 29);
}

TEST_F(ProgramShadows, OptionsPanelHasItsShadowOnlyWhileShown) {
    ui::ShadowParams& params = ui::ProgramShadows().OptionsShadowParams;
    HWND panel = ui::GetWindowHandle(ids::OptionsPanel);
    EXPECT_EQ(ShadowOf(params), nullptr);  // loaded hidden: no shadow yet
    ui::WriteProperty(ids::OptionsPanel, 0, ids::prop::Visible, 1);
    EXPECT_EQ(params.color, 0x1E000000u);
    EXPECT_EQ(params.size, 20.0f);
    ExpectShadowAround(panel, params, 20);
    HWND first = ShadowOf(params);

    ui::WriteProperty(ids::OptionsPanel, 0, ids::prop::Visible, 0);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(ShadowOf(params), nullptr);
    EXPECT_EQ(GetPropW(panel, ui::kShadowPropWndProc), nullptr);
    // Every show builds a fresh shadow.
    ui::WriteProperty(ids::OptionsPanel, 0, ids::prop::Visible, 1);
    ExpectShadowAround(panel, params, 20);
}

TEST_F(ProgramShadows, ProgressPanelGlowsWhileShownAndTakesItsFinalColour) {
    ui::ShadowParams& params = ui::ProgramShadows().ProgressShadowParams;
    HWND panel = ui::GetWindowHandle(ids::ProgressPanel);
    ui::WriteProperty(ids::ProgressPanel, 0, ids::prop::Visible, 1);
    EXPECT_EQ(params.color, 0xFFEFF0FFu);
    EXPECT_EQ(params.size, 50.0f);
    ExpectShadowAround(panel, params, 50);

    RecolourProgressShadow();
    EXPECT_EQ(params.color, 0xFFFEF1F8u);
    ExpectShadowAround(panel, params, 50);
    int owned = 0;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
        if (GetWindow(w, GW_OWNER) == panel) ++owned;
    EXPECT_EQ(owned, 1);

    ui::WriteProperty(ids::ProgressPanel, 0, ids::prop::Visible, 0);
    EXPECT_EQ(ShadowOf(params), nullptr);
}

}  // namespace
}  // namespace zorv::app
