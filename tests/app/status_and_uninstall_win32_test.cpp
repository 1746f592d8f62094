// The program's windows in this process, started as the program starts them:
// status messages while the main window is hidden, and the uninstall
// button's refusal without administrator rights.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/app_win32.h"
#include "ui/status_strip_win32.h"
#include "ui/waits_win32.h"
#include "ui/form_ids.h"
#include "ui/form_template_resource_win32.h"
#include "ui/window_commands_win32.h"
#include "uninstall/uninstall_mode_win32.h"

namespace zorv::app {
namespace {

namespace ids = ui::ids;

bool HaveDisplay() { return GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0; }

class ProgramWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!HaveDisplay()) return;
        ui::SetFormTemplate(&ui::LoadFormTemplateFromResource());
        InstallHandlerTable();
        InitGlobals();
        ui::LoadStartWindow(ids::MainWindow);
    }
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "needs a display (run under scripts/with-xvfb)";
        ui::WriteProperty(ids::StatusBar, 0, ids::prop::Visible, 0);
        ui::WriteProperty(ids::MainWindow, 0, ids::prop::Visible, 1);
    }
    static bool StatusShown() { return ui::ReadProperty(ids::StatusBar, 0, ids::prop::Visible) != 0; }
    static std::string StatusText() { return ui::ReadTextProperty(ids::StatusBar, ids::StatusText, ids::prop::Caption); }
};

TEST_F(ProgramWindows, AMessageWhileTheMainWindowIsHiddenIsDropped) {
    ui::WriteProperty(ids::MainWindow, 0, ids::prop::Visible, 0);
    ui::ShowStatus("准备下载文件中", ui::kStatusNotice, 100);
    ui::PumpingWait(300);
    EXPECT_FALSE(StatusShown());
    ui::WriteProperty(ids::MainWindow, 0, ids::prop::Visible, 1);
    ui::ShowStatus("准备下载文件中", ui::kStatusNotice, 100);
    EXPECT_TRUE(StatusShown());
    EXPECT_EQ(StatusText(), "准备下载文件中");
    // A second message replaces the first and counts from its own time.
    ui::ShowStatus("正在安装文件", ui::kStatusWorking, 0);
    EXPECT_EQ(StatusText(), "正在安装文件");
    EXPECT_LE(ui::ReadProperty(ids::StatusBar, ids::StatusSpinner, ids::prop::Width), 300);
    // Zero seconds means three: the strip is gone after about 3 s plus the fade.
    EXPECT_TRUE(StatusShown());
    for (int i = 0; i < 100 && StatusShown(); ++i) ui::PumpingWait(100);
    EXPECT_FALSE(StatusShown());
}

TEST_F(ProgramWindows, UninstallWithoutAdministratorRightsOnlyAsksForThem) {
    uninstall::AdministratorCheck previous = uninstall::SetAdministratorCheck([] { return false; });
    uninstall::UninstallClick();
    uninstall::SetAdministratorCheck(previous);
    EXPECT_TRUE(StatusShown());
    EXPECT_EQ(StatusText(), "请以管理员身份运行此程序");
    EXPECT_EQ(ui::ReadProperty(ids::MainWindow, ids::DragHandleHidden, ids::prop::Visible), 0);
}

}  // namespace
}  // namespace zorv::app
