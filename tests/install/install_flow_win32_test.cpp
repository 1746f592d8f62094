// The whole program installing and uninstalling under Wine, driven from
// outside: the real exe with /URL= naming a scripted loopback server, real
// mouse clicks, and the files, links and registry values of the prefix.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "runtime/codepage_win32.h"
#include "support/http_test_server.h"
#include "support/process_directory_win32.h"
#include "support/program_child_win32.h"
#include "support/screen_win32.h"
#include "support/x_keyboard_win32.h"
#include "uninstall/uninstall_texts.h"

namespace zorv::testing {
namespace {

constexpr wchar_t kFolder[] = L"C:\\Program Files (x86)\\zorv";
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zorv";
constexpr int kButtonX = 626 + 66, kButtonY = 574 + 26;  // InstallButton / UninstallButton centre
constexpr DWORD kInstallMs = 60000;                       // animation (16 s) and a margin
constexpr wchar_t kFolderParent[] = L"C:\\Program Files (x86)\\";

std::string ReadWhole(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Equal bytes, reported by size and first difference (never the bytes).
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return ::testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                         << ", first difference at " << at;
}

std::wstring Special(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    return path;
}

std::wstring DesktopLink() { return Special(CSIDL_DESKTOPDIRECTORY) + L"\\Zorvane.lnk"; }
std::wstring StartMenuLink() { return Special(CSIDL_STARTMENU) + L"\\Zorvane.lnk"; }
std::wstring InFolder(const wchar_t* name) { return std::wstring(kFolder) + L"\\" + name; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring LinkTarget(const std::wstring& link) {
    CoInitialize(nullptr);
    std::wstring target;
    IShellLinkW* shellLink = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shellLink)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t path[MAX_PATH] = {};
            if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
                SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0)))
                target = path;
            file->Release();
        }
        shellLink->Release();
    }
    CoUninitialize();
    return target;
}

// A value of the product's uninstall key: its type and its data (texts
// without the terminator).
struct RegistryValue {
    DWORD type = 0;
    std::wstring text;
    DWORD number = 0;
    DWORD bytes = 0;
};
RegistryValue ReadUninstallValue(const wchar_t* name) {
    RegistryValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    BYTE data[2048] = {};
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key, name, nullptr, &value.type, data, &size) == ERROR_SUCCESS) {
        value.bytes = size;
        if (value.type == REG_SZ) value.text = reinterpret_cast<const wchar_t*>(data);
        if (value.type == REG_DWORD) value.number = *reinterpret_cast<const DWORD*>(data);
    }
    RegCloseKey(key);
    return value;
}
bool UninstallKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

BOOL CALLBACK CloseProductWindow(HWND window, LPARAM) {
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (std::wstring(title) == L"Zorvane") PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
            else DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// Nothing of an earlier run: no product running, no folder, links or key.
void ClearInstallation() {
    EnumWindows(CloseProductWindow, 0);
    Sleep(300);
    RemoveTree(kFolder);
    DeleteFileW(DesktopLink().c_str());
    DeleteFileW(StartMenuLink().c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
}

std::string ProductBytes() { return ReadWhole(WinePathOf(ZORV_PRODUCT_EXE)); }
std::string InstallerBytes() { return ReadWhole(WinePathOf(ZORV_SETUP_EXE)); }

class InstallFlow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "needs a display (run under scripts/with-xvfb)";
        ClearInstallation();
        product_ = ProductBytes();
        ASSERT_FALSE(product_.empty());
    }
    void TearDown() override { ClearInstallation(); }

    std::wstring UrlOption() const {
        std::wstring url;
        for (char c : server_.Url("/zorv.exe")) url.push_back(wchar_t(c));
        return L"/URL=" + url;
    }
    // Starts the installer, waits for its window and clicks the install button.
    void StartAndClick(ChildProgram& program) {
        ASSERT_TRUE(program.started());
        HWND main = program.WaitForWindow(kMainWindowTitle, 30000);
        ASSERT_NE(main, nullptr);
        Sleep(500);
        ClickAt(main, kButtonX, kButtonY);
    }
    // Runs one whole install that must end with 0.
    void InstallOnce() {
        ChildProgram program(WinePathOf(ZORV_SETUP_EXE), UrlOption());
        StartAndClick(program);
        ASSERT_EQ(program.WaitForExit(kInstallMs), 0u);
    }

    // After a failed download: nothing that looks installed, the installer
    // still open; then it is closed and must end with 0.
    void ExpectNothingInstalledAndClose(ChildProgram& program) {
        EXPECT_FALSE(Exists(InFolder(L"zorv.exe")));
        EXPECT_FALSE(Exists(InFolder(L"卸载.exe")));
        EXPECT_FALSE(Exists(InFolder(L"Uninstall.bat")));
        EXPECT_FALSE(Exists(DesktopLink()));
        EXPECT_FALSE(Exists(StartMenuLink()));
        EXPECT_FALSE(UninstallKeyExists());
        EXPECT_FALSE(Exists(InFolder(L"zorv-started.txt")));
        HWND main = program.WaitForWindow(kMainWindowTitle, 1000);
        ASSERT_NE(main, nullptr);
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(5000), 0u);
    }

    HttpTestServer server_;
    std::string product_;
};

TEST_F(InstallFlow, FreshInstallWritesRegistersLinksAndStartsTheProduct) {
    server_.Route("/zorv.exe", Body(product_));
    InstallOnce();

    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"zorv.exe")), product_));
    std::string_view script = uninstall::UninstallScriptText(), notes = uninstall::UninstallInstructionsText();
    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"Uninstall.bat")), std::string(script)));
    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"卸载说明.txt")), std::string(notes)));
    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"卸载.exe")), InstallerBytes()));
    EXPECT_TRUE(WaitUntil([] { return Exists(InFolder(L"zorv-started.txt")); }, 10000)) << "product not started";

    std::wstring product = std::wstring(kFolder) + L"\\zorv.exe";
    EXPECT_EQ(_wcsicmp(LinkTarget(DesktopLink()).c_str(), product.c_str()), 0) << LinkTarget(DesktopLink()).size();
    EXPECT_EQ(_wcsicmp(LinkTarget(StartMenuLink()).c_str(), product.c_str()), 0);

    std::wstring folder = std::wstring(kFolder) + L"\\";
    EXPECT_EQ(ReadUninstallValue(L"DisplayName").text, L"Zorvane");
    EXPECT_EQ(ReadUninstallValue(L"DisplayVersion").text, L"1.2.3.4");
    EXPECT_EQ(ReadUninstallValue(L"Publisher").text, L"zorv");
    EXPECT_EQ(ReadUninstallValue(L"DisplayIcon").text, folder + L"zorv.exe");
    EXPECT_EQ(ReadUninstallValue(L"InstallLocation").text, folder);
    EXPECT_EQ(ReadUninstallValue(L"UninstallString").text, L"\"" + folder + L"卸载.exe\"");
    EXPECT_EQ(ReadUninstallValue(L"QuietUninstallString").text, L"\"" + folder + L"卸载.exe\" /S");
    EXPECT_EQ(ReadUninstallValue(L"UninstallString").type, DWORD(REG_SZ));
    EXPECT_EQ(ReadUninstallValue(L"NoModify").number, 1u);
    EXPECT_EQ(ReadUninstallValue(L"NoRepair").type, DWORD(REG_DWORD));
    EXPECT_EQ(ReadUninstallValue(L"NoRepair").number, 1u);
    EXPECT_EQ(server_.RequestsFor("/zorv.exe").size(), 1u);

    // A second install over the first, started from inside the install
    // folder, removes the old version with its script started outside the
    // folder, and its one download succeeds straight away.
    EnumWindows(CloseProductWindow, 0);
    DeleteFileW(InFolder(L"zorv-started.txt").c_str());
    {
        ChildProgram again(WinePathOf(ZORV_SETUP_EXE), UrlOption(), kFolder);
        StartAndClick(again);
        std::set<std::wstring> scriptDirectories = DirectoriesOfProcessesNamed(L"cmd.exe", 5000);
        EXPECT_EQ(scriptDirectories, std::set<std::wstring>{kFolderParent});
        ASSERT_EQ(again.WaitForExit(kInstallMs), 0u);
    }
    EXPECT_EQ(server_.RequestsFor("/zorv.exe").size(), 2u);
    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"zorv.exe")), product_));
    EXPECT_TRUE(WaitUntil([] { return Exists(InFolder(L"zorv-started.txt")); }, 10000));
}

TEST_F(InstallFlow, AnAnswerCutHalfWayIsCompletedByARangeRequest) {
    Reply cut = Body(product_);
    cut.closeAtBodyByte = int64_t(product_.size() / 2);
    server_.RouteOnce("/zorv.exe", cut);
    server_.Route("/zorv.exe", Body(product_));
    InstallOnce();
    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"zorv.exe")), product_));
    EXPECT_FALSE(server_.RequestsFor("/zorv.exe").back().Header("Range").empty());
}

TEST_F(InstallFlow, WithoutALengthItTriesTwiceAndInstallsNothing) {
    Reply lengthless = Body(product_);
    lengthless.framing = Framing::CloseDelimited;
    server_.Route("/zorv.exe", lengthless);
    ChildProgram program(WinePathOf(ZORV_SETUP_EXE), UrlOption());
    StartAndClick(program);
    EXPECT_TRUE(server_.WaitForRequests(2, 30000));
    // Past the animation and its shortcut step: still open, nothing installed.
    Sleep(22000);
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(server_.RequestsFor("/zorv.exe").size(), 2u);
    ExpectNothingInstalledAndClose(program);
}

TEST_F(InstallFlow, ClosingMidDownloadEndsWithZeroAtOnce) {
    Reply slow = Body(product_);
    slow.trickleBytes = 1000;
    slow.trickleGapMs = 200;
    server_.Route("/zorv.exe", slow);
    ChildProgram program(WinePathOf(ZORV_SETUP_EXE), UrlOption());
    StartAndClick(program);
    ASSERT_TRUE(server_.WaitForRequests(1, 20000));
    Sleep(1500);  // the animation and the progress messages write to the windows meanwhile
    HWND main = program.WaitForWindow(kMainWindowTitle, 1000);
    ASSERT_NE(main, nullptr);
    ULONGLONG asked = GetTickCount64();
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(16000), 0u);
    EXPECT_LT(GetTickCount64() - asked, 16000u);
    EXPECT_FALSE(UninstallKeyExists());
    // The task the quit stopped is not taken for a failed download: no
    // second attempt reaches the server.
    Sleep(1000);
    EXPECT_EQ(server_.RequestsFor("/zorv.exe").size(), 1u);
}

TEST_F(InstallFlow, WithNeitherOptionTickedNoLinkIsMade) {
    server_.Route("/zorv.exe", Body(product_));
    ChildProgram program(WinePathOf(ZORV_SETUP_EXE), UrlOption());
    ASSERT_TRUE(program.started());
    HWND main = program.WaitForWindow(kMainWindowTitle, 30000);
    ASSERT_NE(main, nullptr);
    Sleep(500);
    ClickAt(main, 64 + 41, 848 + 16);  // OptionsLink
    Sleep(800);
    // The options panel lies over the main window's bottom 250 pixels.
    auto clickPanel = [&](int x, int y) { ClickAt(main, x, y + (902 - 250)); };
    clickPanel(24 + 76, 192 + 20);   // DesktopShortcutCheck
    Sleep(300);
    clickPanel(184 + 84, 192 + 20);  // StartMenuCheck
    Sleep(300);
    clickPanel(1112 + 131, 142 + 52);  // ConfirmButton
    EXPECT_EQ(program.WaitForExit(kInstallMs), 0u);
    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"zorv.exe")), product_));
    EXPECT_FALSE(Exists(DesktopLink()));
    EXPECT_FALSE(Exists(StartMenuLink()));
    EXPECT_EQ(ReadUninstallValue(L"DisplayName").text, L"Zorvane");
}

TEST_F(InstallFlow, AServerThatKeepsCuttingInstallsNothingAndTheLinksGoAgain) {
    Reply cut = Body(product_);
    cut.closeAtBodyByte = 4096;
    server_.Route("/zorv.exe", [cut](const Request&) { return cut; });
    SetEnvironmentVariableW(L"ZORV_TEST_RETRIES", L"2,100");
    ChildProgram program(WinePathOf(ZORV_SETUP_EXE), UrlOption());
    SetEnvironmentVariableW(L"ZORV_TEST_RETRIES", nullptr);
    StartAndClick(program);
    // Both tasks give up long before the animation ends; the links the
    // shortcut step makes are taken away again.
    Sleep(24000);
    EXPECT_TRUE(program.Running());
    EXPECT_GE(server_.RequestsFor("/zorv.exe").size(), 2u);
    ExpectNothingInstalledAndClose(program);
}

// Uninstall: the copy in the install folder, started from there as the
// shell starts it, removes the product; elsewhere it refuses.
TEST_F(InstallFlow, UninstallFromTheFolderRemovesEverythingAndRefusesElsewhere) {
    server_.Route("/zorv.exe", Body(product_));
    InstallOnce();
    EnumWindows(CloseProductWindow, 0);

    // A copy in a folder that only ends in the product's letters, or on the
    // desktop, refuses and touches nothing.
    std::wstring desktop = Special(CSIDL_DESKTOPDIRECTORY);
    for (const std::wstring& other : {std::wstring(L"C:\\myzorv"), desktop}) {
        CreateDirectoryW(other.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(InFolder(L"卸载.exe").c_str(), (other + L"\\卸载.exe").c_str(), FALSE));
        std::wstring keep = other + L"\\keep.txt";
        std::ofstream(keep.c_str()) << "the user's own file";
        ChildProgram refused(other + L"\\卸载.exe", L"", other);
        EXPECT_TRUE(Exists(DesktopLink()));
        HWND main = refused.WaitForWindow(kMainWindowTitle, 30000);
        ASSERT_NE(main, nullptr);
        Sleep(500);
        ClickAt(main, kButtonX, kButtonY);
        Sleep(2500);
        EXPECT_TRUE(refused.Running());
        EXPECT_FALSE(Exists(other + L"\\Uninstall.bat"));
        EXPECT_TRUE(Exists(keep));
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(refused.WaitForExit(5000), 0u);
        DeleteFileW((other + L"\\卸载.exe").c_str());
        DeleteFileW(keep.c_str());
    }
    RemoveTree(L"C:\\myzorv");

    // Started with the install folder as its current directory, as the
    // shell starts it; the script it leaves runs from the folder's parent.
    ChildProgram uninstaller(InFolder(L"卸载.exe"), L"", kFolder);
    HWND main = uninstaller.WaitForWindow(kMainWindowTitle, 30000);
    ASSERT_NE(main, nullptr);
    Sleep(500);
    ULONGLONG clicked = GetTickCount64();
    ClickAt(main, kButtonX, kButtonY);
    EXPECT_EQ(uninstaller.WaitForExit(5000), 0u);
    // One second live after the click, then the window teardown; under Wine
    // on a bare X server each visible window's removal waits up to 2 s for
    // a window manager that is not there.
    ULONGLONG ended = GetTickCount64() - clicked;
    std::printf("uninstaller ended %.2f s after the click\n", double(ended) / 1000.0);
    EXPECT_LT(ended, 4000u);
    EXPECT_EQ(DirectoriesOfProcessesNamed(L"cmd.exe", 3000), std::set<std::wstring>{kFolderParent});
    // Wine's cmd keeps the running script open, so the emptied folder itself
    // may stay; its files, the links and the key go.
    EXPECT_TRUE(WaitUntil([] { return !Exists(InFolder(L"zorv.exe")) && !UninstallKeyExists(); }, 30000));
    EXPECT_TRUE(WaitUntil([] { return !Exists(InFolder(L"卸载.exe")); }, 10000));
    EXPECT_FALSE(Exists(DesktopLink()));
    EXPECT_FALSE(Exists(StartMenuLink()));
}

TEST_F(InstallFlow, QuietUninstallShowsNoWindowAndRemovesEverything) {
    server_.Route("/zorv.exe", Body(product_));
    InstallOnce();
    EnumWindows(CloseProductWindow, 0);
    ChildProgram quiet(InFolder(L"卸载.exe"), L"/s", kFolder);
    EXPECT_EQ(quiet.WaitForWindow(kMainWindowTitle, 20000), nullptr);
    EXPECT_EQ(quiet.WaitForExit(20000), 0u);
    EXPECT_TRUE(WaitUntil([] { return !Exists(InFolder(L"zorv.exe")) && !UninstallKeyExists(); }, 30000));
    EXPECT_FALSE(Exists(DesktopLink()));
}

// The keyboard alone, through the X server (no mouse at all): Tab reaches
// the install button (with a visible mark), then the options link; Enter
// opens the options with the focus in the folder box; Escape from an
// option closes them again; then a new folder is typed, Shift+Tab and Tab
// walk the panel's order, Space unticks the desktop link, and Enter on the
// confirm button installs exactly what was chosen.
TEST_F(InstallFlow, TheKeyboardAloneChoosesTheFolderAndTheLinksAndInstalls) {
    if (!HaveXdotool()) GTEST_SKIP() << "needs xdotool on the host";
    const std::wstring folder = L"C:\\Keys\\zorv";
    RemoveTree(L"C:\\Keys");
    server_.Route("/zorv.exe", Body(product_));
    ChildProgram program(WinePathOf(ZORV_SETUP_EXE), UrlOption());
    ASSERT_TRUE(program.started());
    HWND main = program.WaitForWindow(kMainWindowTitle, 30000);
    ASSERT_NE(main, nullptr);
    HWND options = TopLevelOfSize(program.id(), 1365, 250);
    ASSERT_NE(options, nullptr);
    HWND install = ControlAt(main, 626, 574, 52), link = ControlAt(main, 64, 848, 32);
    ASSERT_TRUE(install && link);
    Sleep(500);
    ASSERT_TRUE(FocusXWindow(kMainWindowTitle));
    auto focused = [&] { return FocusOfThread(main); };

    RECT button = WindowRectOf(install);
    std::vector<uint32_t> unmarked = ScreenPixels(button);
    ASSERT_TRUE(PressKeys(L"Tab"));
    EXPECT_EQ(focused(), install);
    EXPECT_GT(CountDifferent(unmarked, ScreenPixels(button)), 100) << "no focus mark on the install button";
    SaveScreenshot("keyboard-focus-mark");
    ASSERT_TRUE(PressKeys(L"Tab"));
    EXPECT_EQ(focused(), link);

    ASSERT_TRUE(PressKeys(L"Return"));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(options) != FALSE; }, 5000)) << "Enter did not open the options";
    HWND edit = ControlAt(options, 44, 78, 42), browse = ControlAt(options, 1294, 87, 24),
         desktop = ControlAt(options, 24, 192, 40), startMenu = ControlAt(options, 184, 192, 40),
         confirm = ControlAt(options, 1112, 142, 104), back = ControlAt(options, 54, 16, 32);
    ASSERT_TRUE(edit && browse && desktop && startMenu && confirm && back);
    EXPECT_TRUE(WaitUntil([&] { return focused() == edit; }, 3000)) << "the folder box did not take the focus";
    ASSERT_TRUE(PressKeys(L"Tab Tab"));
    EXPECT_EQ(focused(), desktop);
    ASSERT_TRUE(PressKeys(L"Escape"));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(options); }, 3000)) << "Escape did not close the options";
    EXPECT_TRUE(WaitUntil([&] { return focused() == install; }, 3000));

    ASSERT_TRUE(PressKeys(L"Tab Return"));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(options) != FALSE; }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return focused() == edit; }, 3000));
    ASSERT_TRUE(PressKeys(L"End shift+Home"));
    ASSERT_TRUE(TypeText(L"C:\\Keys"));
    wchar_t typed[64] = {};
    SendMessageW(edit, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(typed));
    EXPECT_STREQ(typed, L"C:\\Keys");
    ASSERT_TRUE(PressKeys(L"shift+Tab"));
    EXPECT_EQ(focused(), back) << "Shift+Tab from the folder box goes round to the back link";
    ASSERT_TRUE(PressKeys(L"Tab Tab Tab"));
    EXPECT_EQ(focused(), desktop);
    ASSERT_TRUE(PressKeys(L"space"));
    EXPECT_EQ(SendMessageW(desktop, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(startMenu, BM_GETCHECK, 0, 0), BST_CHECKED);
    ASSERT_TRUE(PressKeys(L"Tab Tab"));
    EXPECT_EQ(focused(), confirm);
    ASSERT_TRUE(PressKeys(L"Return"));

    ASSERT_EQ(program.WaitForExit(kInstallMs), 0u);
    EXPECT_TRUE(SameBytes(ReadWhole(folder + L"\\zorv.exe"), product_));
    EXPECT_FALSE(Exists(DesktopLink()));
    EXPECT_EQ(_wcsicmp(LinkTarget(StartMenuLink()).c_str(), (folder + L"\\zorv.exe").c_str()), 0);
    EXPECT_EQ(ReadUninstallValue(L"InstallLocation").text, folder + L"\\");
    EnumWindows(CloseProductWindow, 0);
    Sleep(300);
    RemoveTree(L"C:\\Keys");
}

// Alt+F4 with the focus in the options panel ends the program as the close
// button does (the panel's own close would leave the program without it).
TEST_F(InstallFlow, AltF4InTheOptionsPanelEndsTheProgramLikeTheCloseButton) {
    if (!HaveXdotool()) GTEST_SKIP() << "needs xdotool on the host";
    ChildProgram program(WinePathOf(ZORV_SETUP_EXE), UrlOption());
    ASSERT_TRUE(program.started());
    HWND main = program.WaitForWindow(kMainWindowTitle, 30000);
    ASSERT_NE(main, nullptr);
    HWND options = TopLevelOfSize(program.id(), 1365, 250);
    ASSERT_NE(options, nullptr);
    Sleep(500);
    ASSERT_TRUE(FocusXWindow(kMainWindowTitle));
    ASSERT_TRUE(PressKeys(L"Tab Tab Return"));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(options) != FALSE; }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return GetAncestor(FocusOfThread(main), GA_ROOT) == options; }, 3000));
    ASSERT_TRUE(PressKeys(L"alt+F4"));
    EXPECT_EQ(program.WaitForExit(10000), 0u);
}

BOOL CALLBACK CloseFolderWindow(HWND window, LPARAM process) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t title[MAX_PATH] = {};
    GetWindowTextW(window, title, MAX_PATH);
    if (owner != DWORD(process) && wcsstr(title, L"zorv")) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Last: the shell's folder window it opens may stay up a moment.
TEST_F(InstallFlow, ALockedProductThatCannotBeRemovedStopsBeforeTheDownload) {
    server_.Route("/zorv.exe", Body(product_));
    InstallOnce();
    EnumWindows(CloseProductWindow, 0);
    Sleep(500);
    // Held open without delete sharing: neither the script nor the removal
    // can take it.
    HANDLE lock = CreateFileW(InFolder(L"zorv.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ChildProgram program(WinePathOf(ZORV_SETUP_EXE), UrlOption());
    StartAndClick(program);
    EXPECT_TRUE(WaitUntil([] { return Exists(InFolder(L"卸载.exe")); }, 30000));
    Sleep(2000);
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(server_.RequestsFor("/zorv.exe").size(), 1u) << "no second download";
    EXPECT_TRUE(Exists(InFolder(L"zorv.exe")));
    CloseHandle(lock);
    EnumWindows(CloseFolderWindow, LPARAM(GetCurrentProcessId()));
    HWND main = program.WaitForWindow(kMainWindowTitle, 1000);
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(5000), 0u);
}

// The install folder on a drive that fills up half way through the product,
// then on one that cannot be written: the failure message, the installer
// left open, and nothing installed on the drive or elsewhere.
TEST_F(InstallFlow, AFullOrReadOnlyDriveInstallsNothing) {
    server_.Route("/zorv.exe", Body(product_));
    for (const wchar_t* variable : {L"ZORV_TINY_DRIVE", L"ZORV_READONLY_DRIVE"}) {
        wchar_t drive[8] = {};
        if (GetEnvironmentVariableW(variable, drive, 8) == 0)
            GTEST_SKIP() << "no small drives: run through tests/support/small-drives-run as root";
        std::wstring folder = std::wstring(drive) + L"\\zorv";
        size_t requestsBefore = server_.RequestsFor("/zorv.exe").size();
        ChildProgram program(WinePathOf(ZORV_SETUP_EXE), UrlOption());
        ASSERT_TRUE(program.started());
        HWND main = program.WaitForWindow(kMainWindowTitle, 30000);
        ASSERT_NE(main, nullptr);
        HWND options = TopLevelOfSize(program.id(), 1365, 250), status = TopLevelOfSize(program.id(), 1365, 66);
        ASSERT_TRUE(options && status);
        Sleep(500);
        ClickAt(main, 64 + 41, 848 + 16);  // OptionsLink
        ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(options) != FALSE; }, 5000));
        HWND edit = ControlAt(options, 44, 78, 42);
        ASSERT_NE(edit, nullptr);
        std::wstring typed = std::wstring(drive) + L"\\";
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
        ClickAt(options, 1112 + 131, 142 + 52);  // ConfirmButton
        // Both attempts fail: on the full drive after part of the body, on the
        // read-only one when the file is to be made, once the length came.
        HWND text = ControlAt(status, 183, 18, 32);
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return WindowText(text) == L"获取下载文件失败，请尝试重启软件解决问题"; }, 40000))
            << Narrow(WindowText(text));
        EXPECT_EQ(server_.RequestsFor("/zorv.exe").size() - requestsBefore, 2u) << "one request per attempt";
        // Past the animation's shortcut step, whose links go again.
        Sleep(20000);
        EXPECT_TRUE(program.Running());
        for (const wchar_t* name : {L"zorv.exe", L"卸载.exe", L"Uninstall.bat", L"卸载说明.txt"})
            EXPECT_FALSE(Exists(folder + L"\\" + name)) << Narrow(name);
        EXPECT_FALSE(Exists(DesktopLink()));
        EXPECT_FALSE(Exists(StartMenuLink()));
        EXPECT_FALSE(UninstallKeyExists());
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(5000), 0u);
    }
}

}  // namespace
}  // namespace zorv::testing
