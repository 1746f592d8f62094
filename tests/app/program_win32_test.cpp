// The real program, started as a child process and watched from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "support/program_child_win32.h"

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

// The program as a child process, its main window awaited.
class Child : public zorv::testing::ChildProgram {
public:
    using ChildProgram::ChildProgram;
    HWND WaitForMainWindow() const { return WaitForWindow(kTitle, kPolls * kPollMs); }
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

struct OwnedWindows {
    HWND owner;
    int hidden = 0;
};

BOOL CALLBACK CountHiddenOwned(HWND window, LPARAM param) {
    auto* owned = reinterpret_cast<OwnedWindows*>(param);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    bool shadow = std::wstring(className) == L"q4417Shadow";
    if (GetWindow(window, GW_OWNER) == owned->owner && !shadow && !IsWindowVisible(window)) ++owned->hidden;
    return TRUE;
}

// Top-level windows owned by the main window that are not shown (its shadow
// window does not count).
int HiddenOwnedWindows(HWND main) {
    OwnedWindows owned{main};
    EnumWindows(CountHiddenOwned, reinterpret_cast<LPARAM>(&owned));
    return owned.hidden;
}

COLORREF ScreenPixelAt(HWND main, int clientX, int clientY) {
    POINT point{clientX, clientY};
    ClientToScreen(main, &point);
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

// The screen colour once it reached the wanted one, or the last one seen
// within a few seconds (the window paints after it shows).
COLORREF SettledPixel(HWND main, int clientX, int clientY, COLORREF wanted) {
    COLORREF seen = CLR_INVALID;
    for (int i = 0; i < 50 && seen != wanted; ++i) {
        seen = ScreenPixelAt(main, clientX, clientY);
        if (seen != wanted) Sleep(kPollMs);
    }
    return seen;
}

// A plain visible window of the test itself, made the foreground window.
class ForegroundWindow {
public:
    ForegroundWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"ZorvTestForeground";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, windowClass.lpszClassName, L"foreground", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                  10, 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
        SetForegroundWindow(window_);
        Pump();
    }
    ~ForegroundWindow() { DestroyWindow(window_); }
    ForegroundWindow(const ForegroundWindow&) = delete;
    ForegroundWindow& operator=(const ForegroundWindow&) = delete;
    HWND get() const { return window_; }
    static void Pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }

private:
    HWND window_ = nullptr;
};

struct ProcessWindowSearch {
    DWORD process;
    bool shown = false;
};

BOOL CALLBACK FindShownWindowOf(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ProcessWindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window)) search->shown = true;
    return TRUE;
}

bool ProcessShowsAWindow(DWORD process) {
    ProcessWindowSearch search{process};
    EnumWindows(FindShownWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.shown;
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
    // OptionsPanel, ProgressPanel and StatusBar are loaded, owned and hidden.
    EXPECT_EQ(HiddenOwnedWindows(main), 3);
    // The light header band across the top and the white page below it.
    EXPECT_EQ(SettledPixel(main, 683, 30, RGB(239, 240, 255)), RGB(239, 240, 255));
    EXPECT_EQ(SettledPixel(main, 150, 400, RGB(255, 255, 255)), RGB(255, 255, 255));
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
    ForegroundWindow other;
    HWND foregroundBefore = GetForegroundWindow();
    Child second(exe);
    ASSERT_TRUE(second.started());
    // The second start never shows a window of its own on its way out.
    bool secondShowedAWindow = false;
    for (int i = 0; i < 400 && second.WaitForExit(0) == STILL_ACTIVE; ++i) {
        secondShowedAWindow = secondShowedAWindow || ProcessShowsAWindow(second.id());
        Sleep(50);
    }
    EXPECT_EQ(second.WaitForExit(20000), 0u);
    EXPECT_FALSE(secondShowedAWindow);
    // Nor does it bring the first one to the front.
    ForegroundWindow::Pump();
    EXPECT_NE(GetForegroundWindow(), main);
    EXPECT_EQ(GetForegroundWindow(), foregroundBefore);
    // The first one still runs, with its window.
    EXPECT_EQ(first.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(IsWindow(main));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(20000), 0u);
}

// Two starts at the same moment: one shows its window, the other ends with
// 0 without one, whichever of them wins.
TEST_F(ProgramRun, OfTwoSimultaneousStartsExactlyOneRuns) {
    std::wstring exe = CopyProgramAs(L"zorv-run-together", L"zorv-setup.exe");
    for (int round = 0; round < 3; ++round) {
        Child first(exe), second(exe);
        ASSERT_TRUE(first.started() && second.started());
        for (int i = 0; i < 400 && first.Running() && second.Running(); ++i) Sleep(50);
        bool firstEnded = !first.Running();
        Child& survivor = firstEnded ? second : first;
        Child& loser = firstEnded ? first : second;
        EXPECT_EQ(loser.WaitForExit(20000), 0u) << "round " << round;
        EXPECT_FALSE(ProcessShowsAWindow(loser.id()));
        HWND main = survivor.WaitForMainWindow();
        ASSERT_NE(main, nullptr) << "round " << round;
        EXPECT_TRUE(survivor.Running());
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(survivor.WaitForExit(20000), 0u);
    }
}

// The exe says what it is: its version information and its manifest (the
// rights it asks for, the systems and the DPI awareness it declares).
TEST(ProgramFile, CarriesItsVersionInformationAndManifest) {
    zorv::FileVersionInfo info;
    ASSERT_TRUE(zorv::ReadFileVersionInfo(zorv::GbkFromWide(SetupExePath()), info));
    EXPECT_EQ(info.productName, "Zorvane");
    EXPECT_EQ(info.fileDescription, "Zorvane Setup");
    EXPECT_EQ(info.companyName, "Zorvane");
    EXPECT_EQ(info.fileVersion, ZORV_VERSION_QUAD);
    HMODULE exe = LoadLibraryExW(SetupExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr);
    HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(exe, found))), SizeofResource(exe, found));
    FreeLibrary(exe);
    for (const char* part : {"level=\"asInvoker\"", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "PerMonitorV2, PerMonitor", "true/pm",
                             "Microsoft.Windows.Common-Controls"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

// A mapping of the instance's name that anybody could have made (it has
// no administrator for its owner) is no running installer: it does not keep
// the installer from coming up.
TEST_F(ProgramRun, AMappingOfItsNameThatNoAdministratorMadeDoesNotKeepItFromRunning) {
    HANDLE squatter = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, L"f8dd58ce17e57683");
    ASSERT_NE(squatter, nullptr);
    ASSERT_NE(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    Child program(CopyProgramAs(L"zorv-run-squatted", L"zorv-setup.exe"));
    ASSERT_TRUE(program.started());
    HWND main = program.WaitForMainWindow();
    EXPECT_NE(main, nullptr) << "the installer yielded to a mapping it should not trust";
    if (main) PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(20000), 0u);
    CloseHandle(squatter);
}

// Started without administrator rights from a folder whose name code page
// 936 cannot hold, the relaunch names the program whole and passes its
// arguments on: the relaunched program comes up.
TEST_F(ProgramRun, TheRelaunchForRightsFindsAProgramInAFolderOutsideCodePage936) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"\u0141ukasz \uB2E4\uC6B4\uB85C\uB4DC \u4E0B\u8F7D";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring exe = folder + L"\\zorv-setup.exe", report = folder + L"\\came-up.txt";
    DeleteFileW((folder + L"\\relaunched.mark").c_str());
    DeleteFileW(report.c_str());
    std::wstring child = L"Z:";
    for (char c : std::string(ZORV_RELAUNCH_CHILD)) child.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    ASSERT_TRUE(CopyFileW(child.c_str(), exe.c_str(), FALSE));
    // Without a window the first start waits for the relaunched one and
    // ends with its exit code.
    Child first(exe, L"/URL=http://127.0.0.1:9/zorv.exe /S", folder);
    ASSERT_TRUE(first.started());
    EXPECT_EQ(first.WaitForExit(20000), 42u);
    bool cameUp = false;
    for (int i = 0; i < kPolls && !cameUp; ++i) {
        cameUp = GetFileAttributesW(report.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!cameUp) Sleep(kPollMs);
    }
    ASSERT_TRUE(cameUp) << "the relaunched program never came up";
    Sleep(200);
    HANDLE file = CreateFileW(report.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    wchar_t text[1024] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof text - sizeof(wchar_t), &read, nullptr);
    CloseHandle(file);
    std::wstring lines(text);
    EXPECT_EQ(lines.substr(0, lines.find(L'\n')), exe);
    EXPECT_NE(lines.find(L"/URL=http://127.0.0.1:9/zorv.exe"), std::wstring::npos);
}

}  // namespace
