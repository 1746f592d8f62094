// The shell commands: programs started through the shell, shell links read
// back through the shell's own interfaces, special folders, version
// resources and threads.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/runtime.h"
#include "runtime/unique_handle_win32.h"
#include "windows_test_support.h"

namespace zorv {
namespace {

using testing::ChildProgramPath;
using testing::Exists;
using testing::PutFile;
using testing::ReadWholeFile;
using testing::ScratchFolder;

// The test program is the UI thread of its runtime (OLE on this thread).
class ShellTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitRuntime(); }
};

// Waits for a file that another process writes, up to 30 s.
bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 600; ++i) {
        if (Exists(path)) return true;
        Sleep(50);
    }
    return false;
}

std::string ChildGbk() { return GbkFromWide(ChildProgramPath()); }

// The child program's report of its start (show command, arguments,
// current directory), written to report.
struct StartReport {
    std::string show, arguments, directory;
};
StartReport ReadReport(const std::string& report) {
    std::string text = ReadWholeFile(report);
    StartReport parsed;
    std::size_t first = text.find('\n');
    std::size_t second = text.find('\n', first + 1);
    if (first == std::string::npos || second == std::string::npos) return {"(bad report: " + text + ")", "", ""};
    parsed.show = text.substr(0, first);
    parsed.arguments = text.substr(first + 1, second - first - 1);
    parsed.directory = text.substr(second + 1);
    if (!parsed.directory.empty() && parsed.directory.back() == '\n') parsed.directory.pop_back();
    return parsed;
}

TEST_F(ShellTest, ShellRunPassesShowModeParametersAndDirectory) {
    ScratchFolder scratch("启动测试");
    struct Case {
        std::optional<int> show;
        int expected;
    };
    int index = 0;
    for (Case run : {Case{1, SW_HIDE}, Case{std::nullopt, SW_SHOWNORMAL}, Case{2, SW_SHOWNORMAL},
                     Case{3, SW_SHOWMINIMIZED}, Case{6, SW_MINIMIZE}, Case{0, SW_SHOWNORMAL},
                     Case{7, SW_SHOWNORMAL}}) {
        std::string report = scratch / ("报告" + std::to_string(index++) + ".txt");
        std::string parameters = "startup \"" + report + "\" 参数一 \"two words\"";
        int result = ShellRun(4, ChildGbk(), parameters, scratch.path(), run.show);
        EXPECT_GT(result, 32);
        ASSERT_TRUE(WaitForFile(report)) << "the started program wrote no report";
        StartReport started = ReadReport(report);
        EXPECT_EQ(started.show, std::to_string(run.expected)) << "show " << run.show.value_or(-1);
        EXPECT_EQ(started.arguments, "参数一;two words;");
        EXPECT_EQ(started.directory, scratch.path());
    }
}

TEST_F(ShellTest, ShellRunWithTheDefaultVerbAndNoDirectory) {
    ScratchFolder scratch("默认动词");
    std::string report = scratch / "报告.txt";
    EXPECT_GT(ShellRun(std::nullopt, ChildGbk(), "startup \"" + report + "\""), 32);
    ASSERT_TRUE(WaitForFile(report));
    EXPECT_EQ(ReadReport(report).arguments, "");
}

TEST_F(ShellTest, ShellRunOfABatchFileHidden) {
    // The way the uninstall script is started: "open", hidden.
    ScratchFolder scratch("脚本测试");
    std::string script = scratch / "Uninstall.bat";
    // ASCII only inside the script: cmd reads it in the ANSI code page.
    std::string done = scratch / "done.txt";
    ASSERT_TRUE(PutFile(script, "@echo off\r\necho ran> \"%~dp0done.tmp\"\r\n"
                                "move \"%~dp0done.tmp\" \"%~dp0done.txt\" >nul\r\n"));
    EXPECT_GT(ShellRun(4, script, std::nullopt, std::nullopt, 1), 32);
    ASSERT_TRUE(WaitForFile(done));
    EXPECT_EQ(ReadWholeFile(done), "ran\r\n");
}

TEST_F(ShellTest, ShellRunOfAMissingFileReportsTheError) {
    ScratchFolder scratch("缺少文件");
    EXPECT_LE(ShellRun(4, scratch / "没有.exe"), 32);
}

struct LinkContents {
    bool loaded = false;
    // The target as the shell resolves it, from the stored item list.  (The
    // path text stored beside it is in the ANSI code page under Wine, "?"
    // for every Chinese character under code page 1252.)
    std::wstring path;
    std::wstring arguments, directory, description, iconPath;
    int iconIndex = -1;
    int show = -1;
};

LinkContents LoadLink(const std::wstring& file) {
    LinkContents contents;
    ComRef<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out()))) {
        return contents;
    }
    ComRef<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.out()))) return contents;
    if (FAILED(persist->Load(file.c_str(), STGM_READ))) return contents;
    contents.loaded = true;
    wchar_t buffer[MAX_PATH * 2] = {};
    PIDLIST_ABSOLUTE items = nullptr;
    if (SUCCEEDED(link->GetIDList(&items)) && items) {
        buffer[0] = 0;
        if (SHGetPathFromIDListW(items, buffer)) contents.path = buffer;
        CoTaskMemFree(items);
    }
    buffer[0] = 0;
    if (SUCCEEDED(link->GetArguments(buffer, MAX_PATH * 2))) contents.arguments = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH * 2))) contents.directory = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH * 2))) contents.description = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH * 2, &contents.iconIndex))) contents.iconPath = buffer;
    link->GetShowCmd(&contents.show);
    return contents;
}

TEST_F(ShellTest, ShortcutHoldsTargetArgumentsDirectoryAndDescription) {
    ScratchFolder scratch("快捷方式测试");
    std::string target = scratch / "程序\\zorv.exe";
    CreateDirectoryW(WideFromGbk(scratch / "程序").c_str(), nullptr);
    ASSERT_TRUE(PutFile(target, "MZ"));
    std::string link = scratch / "Zorvane";
    ASSERT_TRUE(CreateShortcut(link, target, "佐文 Zorvane", "--启动 1", scratch / "程序"));
    EXPECT_TRUE(Exists(link + ".lnk"));
    EXPECT_FALSE(Exists(link));
    LinkContents contents = LoadLink(WideFromGbk(link + ".lnk"));
    ASSERT_TRUE(contents.loaded);
    EXPECT_EQ(contents.path, WideFromGbk(target));
    EXPECT_EQ(contents.arguments, WideFromGbk("--启动 1"));
    EXPECT_EQ(contents.directory, WideFromGbk(scratch / "程序"));
    EXPECT_EQ(contents.description, WideFromGbk("佐文 Zorvane"));
    // The link format keeps normal, maximised and minimised only: SW_SHOW is
    // stored as normal.
    EXPECT_EQ(contents.show, SW_SHOWNORMAL);
    // No icon of its own: the shell shows the target's.
    EXPECT_EQ(contents.iconPath, L"");
    EXPECT_EQ(contents.iconIndex, 0);
}

TEST_F(ShellTest, ShortcutWithoutTheOptionalTexts) {
    ScratchFolder scratch("快捷方式简单");
    std::string target = scratch / "zorv.exe";
    ASSERT_TRUE(PutFile(target, "MZ"));
    ASSERT_TRUE(CreateShortcut(scratch / "简单", target));
    LinkContents contents = LoadLink(WideFromGbk(scratch / "简单.lnk"));
    ASSERT_TRUE(contents.loaded);
    EXPECT_EQ(contents.path, WideFromGbk(target));
    EXPECT_EQ(contents.arguments, L"");
    EXPECT_EQ(contents.directory, L"");
    EXPECT_EQ(contents.description, L"");
}

TEST_F(ShellTest, ShortcutNameGetsLnkOnlyWithoutAnyDot) {
    ScratchFolder scratch("扩展名");
    std::string target = scratch / "zorv.exe";
    ASSERT_TRUE(PutFile(target, "MZ"));
    ASSERT_TRUE(CreateShortcut(scratch / "已有.lnk", target));
    EXPECT_TRUE(Exists(scratch / "已有.lnk"));
    EXPECT_FALSE(Exists(scratch / "已有.lnk.lnk"));
    // A dot in a folder name counts as well: the link keeps its bare name.
    CreateDirectoryW(WideFromGbk(scratch / "v1.0").c_str(), nullptr);
    ASSERT_TRUE(CreateShortcut(scratch / "v1.0\\链接", target));
    EXPECT_TRUE(Exists(scratch / "v1.0\\链接"));
    EXPECT_FALSE(Exists(scratch / "v1.0\\链接.lnk"));
    EXPECT_TRUE(LoadLink(WideFromGbk(scratch / "v1.0\\链接")).loaded);
}

TEST_F(ShellTest, ShortcutFailuresGiveFalse) {
    ScratchFolder scratch("快捷方式失败");
    EXPECT_FALSE(CreateShortcut(scratch / "没有目录\\链接", scratch / "zorv.exe"));
}

TEST_F(ShellTest, ShortcutFromAThreadWithoutCom) {
    ScratchFolder scratch("线程快捷方式");
    std::string target = scratch / "zorv.exe";
    ASSERT_TRUE(PutFile(target, "MZ"));
    bool saved = false;
    HRESULT afterwards = S_OK;
    std::thread([&] {
        saved = CreateShortcut(scratch / "线程", target, std::nullopt, "a");
        // The call's own apartment is gone again: the thread is as before.
        afterwards = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(afterwards)) CoUninitialize();
    }).join();
    EXPECT_TRUE(saved);
    EXPECT_EQ(afterwards, S_OK);
    EXPECT_EQ(LoadLink(WideFromGbk(scratch / "线程.lnk")).arguments, L"a");
}

TEST_F(ShellTest, SpecialFoldersEndWithABackslash) {
    for (int kind = 1; kind <= 11; ++kind) {
        std::string folder = GetSpecialFolder(kind);
        ASSERT_FALSE(folder.empty()) << "kind " << kind;
        EXPECT_EQ(folder.back(), '\\') << "kind " << kind;
        EXPECT_NE(folder.substr(folder.size() - 2), "\\\\") << "kind " << kind;
    }
    wchar_t expected[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, expected, CSIDL_DESKTOPDIRECTORY, FALSE));
    EXPECT_EQ(GetSpecialFolder(kDesktopFolder), GbkFromWide(expected) + "\\");
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, expected, CSIDL_STARTMENU, FALSE));
    EXPECT_EQ(GetSpecialFolder(kStartMenuFolder), GbkFromWide(expected) + "\\");
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, expected, CSIDL_PROGRAMS, FALSE));
    EXPECT_EQ(GetSpecialFolder(kProgramsFolder), GbkFromWide(expected) + "\\");
    GetSystemDirectoryW(expected, MAX_PATH);
    EXPECT_EQ(GetSpecialFolder(kSystemFolder), GbkFromWide(expected) + "\\");
    GetTempPathW(MAX_PATH, expected);  // ends with a backslash already
    EXPECT_EQ(GetSpecialFolder(kTempFolder), GbkFromWide(expected));
    EXPECT_EQ(GetSpecialFolder(0), "");
    EXPECT_EQ(GetSpecialFolder(12), "");
    EXPECT_EQ(GetSpecialFolder(-1), "");
}

TEST(FileVersionInfo, StringsOfTheFirstTranslation) {
    FileVersionInfo info;
    ASSERT_TRUE(ReadFileVersionInfo(GbkFromWide(ChildProgramPath()), info));
    EXPECT_EQ(info.fileVersion, "2.5.0.17");
    EXPECT_EQ(info.fileDescription, "运行时测试子程序");
    EXPECT_EQ(info.internalName, "runtime_child");
    EXPECT_EQ(info.companyName, "佐文测试");
    EXPECT_EQ(info.legalCopyright, "(C) 2026 佐文");
    EXPECT_EQ(info.legalTrademarks, "");
    EXPECT_EQ(info.originalFilename, "子程序.exe");
    EXPECT_EQ(info.productName, "Zorvane");
    EXPECT_EQ(info.productVersion, "2.5");
    // 130 double-byte characters: cut to 127 of them, never inside one.
    std::string cut;
    for (int i = 0; i < 127; ++i) cut += "长";
    EXPECT_EQ(info.comments, cut);
    // Every translation's language, in table order.
    wchar_t chinese[256], english[256];
    VerLanguageNameW(0x0804, chinese, 256);
    VerLanguageNameW(0x0409, english, 256);
    EXPECT_EQ(info.languageNames, GbkFromWide(chinese) + ", " + GbkFromWide(english));
    EXPECT_NE(GbkFromWide(chinese), GbkFromWide(english));
}

TEST(FileVersionInfo, WithoutATranslationTableThe040904E4Strings) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    FileVersionInfo info;
    info.languageNames = "old";
    ASSERT_TRUE(ReadFileVersionInfo(GbkFromWide(self), info));
    EXPECT_EQ(info.fileVersion, "1.2.3.4");
    EXPECT_EQ(info.productName, "runtime tests");
    EXPECT_EQ(info.fileDescription, "");
    EXPECT_EQ(info.languageNames, "");
}

TEST(FileVersionInfo, NoResourceLeavesTheRecordUntouched) {
    ScratchFolder scratch("版本");
    std::string plain = scratch / "说明.txt";
    ASSERT_TRUE(PutFile(plain, "no resource here"));
    FileVersionInfo info;
    info.fileVersion = "kept";
    info.comments = "也保留";
    EXPECT_FALSE(ReadFileVersionInfo(plain, info));
    EXPECT_FALSE(ReadFileVersionInfo(scratch / "没有.exe", info));
    EXPECT_EQ(info.fileVersion, "kept");
    EXPECT_EQ(info.comments, "也保留");
}

DWORD WINAPI StoreParameter(void* parameter) {
    static_cast<std::atomic<int>*>(parameter)->store(42);
    return 17;
}

TEST(StartThread, RunsTheRoutineWithItsParameterAndHandsOverTheHandle) {
    std::atomic<int> seen{0};
    HANDLE handle = nullptr;
    ASSERT_TRUE(StartThread(StoreParameter, &seen, &handle));
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(WaitForSingleObject(handle, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(handle, &code);
    EXPECT_EQ(code, 17u);
    EXPECT_EQ(seen.load(), 42);
    CloseHandle(handle);
}

TEST(StartThread, WithoutAHandleVariableTheThreadStillRuns) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD mainThread = GetCurrentThreadId();
    std::atomic<DWORD> ranOn{0};
    ASSERT_TRUE(StartThread([&] {
        ranOn = GetCurrentThreadId();
        SetEvent(done);
    }));
    ASSERT_EQ(WaitForSingleObject(done, 30000), WAIT_OBJECT_0);
    EXPECT_NE(ranOn.load(), 0u);
    EXPECT_NE(ranOn.load(), mainThread);
    CloseHandle(done);
}

}  // namespace
}  // namespace zorv
