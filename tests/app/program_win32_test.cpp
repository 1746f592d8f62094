// The real program, started as a child process and watched from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr wchar_t kTitle[] = L"Zorvane安装卸载程序";
constexpr DWORD kPollMs = 100;
constexpr int kPolls = 300;  // the program gets up to 30 s to show its window

std::wstring SetupExePath() {
    // The build passes the host path; Wine sees the host root as drive Z:.
    std::wstring path = L"Z:";
    for (char c : std::string(ZORV_SETUP_EXE)) path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return path;
}

// A fresh folder with a copy of the program under the given name.
std::wstring CopyProgramAs(const std::wstring& folderName, const std::wstring& fileName) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + folderName;
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring target = folder + L"\\" + fileName;
    EXPECT_TRUE(CopyFileW(SetupExePath().c_str(), target.c_str(), FALSE)) << "copy failed";
    return target;
}

class Child {
public:
    explicit Child(const std::wstring& exe) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring commandLine = L"\"" + exe + L"\"";
        started_ = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &info_);
    }
    ~Child() {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return started_; }
    DWORD id() const { return info_.dwProcessId; }
    // The exit code once the process ended within the wait, else STILL_ACTIVE.
    DWORD WaitForExit(DWORD ms) const {
        WaitForSingleObject(info_.hProcess, ms);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

    // The child's top-level window with the program's title, once it shows.
    HWND WaitForMainWindow() const {
        for (int i = 0; i < kPolls; ++i) {
            HWND found = nullptr;
            while ((found = FindWindowExW(nullptr, found, nullptr, kTitle)) != nullptr) {
                DWORD owner = 0;
                GetWindowThreadProcessId(found, &owner);
                if (owner == info_.dwProcessId && IsWindowVisible(found)) return found;
            }
            if (WaitForSingleObject(info_.hProcess, kPollMs) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION info_{};
};

bool HaveDisplay() { return GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0; }

struct VisibleAt {
    RECT wanted;  // client coordinates of the main window
    HWND main;
    int count = 0;
};

BOOL CALLBACK CountVisibleAt(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<VisibleAt*>(param);
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, search->main, reinterpret_cast<POINT*>(&rect), 2);
    if (IsWindowVisible(child) && EqualRect(&rect, &search->wanted)) ++search->count;
    return TRUE;
}

// Visible controls of the main window that occupy exactly the rectangle.
int VisibleControlsAt(HWND main, int left, int top, int width, int height) {
    VisibleAt search{{left, top, left + width, top + height}, main};
    EnumChildWindows(main, CountVisibleAt, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "needs a display (run under scripts/with-xvfb)";
    }
};

TEST_F(ProgramRun, ShowsItsWindowAndEndsWithZeroOnClose) {
    Child program(CopyProgramAs(L"zorv-run-close", L"zorv-setup.exe"));
    ASSERT_TRUE(program.started());
    HWND main = program.WaitForMainWindow();
    ASSERT_NE(main, nullptr) << "no window titled with the program's title appeared";
    RECT rect;
    GetWindowRect(main, &rect);
    EXPECT_EQ(rect.right - rect.left, 1365);
    EXPECT_EQ(rect.bottom - rect.top, 902);
    // Install mode: InstallButton lies over UninstallButton, both shown; the
    // folder caption and the options link are there.
    EXPECT_EQ(VisibleControlsAt(main, 626, 574, 132, 52), 2);
    EXPECT_EQ(VisibleControlsAt(main, 93, 688, 1179, 32), 1);
    EXPECT_EQ(VisibleControlsAt(main, 64, 848, 82, 32), 1);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(20000), 0u);
}

TEST_F(ProgramRun, ClickOnTheCloseButtonEndsWithZero) {
    Child program(CopyProgramAs(L"zorv-run-button", L"zorv-setup.exe"));
    ASSERT_TRUE(program.started());
    HWND main = program.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    // CloseButton at (1310, 24), 32 x 32: press and release in its middle.
    POINT inMain{1326, 40};
    HWND button = ChildWindowFromPointEx(main, inMain, CWP_SKIPINVISIBLE);
    while (button && button != main) {
        POINT local = inMain;
        MapWindowPoints(main, button, &local, 1);
        HWND deeper = ChildWindowFromPointEx(button, local, CWP_SKIPINVISIBLE);
        if (!deeper || deeper == button) break;
        button = deeper;
    }
    ASSERT_NE(button, nullptr);
    ASSERT_NE(button, main);
    POINT local = inMain;
    MapWindowPoints(main, button, &local, 1);
    LPARAM at = MAKELPARAM(local.x, local.y);
    PostMessageW(button, WM_MOUSEMOVE, 0, at);
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(button, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(program.WaitForExit(20000), 0u);
}

TEST_F(ProgramRun, UninstallNameHidesTheInstallControls) {
    Child program(CopyProgramAs(L"zorv-run-uninstall", L"卸载.exe"));
    ASSERT_TRUE(program.started());
    HWND main = program.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(VisibleControlsAt(main, 626, 574, 132, 52), 1);  // UninstallButton alone
    EXPECT_EQ(VisibleControlsAt(main, 93, 688, 1179, 32), 0);  // InstallPathLabel
    EXPECT_EQ(VisibleControlsAt(main, 64, 848, 82, 32), 0);    // OptionsLink
    EXPECT_EQ(VisibleControlsAt(main, 32, 848, 32, 32), 0);    // OptionsIcon
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(20000), 0u);
}

TEST_F(ProgramRun, SecondInstanceEndsWithZeroWithoutAWindow) {
    std::wstring exe = CopyProgramAs(L"zorv-run-twice", L"zorv-setup.exe");
    Child first(exe);
    ASSERT_TRUE(first.started());
    HWND main = first.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    Child second(exe);
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.WaitForExit(20000), 0u);
    // The first one still runs, with its window.
    EXPECT_EQ(first.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(IsWindow(main));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(20000), 0u);
}

}  // namespace
