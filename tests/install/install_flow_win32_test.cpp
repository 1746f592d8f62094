// The whole program installing and uninstalling under Wine, driven from
// outside: the real exe with /URL= naming a scripted loopback server, real
// mouse clicks, and the files, links and registry values of the prefix.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <softpub.h>
#include <wintrust.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>
#include <string>

#include "runtime/codepage_win32.h"
#include "support/http_test_server.h"
#include "support/process_directory_win32.h"
#include "support/program_child_win32.h"
#include "support/installer_layout_win32.h"
#include "support/screen_win32.h"
#include "support/tls_servers.h"
#include "support/x_keyboard_win32.h"
#include "support/x_window_watch_win32.h"
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

// System32 as the system names it, with a trailing backslash.
std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\";
}

std::string Utf8(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(length > 0 ? length : 0), '\0');
    if (length > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

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
// Ends every running product.  The installer asks the desktop shell to
// start it, which it does a moment later: a product may still come up after
// its installer has ended, so the processes are watched until none has
// shown up for a while.
void EndProducts() {
    EnumWindows(CloseProductWindow, 0);
    for (int quiet = 0, polls = 0; quiet < 5 && polls < 100; ++polls) {
        bool found = false;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
            if (_wcsicmp(entry.szExeFile, L"zorv.exe") != 0) continue;
            found = true;
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 2000);
                CloseHandle(process);
            }
        }
        CloseHandle(snapshot);
        quiet = found ? 0 : quiet + 1;
        Sleep(100);
    }
}

void ClearInstallation() {
    EndProducts();
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
    // Starts the installer, types the folder into the options panel's box and
    // confirms it.
    void StartAndInstallInto(ChildProgram& program, const std::wstring& typed) {
        ASSERT_TRUE(program.started());
        HWND main = program.WaitForWindow(kMainWindowTitle, 30000);
        ASSERT_NE(main, nullptr);
        HWND options = TopLevelOfSize(program.id(), layout::kOptionsWidth, layout::kOptionsHeight);
        ASSERT_NE(options, nullptr);
        Sleep(500);
        layout::Click(main, layout::kOptionsLink);
        ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(options) != FALSE; }, 5000));
        HWND edit = ControlAt(options, layout::kFolderBoxLeft, layout::kFolderBoxTop, layout::kFolderBoxHeight);
        ASSERT_NE(edit, nullptr);
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
        layout::Click(options, layout::kConfirmButton);
    }
    // The text the status strip shows.
    static std::wstring StatusText(const ChildProgram& program) {
        HWND status = TopLevelOfSize(program.id(), layout::kStatusWidth, layout::kStatusHeight);
        HWND text = status ? ControlAt(status, layout::kStatusTextLeft, layout::kStatusTextTop,
                                       layout::kStatusTextHeight)
                           : nullptr;
        return text ? WindowText(text) : std::wstring();
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
    // folder, removes the old version with its script run from System32 (not
    // from the folder it deletes, nor from one a user may write to), and its
    // one download succeeds straight away.
    EndProducts();
    DeleteFileW(InFolder(L"zorv-started.txt").c_str());
    {
        ChildProgram again(SetupExe(), Options(), kFolder);
        StartAndClick(again);
        std::set<std::wstring> scriptDirectories = DirectoriesOfProcessesNamed(L"cmd.exe", 5000);
        EXPECT_EQ(scriptDirectories, std::set<std::wstring>{SystemFolder()});
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
        // The first with the window, and its message; the others without
        // (the same sequence, quicker: no animation to wait for).
        if (&product == &cases[0]) {
            ChildProgram program(SetupExe(), L"/URL=" + url + L" " + LogOption());
            StartAndClick(program);
            EXPECT_TRUE(WaitUntil([&] { return StatusText(program) == L"安装失败，下载的文件未通过数字签名校验，已删除"; },
                                  kInstallMs))
                << Narrow(StatusText(program));
            ExpectNothingInstalledAndClose(program);
        } else {
            ChildProgram silent(SetupExe(), L"/S /URL=" + url + L" " + LogOption());
            EXPECT_EQ(silent.WaitForExit(kInstallMs), 6u);
            EXPECT_FALSE(Exists(InFolder(L"zorv.exe")));
            EXPECT_FALSE(UninstallKeyExists());
            EXPECT_FALSE(IsFile(DesktopLink()));
        }
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
    // version.dll is no name to plant here: Wine's own user32 imports it, so
    // under Wine it is looked for beside every program that shows a window
    // before the program's first line runs (Windows' user32 does not).  That
    // the installer itself imports it no more is checked on the exe's import
    // table (ImportedDlls.OnlyTheSystemsKnownDlls).
    const wchar_t* names[] = {L"msimg32.dll", L"uxtheme.dll", L"wintrust.dll", L"advpack.dll", L"secur32.dll",
                              L"crypt32.dll"};
    auto plant = [&](const std::wstring& folder) {
        for (const wchar_t* name : names)
            ASSERT_TRUE(CopyFileW(WinePathOf(ZORV_PLANTED_DLL).c_str(), (folder + L"\\" + name).c_str(), FALSE));
    };
    RemoveTree(markers);
    RemoveTree(downloads);
    CreateDirectoryW(downloads.c_str(), nullptr);
    plant(downloads);
    ASSERT_TRUE(CopyFileW(SetupExe().c_str(), (downloads + L"\\zorv-setup.exe").c_str(), FALSE));
    // Wine takes a program's own copy first when its settings for that
    // program say so (what Windows does for every DLL outside its known ones).
    auto preferOwnCopies = [&](bool prefer) {
        for (const wchar_t* program : {L"zorv-setup.exe", L"卸载.exe"}) {
            std::wstring key = std::wstring(L"Software\\Wine\\AppDefaults\\") + program + L"\\DllOverrides";
            if (!prefer) {
                RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
                continue;
            }
            HKEY overrides = nullptr;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &overrides,
                                      nullptr),
                      ERROR_SUCCESS);
            for (const wchar_t* name : {L"msimg32", L"uxtheme", L"wintrust", L"advpack", L"secur32", L"crypt32"})
                RegSetValueExW(overrides, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"native,builtin"),
                               sizeof(L"native,builtin"));
            RegCloseKey(overrides);
        }
    };
    preferOwnCopies(true);
    {
        ChildProgram program(downloads + L"\\zorv-setup.exe", Options(), downloads);
        StartAndClick(program);
        EXPECT_EQ(program.WaitForExit(kInstallMs), 0u);
    }
    EndProducts();
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
    preferOwnCopies(false);
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

// The Linux path of a Windows one (Wine's own export), for links made from
// the Linux side: Wine makes no junctions of its own.
std::string UnixPathOf(const std::wstring& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    std::string result = name ? name : "";
    if (name) HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a Linux program (Wine starts them like its own) and waits for it.
bool RunOnLinux(const std::wstring& program, std::string arguments) {
    std::wstring line = program + L" ";
    line.append(arguments.begin(), arguments.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW((L"Z:" + program).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return false;
    WaitForSingleObject(started.hProcess, 10000);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

// Removes a folder with every link in it from the Linux side (Wine cannot
// remove the links that the Linux side made).
void RemoveWithLinks(const std::wstring& folder) { RunOnLinux(L"/bin/rm", "-rf \"" + UnixPathOf(folder) + "\""); }

// A symbolic link at link naming target, made by the Linux ln (Wine shows it
// as a folder that is a reparse point, as Windows shows a junction).
bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    RunOnLinux(L"/bin/ln", "-sfn \"" + UnixPathOf(target) + "\" \"" + UnixPathOf(link) + "\"");
    return (GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The SIDs the folder's access list names, as text.
std::vector<std::wstring> AccessListSids(const std::wstring& folder) {
    std::vector<std::wstring> sids;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return sids;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace) || static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        LPWSTR text = nullptr;
        if (ConvertSidToStringSidW(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, &text)) {
            sids.push_back(text);
            LocalFree(text);
        }
    }
    LocalFree(descriptor);
    return sids;
}

// The install folder is made as a program folder: only SYSTEM, the
// administrators and the user who installs may change it, Users may read
// it.  A link where the install folder would be is refused before anything
// is written, through it or elsewhere.
TEST_F(InstallFlow, TheInstallFolderIsAProgramFolderAndALinkInItsPlaceIsRefused) {
    server_.Route("/zorv.exe", Body(product_));
    const std::wstring parent = L"C:\\zorv-ground", folder = parent + L"\\zorv", elsewhere = L"C:\\zorv-elsewhere";
    RemoveTree(parent);
    RemoveTree(elsewhere);
    // Whatever becomes of the test, the link goes with the folders (from the
    // Linux side, which is run only here at the end: a Linux program started
    // while the test's server still serves keeps the server from answering).
    struct Cleanup {
        std::wstring parent, elsewhere;
        ~Cleanup() {
            RemoveWithLinks(parent);
            RemoveWithLinks(elsewhere);
        }
    } cleanup{parent, elsewhere};
    {
        ChildProgram program(SetupExe(), Options());
        StartAndInstallInto(program, folder);
        ASSERT_EQ(program.WaitForExit(kInstallMs), 0u) << LogText();
    }
    EndProducts();
    // Wine keeps of an access list what the Linux permissions can hold: the
    // owner, SYSTEM and the group's read access.  A folder made with the
    // drive's inherited access shows Everyone as well.
    std::vector<std::wstring> sids = AccessListSids(folder);
    ASSERT_FALSE(sids.empty());
    for (const std::wstring& sid : sids) {
        EXPECT_NE(sid, L"S-1-1-0") << "Everyone may reach the install folder";
        EXPECT_NE(sid, L"S-1-5-11") << "Authenticated Users may reach the install folder";
    }
    EXPECT_NE(LogText().find("make folder C:\\zorv-ground\\zorv (SYSTEM and Administrators full control"),
              std::string::npos)
        << LogText();
    EndProducts();
    RemoveTree(folder);
    ASSERT_FALSE(Exists(folder));

    CreateDirectoryW(elsewhere.c_str(), nullptr);
    ASSERT_TRUE(MakeFolderLink(folder, elsewhere));
    DeleteFileW(LogPath().c_str());
    size_t requestsBefore = server_.RequestsFor("/zorv.exe").size();
    ChildProgram program(SetupExe(), Options());
    StartAndInstallInto(program, folder);
    EXPECT_TRUE(WaitUntil([&] { return StatusText(program) == L"安装失败，安装路径中有联接点或符号链接，请选择其他安装目录"; },
                          30000))
        << Narrow(StatusText(program));
    ASSERT_TRUE(WaitForLog("what the install made is taken back", kInstallMs)) << LogText();
    EXPECT_TRUE(program.Running());
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((elsewhere + L"\\*").c_str(), &found);
    int entries = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do entries += wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L"..");
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(entries, 0) << "something was written through the link";
    EXPECT_EQ(server_.RequestsFor("/zorv.exe").size(), requestsBefore);
    EXPECT_FALSE(UninstallKeyExists());
    PostMessageW(program.WaitForWindow(kMainWindowTitle, 1000), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(5000), 0u);
}

// The uninstall script runs as it is meant to in folders whose names are
// legal and common but hold what the command interpreter reads as syntax:
// the ")" of "(x86)" inside a block, an "&", a "'".  Commands on the path
// named after the pieces such a name breaks into record any run; the
// PowerShell fallback (which Wine's interpreter reaches, since it keeps the
// running script's folder) records what it was asked.
TEST_F(InstallFlow, TheUninstallScriptRunsAsMeantWhateverTheFolderIsCalled) {
    server_.Route("/zorv.exe", Body(product_));
    const std::wstring planted = L"C:\\zorv-planted-commands";
    RemoveTree(planted);
    CreateDirectoryW(planted.c_str(), nullptr);
    for (const wchar_t* name : {L"x86", L"b", L"powershell"}) {
        std::ofstream batch((planted + L"\\" + name + L".bat").c_str(), std::ios::binary);
        batch << "@echo %* >> \"C:\\zorv-planted-commands\\" << Narrow(name) << ".ran\"\r\n"
              << "@echo \"dir=%UNINSTALL_DIR%\" >> \"C:\\zorv-planted-commands\\" << Narrow(name) << ".ran\"\r\n";
    }
    wchar_t path[4096] = {};
    GetEnvironmentVariableW(L"PATH", path, 4096);
    SetEnvironmentVariableW(L"PATH", (planted + L";" + path).c_str());
    for (const std::wstring& folder : {std::wstring(kFolder), std::wstring(L"C:\\a&b c\\zorv"),
                                      std::wstring(L"C:\\Bob's\\zorv")}) {
        SCOPED_TRACE(Narrow(folder));
        {
            // Installed without a window: the script is the same, the links
            // too, and there is no animation to wait for.
            ChildProgram program(SetupExe(), L"/S \"/DIR=" + folder + L"\" " + Options());
            ASSERT_EQ(program.WaitForExit(kInstallMs), 0u) << LogText();
        }
        ASSERT_TRUE(Exists(folder + L"\\卸载.exe"));
        ASSERT_TRUE(IsFile(DesktopLink()));
        DeleteFileW((planted + L"\\powershell.ran").c_str());
        ChildProgram quiet(folder + L"\\卸载.exe", L"/S", folder);
        EXPECT_EQ(quiet.WaitForExit(20000), 0u);
        EXPECT_TRUE(WaitUntil([&] { return !Exists(folder + L"\\zorv.exe") && !UninstallKeyExists(); }, 30000));
        EXPECT_TRUE(WaitUntil([&] { return !Exists(folder + L"\\卸载.exe"); }, 10000));
        EXPECT_FALSE(Exists(DesktopLink()));
        EXPECT_FALSE(Exists(StartMenuLink()));
        EXPECT_FALSE(Exists(planted + L"\\x86.ran")) << ReadWhole(planted + L"\\x86.ran");
        EXPECT_FALSE(Exists(planted + L"\\b.ran")) << ReadWhole(planted + L"\\b.ran");
        // The fallback names no folder of its own: the folder reaches it only
        // through the environment.
        EXPECT_TRUE(WaitUntil([&] { return Exists(planted + L"\\powershell.ran"); }, 10000));
        std::string asked = ReadWhole(planted + L"\\powershell.ran");
        EXPECT_NE(asked.find("-NoProfile -Command \"Start-Sleep -Milliseconds 500; Remove-Item -LiteralPath "
                             "$env:UNINSTALL_DIR -Recurse -Force\""),
                  std::string::npos)
            << asked;
        std::size_t environment = asked.find("\"dir=");
        EXPECT_NE(asked.find("\"dir=" + Narrow(folder) + "\\\""), std::string::npos) << asked;
        EXPECT_EQ(asked.substr(0, environment).find(Narrow(folder)), std::string::npos) << asked;
        RemoveTree(folder);
    }
    SetEnvironmentVariableW(L"PATH", path);
    RemoveTree(L"C:\\a&b c");
    RemoveTree(L"C:\\Bob's");
    RemoveTree(planted);
}

// A folder value of the user's shell folders, and its replacement for the
// length of a test.
class ShellFolderSetting {
public:
    ShellFolderSetting(const wchar_t* name, const std::wstring& folder) : name_(name) {
        for (const wchar_t* key : kKeys) {
            HKEY opened = nullptr;
            RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &opened);
            wchar_t value[MAX_PATH] = {};
            DWORD size = sizeof value, type = 0;
            RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
            saved_.push_back({value, type});
            RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                           DWORD((folder.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(opened);
        }
    }
    ~ShellFolderSetting() {
        for (std::size_t i = 0; i < std::size(kKeys); ++i) {
            HKEY opened = nullptr;
            RegOpenKeyExW(HKEY_CURRENT_USER, kKeys[i], 0, KEY_SET_VALUE, &opened);
            RegSetValueExW(opened, name_, 0, saved_[i].second, reinterpret_cast<const BYTE*>(saved_[i].first.c_str()),
                           DWORD((saved_[i].first.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(opened);
        }
    }
    ShellFolderSetting(const ShellFolderSetting&) = delete;
    ShellFolderSetting& operator=(const ShellFolderSetting&) = delete;

private:
    static constexpr const wchar_t* kKeys[] = {
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};
    const wchar_t* name_;
    std::vector<std::pair<std::wstring, DWORD>> saved_;
};

// Started from a folder, and with a desktop, whose names code page 936
// cannot hold (a Polish user name, a Korean download folder): the program's
// own path and the user's folders reach the system whole, so the
// uninstaller is copied and the links are made.
TEST_F(InstallFlow, AnInstallerInAFolderOutsideCodePage936InstallsWithItsUninstallerAndLinks) {
    server_.Route("/zorv.exe", Body(product_));
    const std::wstring downloads = L"C:\\users\\Public\\\u0141ukasz \uB2E4\uC6B4\uB85C\uB4DC";
    const std::wstring desktop = L"C:\\users\\Public\\\u0141ukasz Desktop";
    RemoveTree(downloads);
    RemoveTree(desktop);
    CreateDirectoryW(downloads.c_str(), nullptr);
    CreateDirectoryW(desktop.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(SetupExe().c_str(), (downloads + L"\\zorv-setup.exe").c_str(), FALSE));
    {
        ShellFolderSetting redirected(L"Desktop", desktop);
        ChildProgram program(downloads + L"\\zorv-setup.exe", Options(), downloads);
        StartAndClick(program);
        EXPECT_EQ(program.WaitForExit(kInstallMs), 0u);
    }
    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"卸载.exe")), InstallerBytes()));
    std::wstring product = std::wstring(kFolder) + L"\\zorv.exe";
    EXPECT_EQ(_wcsicmp(LinkTarget(desktop + L"\\Zorvane.lnk").c_str(), product.c_str()), 0);
    EXPECT_EQ(_wcsicmp(LinkTarget(StartMenuLink()).c_str(), product.c_str()), 0);
    EXPECT_NE(LogText().find("\xC5\x81ukasz Desktop\\Zorvane.lnk to"), std::string::npos) << LogText();
    RemoveTree(downloads);
    RemoveTree(desktop);
}

// An install without a window, as an administrator deploys it: the same
// install as a click, with no window mapped on the X server at any moment
// (the watch sees the installer's windows when it does show them), the
// product not started unless asked, and the exe to ship (stripped, signed)
// installing as the build's own does.
TEST_F(InstallFlow, ASilentInstallShowsNoWindowAndInstallsAsAClickWould) {
    if (!HaveXdotool()) GTEST_SKIP() << "needs xdotool on the host";
    server_.Route("/zorv.exe", Body(product_));
    {
        XWindowWatch watch(L"zorv-setup");
        ChildProgram shown(SetupExe(), Options());
        HWND main = shown.WaitForWindow(kMainWindowTitle, 30000);
        ASSERT_NE(main, nullptr);
        Sleep(500);
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(shown.WaitForExit(20000), 0u);
        EXPECT_FALSE(watch.Stop().empty()) << "the watch does not see the installer's windows";
    }
    const std::wstring dist = WinePathOf(ZORV_DIST_EXE);
    {
        // The exe to ship carries a signature the system's check accepts.
        WINTRUST_FILE_INFO file{};
        file.cbStruct = sizeof file;
        file.pcwszFilePath = dist.c_str();
        WINTRUST_DATA data{};
        data.cbStruct = sizeof data;
        data.dwUIChoice = WTD_UI_NONE;
        data.fdwRevocationChecks = WTD_REVOKE_NONE;
        data.dwUnionChoice = WTD_CHOICE_FILE;
        data.pFile = &file;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        EXPECT_EQ(WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data), 0);
        XWindowWatch watch(L"zorv-setup");
        ChildProgram silent(dist, L"/S " + Options());
        EXPECT_EQ(silent.WaitForExit(kInstallMs), 0u) << LogText();
        EXPECT_EQ(watch.Stop(), "") << "a window was mapped";
    }
    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"zorv.exe")), product_));
    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"卸载.exe")), ReadWhole(dist)));
    EXPECT_EQ(ReadUninstallValue(L"InstallLocation").text, std::wstring(kFolder) + L"\\");
    EXPECT_TRUE(IsFile(DesktopLink()));
    EXPECT_TRUE(IsFile(StartMenuLink()));
    EXPECT_NE(LogText().find("the product is not started"), std::string::npos) << LogText();
    EXPECT_FALSE(Exists(InFolder(L"zorv-started.txt")));
    ClearInstallation();

    const std::wstring apps = L"C:\\Silent Apps", folder = apps + L"\\zorv";
    RemoveTree(apps);
    {
        XWindowWatch watch(L"zorv-setup");
        ChildProgram silent(SetupExe(), L"/s \"/dir=" + apps + L"\" /NoShortcuts /START " + Options());
        EXPECT_EQ(silent.WaitForExit(kInstallMs), 0u) << LogText();
        EXPECT_EQ(watch.Stop(), "") << "a window was mapped";
    }
    EXPECT_TRUE(SameBytes(ReadWhole(folder + L"\\zorv.exe"), product_));
    EXPECT_EQ(ReadUninstallValue(L"InstallLocation").text, folder + L"\\");
    EXPECT_FALSE(Exists(DesktopLink()));
    EXPECT_FALSE(Exists(StartMenuLink()));
    EXPECT_TRUE(WaitUntil([&] { return Exists(folder + L"\\zorv-started.txt"); }, 10000)) << "/START: not started";
    EndProducts();
    RemoveTree(apps);
}

// What lies in an install folder before the install is no part of it.  An
// older version's script that cannot be written over (held open) is not
// run; links the older version's removal deletes are made again after it;
// a folder that exists already (made with the drive's access, which lets
// every user in) is taken over as a program folder, and a file of the
// installer's that someone left there, read-only, is made anew.
TEST_F(InstallFlow, WhatLayInTheFolderIsNeitherRunNorKept) {
    server_.Route("/zorv.exe", Body(product_));
    const std::wstring marker = L"C:\zorv-old-script-ran.txt";
    DeleteFileW(marker.c_str());
    auto silentInstall = [&](const std::wstring& folder) {
        ChildProgram silent(SetupExe(), L"/S \"/DIR=" + folder + L"\" " + Options());
        return silent.WaitForExit(kInstallMs);
    };
    ASSERT_EQ(silentInstall(L"C:\\Program Files (x86)"), 0u) << LogText();
    EndProducts();
    const std::wstring script = InFolder(L"Uninstall.bat");
    {
        std::ofstream planted(script.c_str(), std::ios::binary | std::ios::trunc);
        planted << "@echo ran > \"" << Narrow(marker) << "\"\r\n";
    }
    {
        // Held open, the script cannot be written over (it can be read and
        // deleted) until the download has begun, which is slow here.
        Reply slow = Body(product_);
        slow.trickleBytes = 65536;
        slow.trickleGapMs = 100;
        server_.Route("/zorv.exe", slow);
        size_t requestsBefore = server_.RequestsFor("/zorv.exe").size();
        HANDLE held = CreateFileW(script.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        ChildProgram silent(SetupExe(), L"/S " + Options());
        EXPECT_TRUE(WaitUntil([&] { return server_.RequestsFor("/zorv.exe").size() > requestsBefore; }, kInstallMs));
        CloseHandle(held);
        ASSERT_EQ(silent.WaitForExit(kInstallMs), 0u) << LogText();
        server_.Route("/zorv.exe", Body(product_));
    }
    EXPECT_FALSE(Exists(marker)) << "the script that lay in the folder was run";
    EXPECT_NE(LogText().find("its uninstall script is not run"), std::string::npos) << LogText();
    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"zorv.exe")), product_));
    EXPECT_TRUE(IsFile(DesktopLink())) << "the older version's removal took the new link";
    EXPECT_TRUE(IsFile(StartMenuLink())) << "the older version's removal took the new link";
    EndProducts();
    ClearInstallation();

    const std::wstring parent = L"C:\\zorv-made-before", folder = parent + L"\\zorv";
    RemoveTree(parent);
    CreateDirectoryW(parent.c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    {
        std::ofstream planted((folder + L"\\卸载.exe").c_str(), std::ios::binary);
        planted << "planted";
    }
    SetFileAttributesW((folder + L"\\卸载.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(silentInstall(parent), 0u) << LogText();
    EndProducts();
    EXPECT_TRUE(SameBytes(ReadWhole(folder + L"\\卸载.exe"), ReadWhole(SetupExe())));
    // Wine shows an existing folder's access as its Linux permissions, which
    // a new access list does not change: the log tells that it was set.
    EXPECT_NE(LogText().find("claim folder C:\\zorv-made-before\\zorv (owner Administrators, the access of a "
                             "program folder): ok"),
              std::string::npos)
        << LogText();
    ClearInstallation();
    RemoveTree(parent);
}

// Each way a silent install can end has its own exit code, and none of them
// is 0.
TEST_F(InstallFlow, EachSilentFailureEndsWithItsOwnCode) {
    auto silentInstall = [&](const std::wstring& arguments, const std::wstring& url) {
        ChildProgram silent(SetupExe(), L"/S /URL=" + url + L" " + LogOption() + L" " + arguments);
        DWORD code = silent.WaitForExit(kInstallMs);
        return code;
    };
    auto routed = [](HttpTestServer& server, const Reply& reply) {
        server.Route("/zorv.exe", reply);
        std::wstring url;
        for (char c : server.Url("/zorv.exe")) url.push_back(wchar_t(c));
        return url;
    };
    HttpTestServer good;
    std::wstring goodUrl = routed(good, Body(product_));
    // A folder code page 936 cannot name, and none at all: refused.
    EXPECT_EQ(silentInstall(L"\"/DIR=C:\\\u0141\"", goodUrl), 2u) << LogText();
    EXPECT_EQ(silentInstall(L"/DIR=", goodUrl), 2u);
    EXPECT_EQ(good.RequestsFor("/zorv.exe").size(), 0u);
    // No whole product: no length, twice.
    HttpTestServer lengthless;
    Reply cut = Body(product_);
    cut.framing = Framing::CloseDelimited;
    EXPECT_EQ(silentInstall(L"", routed(lengthless, cut)), 4u);
    EXPECT_EQ(lengthless.RequestsFor("/zorv.exe").size(), 2u);
    // Not the publisher's.
    HttpTestServer unsigned_;
    EXPECT_EQ(silentInstall(L"", routed(unsigned_, Body(ReadWhole(WinePathOf(ZORV_UNSIGNED_PRODUCT_EXE))))), 6u);
    // A step after the download that cannot be done.
    ClearInstallation();
    CreateDirectoryW(kFolder, nullptr);
    CreateDirectoryW(InFolder(L"Uninstall.bat").c_str(), nullptr);
    EXPECT_EQ(silentInstall(L"", goodUrl), 7u);
    RemoveDirectoryW(InFolder(L"Uninstall.bat").c_str());
    for (const wchar_t* name : {L"zorv.exe", L"卸载.exe"}) EXPECT_FALSE(Exists(InFolder(name))) << Narrow(name);
    EXPECT_FALSE(UninstallKeyExists());
    // An older version that cannot be removed.
    EXPECT_EQ(silentInstall(L"", goodUrl), 0u);
    HANDLE lock = CreateFileW(InFolder(L"zorv.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(silentInstall(L"", goodUrl), 3u);
    CloseHandle(lock);
    // Another installer that runs.
    ChildProgram shown(SetupExe(), Options());
    HWND main = shown.WaitForWindow(kMainWindowTitle, 30000);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(silentInstall(L"", goodUrl), 8u);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(shown.WaitForExit(20000), 0u);
    EXPECT_NE(LogText().find("exit code 8"), std::string::npos);
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
        // Every other case without the window (the same steps, exit code 7,
        // no animation to wait for).
        if ((&step - cases) % 2 == 0) {
            ChildProgram program(SetupExe(), Options());
            StartAndClick(program);
            EXPECT_TRUE(WaitUntil([&] { return StatusText(program) == step.message; }, kInstallMs))
                << Narrow(StatusText(program));
            ExpectNothingInstalledAndClose(program);
        } else {
            ChildProgram silent(SetupExe(), L"/S " + Options());
            EXPECT_EQ(silent.WaitForExit(kInstallMs), 7u) << LogText();
            EXPECT_FALSE(Exists(InFolder(L"zorv.exe")));
            EXPECT_FALSE(IsFile(DesktopLink()));
            EXPECT_FALSE(IsFile(StartMenuLink()));
            EXPECT_FALSE(UninstallKeyExists());
            EXPECT_NE(LogText().find(Utf8(step.message)), std::string::npos) << LogText();
        }
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
    EndProducts();

    // A copy in a folder that only ends in the product's letters, or on the
    // desktop, refuses and touches nothing.
    // Nor does one in another folder named like the product's that holds a
    // product file (unpacked from an archive, say): only the registered
    // installation is removed.
    std::wstring desktop = Special(CSIDL_DESKTOPDIRECTORY);
    const std::wstring unpacked = L"C:\\users\\Public\\Downloads\\zorv";
    CreateDirectoryW(L"C:\\users\\Public\\Downloads", nullptr);
    for (const std::wstring& other : {std::wstring(L"C:\\myzorv"), desktop, unpacked}) {
        CreateDirectoryW(other.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(InFolder(L"卸载.exe").c_str(), (other + L"\\卸载.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(InFolder(L"zorv.exe").c_str(), (other + L"\\zorv.exe").c_str(), FALSE));
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
        ChildProgram quietlyRefused(other + L"\\卸载.exe", L"/S", other);
        EXPECT_EQ(quietlyRefused.WaitForExit(20000), 2u);
        EXPECT_TRUE(Exists(keep));
        DeleteFileW((other + L"\\卸载.exe").c_str());
        DeleteFileW((other + L"\\zorv.exe").c_str());
        DeleteFileW(keep.c_str());
    }
    RemoveTree(L"C:\\myzorv");
    RemoveTree(unpacked);

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
    // shell starts it; the script it leaves runs from System32.
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
    EXPECT_EQ(DirectoriesOfProcessesNamed(L"cmd.exe", 3000), std::set<std::wstring>{SystemFolder()});
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
    EndProducts();
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
    ChildProgram program(SetupExe(), Options());
    ASSERT_TRUE(program.started());
    HWND main = program.WaitForWindow(kMainWindowTitle, 30000);
    ASSERT_NE(main, nullptr);
    HWND options = TopLevelOfSize(program.id(), layout::kOptionsWidth, layout::kOptionsHeight);
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
    EndProducts();
    RemoveTree(L"C:\\Keys");
}

// Alt+F4 with the focus in the options panel ends the program as the close
// button does (the panel's own close would leave the program without it).
TEST_F(InstallFlow, AltF4InTheOptionsPanelEndsTheProgramLikeTheCloseButton) {
    if (!HaveXdotool()) GTEST_SKIP() << "needs xdotool on the host";
    ChildProgram program(SetupExe(), Options());
    ASSERT_TRUE(program.started());
    HWND main = program.WaitForWindow(kMainWindowTitle, 30000);
    ASSERT_NE(main, nullptr);
    HWND options = TopLevelOfSize(program.id(), layout::kOptionsWidth, layout::kOptionsHeight);
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
    EndProducts();
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
    // On the full drive both attempts fail after part of the body; on the
    // read-only one the install folder cannot be made, which ends the
    // install before anything is fetched.
    const struct {
        const wchar_t* variable;
        const wchar_t* message;
        size_t requests;
    } drives[] = {
        {L"ZORV_TINY_DRIVE", L"获取下载文件失败，请尝试重启软件解决问题", 2},
        {L"ZORV_READONLY_DRIVE", L"安装失败，无法写入安装目录中的文件，请检查安装目录后重试", 0},
    };
    for (const auto& expected : drives) {
        wchar_t drive[8] = {};
        if (GetEnvironmentVariableW(expected.variable, drive, 8) == 0)
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
        HWND text = ControlAt(status, layout::kStatusTextLeft, layout::kStatusTextTop, layout::kStatusTextHeight);
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return WindowText(text) == expected.message; }, 40000)) << Narrow(WindowText(text));
        // Past the animation's shortcut step, whose links go again.
        ASSERT_TRUE(WaitForLog("what the install made is taken back", kInstallMs)) << LogText();
        DeleteFileW(LogPath().c_str());
        EXPECT_EQ(server_.RequestsFor("/zorv.exe").size() - requestsBefore, expected.requests);
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

// The product from an https:// address, served by the TLS nginx of the
// fixture tls_servers, whose test CA it put into the prefix's machine
// roots: the engine's TLS session runs over Schannel and checks the
// certificate itself.  A certificate for another name is refused at once:
// the installer's own reconnects (999, 5 s apart) would keep a refusal
// taken for a network error going far beyond the wait here.
TEST_F(InstallFlow, AnHttpsAddressInstallsAndACertificateForAnotherNameIsRefused) {
    const TlsServers& tls = TheTlsServers();
    ASSERT_NE(tls.Port("good"), 0) << "no server list: run under the tls_servers fixture";
    const std::wstring served = WinePathOf(tls.docRoot.c_str()) + L"\\zorv.exe";
    ASSERT_TRUE(CopyFileW(WinePathOf(ZORV_PRODUCT_EXE).c_str(), served.c_str(), FALSE));
    auto address = [](uint16_t port) { return L"/URL=https://localhost:" + std::to_wstring(port) + L"/zorv.exe"; };
    {
        ChildProgram silent(SetupExe(), L"/S " + address(tls.Port("good")) + L" " + LogOption());
        EXPECT_EQ(silent.WaitForExit(kInstallMs), 0u) << LogText();
    }
    EXPECT_TRUE(SameBytes(ReadWhole(InFolder(L"zorv.exe")), product_));
    EXPECT_NE(LogText().find("https://localhost:" + std::to_string(tls.Port("good")) + "/zorv.exe"), std::string::npos)
        << LogText();
    EXPECT_EQ(ReadUninstallValue(L"DisplayVersion").text, L"1.2.3.4");
    ClearInstallation();
    DeleteFileW(LogPath().c_str());
    {
        ChildProgram refused(SetupExe(), L"/S " + address(tls.Port("wronghost")) + L" " + LogOption());
        EXPECT_EQ(refused.WaitForExit(30000), 4u) << LogText();
    }
    EXPECT_NE(LogText().find(Utf8(L"不是颁发给该服务器名称的")), std::string::npos) << LogText();
    EXPECT_FALSE(Exists(InFolder(L"zorv.exe")));
    EXPECT_FALSE(Exists(InFolder(L"zorv.exe.download")));
    EXPECT_FALSE(UninstallKeyExists());
    DeleteFileW(served.c_str());
}

}  // namespace
}  // namespace zorv::testing
