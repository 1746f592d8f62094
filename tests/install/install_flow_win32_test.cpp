// The whole program installing and uninstalling under Wine, driven from
// outside: the real exe with /URL= naming a scripted loopback server, real
// mouse clicks, and the files, links and registry values of the prefix.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "runtime/codepage_win32.h"
#include "support/http_test_server.h"
#include "support/process_directory_win32.h"
#include "support/program_child_win32.h"
#include "support/installer_layout_win32.h"
#include "support/screen_win32.h"
#include "product/uninstall_texts.h"

namespace zorv::testing {
namespace {

constexpr wchar_t kFolder[] = L"C:\\Program Files (x86)\\zorv";
// The 32-bit view of the machine's uninstall list, as the installer writes it.
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zorv";
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
bool IsFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

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
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) return value;
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
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) return false;
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
    HKEY list = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                      KEY_ALL_ACCESS | KEY_WOW64_32KEY, &list) == ERROR_SUCCESS) {
        RegDeleteTreeW(list, L"zorv");
        RegCloseKey(list);
    }
}

std::string ProductBytes() { return ReadWhole(WinePathOf(ZORV_PRODUCT_EXE)); }
// The installer under test: the build's own, or another build's named by
// ZORV_TEST_SETUP_EXE (to show what an older installer did).
std::wstring SetupExe() {
    wchar_t other[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"ZORV_TEST_SETUP_EXE", other, MAX_PATH) > 0) return other;
    return WinePathOf(ZORV_SETUP_EXE);
}
std::string InstallerBytes() { return ReadWhole(SetupExe()); }

class InstallFlow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "needs a display (run under scripts/with-xvfb)";
        ClearInstallation();
        DeleteFileW(LogPath().c_str());
        product_ = ProductBytes();
        ASSERT_FALSE(product_.empty());
    }
    void TearDown() override { ClearInstallation(); }

    std::wstring UrlOption() const {
        std::wstring url;
        for (char c : server_.Url("/zorv.exe")) url.push_back(wchar_t(c));
        return L"/URL=" + url;
    }
    // The installer's options: the test server's address and this test's log.
    std::wstring Options() const { return UrlOption() + L" " + LogOption(); }
    static std::wstring LogOption() { return L"\"/LOG=" + LogPath() + L"\""; }
    static std::wstring LogPath() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        return std::wstring(temp) + L"zorv-install-flow.log";
    }
    // The log so far, as UTF-8.
    static std::string LogText() { return ReadWhole(LogPath()); }
    // Waits until the log holds the text (the end of a step the test needs).
    static bool WaitForLog(const std::string& text, DWORD ms) {
        return WaitUntil([&] { return LogText().find(text) != std::string::npos; }, ms);
    }
    // Starts the installer, waits for its window and clicks the install button.
    void StartAndClick(ChildProgram& program) {
        ASSERT_TRUE(program.started());
        HWND main = program.WaitForWindow(kMainWindowTitle, 30000);
        ASSERT_NE(main, nullptr);
        Sleep(500);
        layout::Click(main, layout::kInstallButton);
    }
    // Runs one whole install that must end with 0.
    void InstallOnce() {
        ChildProgram program(SetupExe(), Options());
        StartAndClick(program);
        ASSERT_EQ(program.WaitForExit(kInstallMs), 0u);
    }

    // After a failed install, once it has taken back what it made: nothing
    // that looks installed, the installer still open; then it is closed and
    // must end with 0.
    void ExpectNothingInstalledAndClose(ChildProgram& program) {
        ASSERT_TRUE(WaitForLog("what the install made is taken back", kInstallMs)) << LogText();
        EXPECT_TRUE(program.Running());
        EXPECT_FALSE(Exists(InFolder(L"zorv.exe")));
        EXPECT_FALSE(Exists(InFolder(L"卸载说明.txt")));
        EXPECT_FALSE(IsFile(DesktopLink()));
        EXPECT_FALSE(IsFile(StartMenuLink()));
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
    // A partial download of an earlier run (or anybody's file of that name)
    // is no part of this download.
    CreateDirectoryW(kFolder, nullptr);
    std::ofstream(InFolder(L"zorv.exe.download").c_str()) << "left over";
    InstallOnce();

    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"zorv.exe")), product_));
    EXPECT_FALSE(Exists(InFolder(L"zorv.exe.download")));
    // The publisher's signature was checked before anything else was done,
    // and the product was started through the desktop shell (with the
    // user's own rights) where there is one.
    std::string log = LogText();
    EXPECT_NE(log.find("zorv.exe.download: valid signature"), std::string::npos) << log;
    EXPECT_LT(log.find("valid signature"), log.find("write "));
    EXPECT_NE(log.find("zorv.exe: ok, through the desktop shell"), std::string::npos) << log;
    std::string_view script = product::UninstallScriptText(), notes = product::UninstallInstructionsText();
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
        ChildProgram again(SetupExe(), Options(), kFolder);
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

// The first download brings no length, the second the whole product: the
// install goes on with the paths of its second attempt (one backslash more).
TEST_F(InstallFlow, AFailedFirstDownloadIsRetriedAndInstallsWithTheRetrysPaths) {
    Reply lengthless = Body(product_);
    lengthless.framing = Framing::CloseDelimited;
    server_.RouteOnce("/zorv.exe", lengthless);
    server_.Route("/zorv.exe", Body(product_));
    InstallOnce();
    EXPECT_EQ(server_.RequestsFor("/zorv.exe").size(), 2u);
    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"zorv.exe")), product_));
    EXPECT_TRUE(WaitUntil([] { return Exists(InFolder(L"zorv-started.txt")); }, 10000)) << "product not started";
    std::wstring folder = std::wstring(kFolder) + L"\\\\";
    EXPECT_EQ(ReadUninstallValue(L"DisplayIcon").text, folder + L"zorv.exe");
    EXPECT_EQ(ReadUninstallValue(L"InstallLocation").text, folder);
    EXPECT_EQ(ReadUninstallValue(L"UninstallString").text, L"\"" + folder + L"卸载.exe\"");
    EXPECT_EQ(ReadUninstallValue(L"DisplayVersion").text, L"1.2.3.4");
    std::wstring product = std::wstring(kFolder) + L"\\zorv.exe";
    EXPECT_EQ(_wcsicmp(LinkTarget(DesktopLink()).c_str(), product.c_str()), 0);
}

// Only the publisher's product is installed: an unsigned one, one whose
// bytes no longer match its signature, and one signed by someone else are
// refused once, deleted, and nothing of the install is left.
TEST_F(InstallFlow, AProductNotSignedByThePublisherIsRefusedAndNothingIsInstalled) {
    std::string tampered = product_;
    tampered[tampered.size() / 2] ^= 0x01;
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"unsigned", ReadWhole(WinePathOf(ZORV_UNSIGNED_PRODUCT_EXE)), "no signature"},
        {"one byte changed", tampered, "does not match its signature"},
        {"signed by someone else", ReadWhole(WinePathOf(ZORV_OTHER_SIGNER_PRODUCT_EXE)), "does not accept"},
    };
    for (const auto& product : cases) {
        SCOPED_TRACE(product.name);
        ASSERT_FALSE(product.bytes.empty());
        ClearInstallation();
        DeleteFileW(LogPath().c_str());
        HttpTestServer server;
        server.Route("/zorv.exe", Body(product.bytes));
        std::wstring url;
        for (char c : server.Url("/zorv.exe")) url.push_back(wchar_t(c));
        ChildProgram program(SetupExe(), L"/URL=" + url + L" " + LogOption());
        StartAndClick(program);
        HWND status = TopLevelOfSize(program.id(), layout::kStatusWidth, layout::kStatusHeight);
        ASSERT_NE(status, nullptr);
        HWND text = ControlAt(status, layout::kStatusTextLeft, layout::kStatusTextTop, layout::kStatusTextHeight);
        EXPECT_TRUE(WaitUntil([&] { return WindowText(text) == L"安装失败，下载的文件未通过数字签名校验，已删除"; },
                              kInstallMs))
            << Narrow(WindowText(text));
        ExpectNothingInstalledAndClose(program);
        EXPECT_FALSE(Exists(InFolder(L"zorv.exe.download")));
        EXPECT_FALSE(Exists(InFolder(L"卸载.exe")));
        EXPECT_NE(LogText().find(product.reason), std::string::npos) << LogText();
        EXPECT_EQ(server.RequestsFor("/zorv.exe").size(), 1u) << "a refused product is not fetched again";
    }
}

// No DLL beside the installer (a browser's download folder) or beside the
// uninstaller is ever loaded into them, under the names of the system DLLs
// they use.  Wine prefers such copies only when told to, as Windows does for
// every DLL outside its known ones.
TEST_F(InstallFlow, NoDllBesideTheInstallerOrTheUninstallerIsLoaded) {
    server_.Route("/zorv.exe", Body(product_));
    const std::wstring downloads = L"C:\\users\\Public\\planted-downloads";
    const std::wstring markers = L"C:\\zorv-planted-markers";
    const wchar_t* names[] = {L"version.dll", L"msimg32.dll", L"uxtheme.dll", L"wintrust.dll", L"advpack.dll"};
    auto plant = [&](const std::wstring& folder) {
        for (const wchar_t* name : names)
            ASSERT_TRUE(CopyFileW(WinePathOf(ZORV_PLANTED_DLL).c_str(), (folder + L"\\" + name).c_str(), FALSE));
    };
    RemoveTree(markers);
    RemoveTree(downloads);
    CreateDirectoryW(downloads.c_str(), nullptr);
    plant(downloads);
    ASSERT_TRUE(CopyFileW(SetupExe().c_str(), (downloads + L"\\zorv-setup.exe").c_str(), FALSE));
    wchar_t overrides[512] = {};
    GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 512);
    std::wstring preferOwn = std::wstring(overrides) + L";version,msimg32,uxtheme,wintrust,advpack=n,b";
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES", preferOwn.c_str());
    {
        ChildProgram program(downloads + L"\\zorv-setup.exe", Options(), downloads);
        StartAndClick(program);
        EXPECT_EQ(program.WaitForExit(kInstallMs), 0u);
    }
    EnumWindows(CloseProductWindow, 0);
    ASSERT_TRUE(Exists(InFolder(L"卸载.exe")));
    plant(kFolder);
    {
        ChildProgram uninstaller(InFolder(L"卸载.exe"), L"", kFolder);
        HWND main = uninstaller.WaitForWindow(kMainWindowTitle, 30000);
        ASSERT_NE(main, nullptr);
        Sleep(500);
        layout::Click(main, layout::kInstallButton);
        EXPECT_EQ(uninstaller.WaitForExit(10000), 0u);
    }
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((markers + L"\\*.loaded").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do ADD_FAILURE() << "loaded: " << Narrow(found.cFileName);
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    EXPECT_TRUE(WaitUntil([] { return !Exists(InFolder(L"zorv.exe")); }, 30000));
    RemoveTree(downloads);
    RemoveTree(markers);
}

// Each step after the download that cannot do its part takes the failed
// install's way: its message, nothing left that looks installed, the
// installer open.  What the user had put there stays.
TEST_F(InstallFlow, AStepThatFailsAfterTheDownloadTakesTheInstallBack) {
    server_.Route("/zorv.exe", Body(product_));
    const std::wstring uninstallList = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    HANDLE held = INVALID_HANDLE_VALUE;
    struct Case {
        const char* name;
        std::function<void()> arrange, restore;
        std::wstring message;
        bool userUninstaller = false;
    } cases[] = {
        {"a folder where the script goes",
         [] {
             CreateDirectoryW(kFolderParent, nullptr);
             CreateDirectoryW(kFolder, nullptr);
             CreateDirectoryW(InFolder(L"Uninstall.bat").c_str(), nullptr);
         },
         [] { RemoveDirectoryW(InFolder(L"Uninstall.bat").c_str()); },
         L"安装失败，无法写入安装目录中的文件，请检查安装目录后重试"},
        {"an uninstaller in the way that is held open",
         [&] {
             CreateDirectoryW(kFolder, nullptr);
             std::ofstream(InFolder(L"卸载.exe").c_str()) << "the user's own file";
             held = CreateFileW(InFolder(L"卸载.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
         },
         [&] {
             CloseHandle(held);
             EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"卸载.exe")), "the user's own file"));
         },
         L"安装失败，无法写入安装目录中的文件，请检查安装目录后重试", true},
        {"a folder where the desktop link goes",
         [] { CreateDirectoryW(DesktopLink().c_str(), nullptr); },
         [] { RemoveDirectoryW(DesktopLink().c_str()); },
         L"安装失败，无法创建快捷方式"},
        {"a list of installed programs that takes no lasting key",
         // Below a volatile key the system makes no key that outlives a
         // restart, so the product's key cannot be created.
         [&] {
             HKEY key = nullptr;
             RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallList.c_str());
             RegCreateKeyExW(HKEY_LOCAL_MACHINE, uninstallList.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                             KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr);
             RegCloseKey(key);
         },
         [&] {
             HKEY key = nullptr;
             RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallList.c_str());
             RegCreateKeyExW(HKEY_LOCAL_MACHINE, uninstallList.c_str(), 0, nullptr, 0,
                             KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr);
             RegCloseKey(key);
         },
         L"安装失败，无法写入系统的卸载信息"},
    };
    for (const Case& step : cases) {
        SCOPED_TRACE(step.name);
        ClearInstallation();
        DeleteFileW(LogPath().c_str());
        step.arrange();
        ChildProgram program(SetupExe(), Options());
        StartAndClick(program);
        HWND status = TopLevelOfSize(program.id(), layout::kStatusWidth, layout::kStatusHeight);
        ASSERT_NE(status, nullptr);
        HWND text = ControlAt(status, layout::kStatusTextLeft, layout::kStatusTextTop, layout::kStatusTextHeight);
        EXPECT_TRUE(WaitUntil([&] { return WindowText(text) == step.message; }, kInstallMs)) << Narrow(WindowText(text));
        ExpectNothingInstalledAndClose(program);
        EXPECT_FALSE(IsFile(InFolder(L"Uninstall.bat")));
        if (!step.userUninstaller) {
            EXPECT_FALSE(Exists(InFolder(L"卸载.exe")));
        }
        EXPECT_EQ(LogText().find("installed\r\n"), std::string::npos);
        step.restore();
    }
}

TEST_F(InstallFlow, WithoutALengthItTriesTwiceAndInstallsNothing) {
    Reply lengthless = Body(product_);
    lengthless.framing = Framing::CloseDelimited;
    server_.Route("/zorv.exe", lengthless);
    ChildProgram program(SetupExe(), Options());
    StartAndClick(program);
    ExpectNothingInstalledAndClose(program);
    EXPECT_EQ(server_.RequestsFor("/zorv.exe").size(), 2u);
}

TEST_F(InstallFlow, ClosingMidDownloadEndsWithZeroAtOnce) {
    Reply slow = Body(product_);
    slow.trickleBytes = 1000;
    slow.trickleGapMs = 200;
    server_.Route("/zorv.exe", slow);
    ChildProgram program(SetupExe(), Options());
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
    // Like a power loss mid-download: only the partial download is left,
    // never a cut program under the product's name.
    EXPECT_FALSE(Exists(InFolder(L"zorv.exe")));
    // The task the quit stopped is not taken for a failed download: no
    // second attempt reaches the server.
    Sleep(1000);
    EXPECT_EQ(server_.RequestsFor("/zorv.exe").size(), 1u);
}

TEST_F(InstallFlow, WithNeitherOptionTickedNoLinkIsMade) {
    server_.Route("/zorv.exe", Body(product_));
    ChildProgram program(SetupExe(), Options());
    ASSERT_TRUE(program.started());
    HWND main = program.WaitForWindow(kMainWindowTitle, 30000);
    ASSERT_NE(main, nullptr);
    Sleep(500);
    layout::Click(main, layout::kOptionsLink);
    HWND options = TopLevelOfSize(program.id(), layout::kOptionsWidth, layout::kOptionsHeight);
    ASSERT_TRUE(options && WaitUntil([&] { return IsWindowVisible(options) != FALSE; }, 5000));
    Sleep(300);
    layout::Click(options, layout::kDesktopShortcutCheck);
    Sleep(300);
    layout::Click(options, layout::kStartMenuCheck);
    Sleep(300);
    layout::Click(options, layout::kConfirmButton);
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
    ChildProgram program(SetupExe(), Options());
    SetEnvironmentVariableW(L"ZORV_TEST_RETRIES", nullptr);
    StartAndClick(program);
    // Both tasks give up long before the animation ends; the links the
    // shortcut step makes are taken away again.
    ExpectNothingInstalledAndClose(program);
    EXPECT_GE(server_.RequestsFor("/zorv.exe").size(), 2u);
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
        DeleteFileW(LogPath().c_str());
        ChildProgram refused(other + L"\\卸载.exe", LogOption(), other);
        EXPECT_TRUE(Exists(DesktopLink()));
        HWND main = refused.WaitForWindow(kMainWindowTitle, 30000);
        ASSERT_NE(main, nullptr);
        Sleep(500);
        layout::Click(main, layout::kInstallButton);
        EXPECT_TRUE(WaitForLog("uninstall refused", 10000)) << LogText();
        EXPECT_TRUE(refused.Running());
        EXPECT_FALSE(Exists(other + L"\\Uninstall.bat"));
        EXPECT_TRUE(Exists(keep));
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(refused.WaitForExit(5000), 0u);
        DeleteFileW((other + L"\\卸载.exe").c_str());
        DeleteFileW(keep.c_str());
    }
    RemoveTree(L"C:\\myzorv");

    // A script that cannot be written (a folder has its name) is reported:
    // the window stays, and the quiet uninstall ends with its own code.
    ASSERT_TRUE(DeleteFileW(InFolder(L"Uninstall.bat").c_str()));
    ASSERT_TRUE(CreateDirectoryW(InFolder(L"Uninstall.bat").c_str(), nullptr));
    {
        DeleteFileW(LogPath().c_str());
        ChildProgram blocked(InFolder(L"卸载.exe"), LogOption(), kFolder);
        HWND main = blocked.WaitForWindow(kMainWindowTitle, 30000);
        ASSERT_NE(main, nullptr);
        Sleep(500);
        layout::Click(main, layout::kInstallButton);
        EXPECT_TRUE(WaitForLog("Uninstall.bat: failed", 10000)) << LogText();
        EXPECT_TRUE(blocked.Running());
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(blocked.WaitForExit(5000), 0u);
        ChildProgram quiet(InFolder(L"卸载.exe"), L"/S", kFolder);
        EXPECT_EQ(quiet.WaitForExit(20000), 3u);
    }
    EXPECT_TRUE(Exists(InFolder(L"zorv.exe")));
    EXPECT_TRUE(UninstallKeyExists());
    ASSERT_TRUE(RemoveDirectoryW(InFolder(L"Uninstall.bat").c_str()));

    // Started with the install folder as its current directory, as the
    // shell starts it; the script it leaves runs from the folder's parent.
    ChildProgram uninstaller(InFolder(L"卸载.exe"), L"", kFolder);
    HWND main = uninstaller.WaitForWindow(kMainWindowTitle, 30000);
    ASSERT_NE(main, nullptr);
    Sleep(500);
    ULONGLONG clicked = GetTickCount64();
    layout::Click(main, layout::kInstallButton);
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
    ChildProgram program(SetupExe(), Options());
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
        ChildProgram program(SetupExe(), Options());
        ASSERT_TRUE(program.started());
        HWND main = program.WaitForWindow(kMainWindowTitle, 30000);
        ASSERT_NE(main, nullptr);
        HWND options = TopLevelOfSize(program.id(), layout::kOptionsWidth, layout::kOptionsHeight);
        HWND status = TopLevelOfSize(program.id(), layout::kStatusWidth, layout::kStatusHeight);
        ASSERT_TRUE(options && status);
        Sleep(500);
        layout::Click(main, layout::kOptionsLink);
        ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(options) != FALSE; }, 5000));
        HWND edit = ControlAt(options, layout::kFolderBoxLeft, layout::kFolderBoxTop, layout::kFolderBoxHeight);
        ASSERT_NE(edit, nullptr);
        std::wstring typed = std::wstring(drive) + L"\\";
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
        layout::Click(options, layout::kConfirmButton);
        // Both attempts fail: on the full drive after part of the body, on the
        // read-only one when the file is to be made, once the length came.
        HWND text = ControlAt(status, layout::kStatusTextLeft, layout::kStatusTextTop, layout::kStatusTextHeight);
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return WindowText(text) == L"获取下载文件失败，请尝试重启软件解决问题"; }, 40000))
            << Narrow(WindowText(text));
        EXPECT_EQ(server_.RequestsFor("/zorv.exe").size() - requestsBefore, 2u) << "one request per attempt";
        // Past the animation's shortcut step, whose links go again.
        ASSERT_TRUE(WaitForLog("what the install made is taken back", kInstallMs)) << LogText();
        DeleteFileW(LogPath().c_str());
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
