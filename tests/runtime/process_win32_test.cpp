// The ways the runtime ends a process, and what it sees at start, watched
// from outside in the child program runtime_child_win32.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/codepage_win32.h"
#include "runtime_child_modes.h"
#include "windows_test_support.h"

namespace zorv {
namespace {

using testing::ChildProgramPath;
using testing::ChildResult;
using testing::ForceDelete;
using testing::kChildImpossibleAllocation;
using testing::kChildRequestedCode;
using testing::kChildWorkerCode;
using testing::kFatalExitCode;
using testing::RunChild;
using testing::RunChildProgram;
using testing::ScratchFolder;

std::wstring TextOf(HWND window) {
    wchar_t buffer[2048] = {};
    GetWindowTextW(window, buffer, 2048);
    return buffer;
}

std::wstring ClassOf(HWND window) {
    wchar_t buffer[64] = {};
    GetClassNameW(window, buffer, 64);
    return buffer;
}

// What a message box of another process shows.
struct SeenBox {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    HWND owner = nullptr;
    std::vector<std::wstring> buttons;
    bool hasIcon = false;
};

BOOL CALLBACK CollectControl(HWND control, LPARAM parameter) {
    auto* box = reinterpret_cast<SeenBox*>(parameter);
    std::wstring kind = ClassOf(control);
    if (_wcsicmp(kind.c_str(), L"Button") == 0) {
        box->buttons.push_back(TextOf(control));
    } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
        if ((GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            box->hasIcon = true;
        } else if (TextOf(control).size() > box->text.size()) {
            box->text = TextOf(control);
        }
    }
    return TRUE;
}

struct BoxSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindDialogOf(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window) && ClassOf(window) == L"#32770") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Runs the child in a mode that shows a message box: the box is read, then
// closed with its OK button.
ChildResult RunChildWithBox(const std::wstring& mode, SeenBox& box) {
    return RunChildProgram(ChildProgramPath(), mode, 30000, [&](DWORD process) {
        BoxSearch search{process, nullptr};
        EnumWindows(FindDialogOf, reinterpret_cast<LPARAM>(&search));
        if (!search.found) return false;
        box.window = search.found;
        box.caption = TextOf(search.found);
        box.owner = GetWindow(search.found, GW_OWNER);
        EnumChildWindows(search.found, CollectControl, reinterpret_cast<LPARAM>(&box));
        PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return true;
    });
}

bool HaveDisplay() { return GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0; }

TEST(ChildProcess, RunDirectoryAndFileNameOfAChineseFolder) {
    ScratchFolder scratch("运行目录");
    std::string exe = scratch / "安装程序.exe";
    ASSERT_TRUE(CopyFileW(ChildProgramPath().c_str(), WideFromGbk(exe).c_str(), FALSE));
    ChildResult run = RunChildProgram(WideFromGbk(exe), L"paths", 30000, [](DWORD) { return true; });
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    // Run directory, file name, and the run directory as current directory.
    EXPECT_EQ(run.output, scratch.path() + "\n安装程序.exe\n" + scratch.path() + "\n");
}

TEST(ChildProcess, ProgramInADriveRootHasTheBareDriveAsRunDirectory) {
    std::wstring exe = L"C:\\\u6839\u76ee\u5f55-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    ASSERT_TRUE(CopyFileW(ChildProgramPath().c_str(), exe.c_str(), FALSE));
    ChildResult run = RunChildProgram(exe, L"paths", 30000, [](DWORD) { return true; });
    ForceDelete(exe);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output, "C:\n" + GbkFromWide(exe.substr(3)) + "\nC:\\\n");
}

TEST(ChildProcess, ExitRequestFromAWorkerRunsTheExitSequenceOnTheUiThread) {
    ChildResult run = RunChild(L"exit-request");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, static_cast<DWORD>(kChildRequestedCode));
    // Window teardown first, then each routine once in registration order.
    EXPECT_EQ(run.output, "teardown;first;second;");
}

TEST(ChildProcess, ExitProgramOnAWorkerEndsTheProcessWithItsCode) {
    ChildResult run = RunChild(L"worker-exit");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, static_cast<DWORD>(kChildWorkerCode));
    // Either the worker ended the process at once, or the UI thread took
    // the request first and ran the routine once; never twice, never a hang.
    EXPECT_TRUE(run.output == "" || run.output == "first;") << run.output;
}

TEST(ChildProcess, FatalErrorBoxThenExitCodeMinusOne) {
    if (!HaveDisplay()) GTEST_SKIP() << "needs a display (run under scripts/with-xvfb)";
    SeenBox box;
    ChildResult run = RunChildWithBox(L"fatal-box", box);
    ASSERT_TRUE(run.started);
    ASSERT_NE(box.window, nullptr) << "no message box appeared";
    EXPECT_EQ(box.caption, WideFromGbk("错误"));
    EXPECT_EQ(box.text, WideFromGbk("运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：数据或数组类型不匹配\r\n\r\n12, 34\r\n"));
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.buttons.size(), 1u);
    EXPECT_EQ(run.exitCode, kFatalExitCode);
}

TEST(ChildProcess, FatalErrorHandlerSuppressesTheBoxAndTheExitRoutinesRun) {
    ChildResult run = RunChild(L"fatal-hook", 30000);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, kFatalExitCode);
    EXPECT_EQ(run.output, "载入启动窗口失败|\r\n7, -8\r\nfirst;");
}

TEST(ChildProcess, FatalErrorOnAWorkerEndsTheProcess) {
    ChildResult run = RunChild(L"fatal-worker");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, kFatalExitCode);
    EXPECT_EQ(run.output, "数组成员引用下标超出定义范围|\r\n3, 4\r\n");
}

TEST(ChildProcess, FailedAllocationIsFatal) {
    ChildResult run = RunChild(L"alloc-hook");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, kFatalExitCode);
    EXPECT_EQ(run.output, "分配 " + std::to_string(kChildImpossibleAllocation) + " 字节内存失败!|\r\n0, 0\r\n");
}

TEST(ChildProcess, FailedAllocationShowsTheBox) {
    if (!HaveDisplay()) GTEST_SKIP() << "needs a display (run under scripts/with-xvfb)";
    SeenBox box;
    ChildResult run = RunChildWithBox(L"alloc-box", box);
    ASSERT_TRUE(run.started);
    ASSERT_NE(box.window, nullptr) << "no message box appeared";
    EXPECT_EQ(box.caption, WideFromGbk("错误"));
    EXPECT_EQ(box.text, WideFromGbk("运行时出错!\r\n\r\n错误信息：分配 " + std::to_string(kChildImpossibleAllocation) +
                                    " 字节内存失败!\r\n\r\n0, 0\r\n"));
    EXPECT_EQ(run.exitCode, kFatalExitCode);
}

}  // namespace
}  // namespace zorv
