#include "runtime/fatal.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "fatal_capture.h"

namespace zorv {
namespace {

using testing::CapturedFatalError;
using testing::FatalErrorCapture;

TEST(FatalErrorText, CodeMessageAndLocationInOrder) {
    EXPECT_EQ(BuildFatalErrorText(5, "数据或数组类型不匹配", "\r\n1, 2\r\n"),
              "运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：数据或数组类型不匹配\r\n\r\n1, 2\r\n");
    EXPECT_EQ(BuildFatalErrorText(0, "载入启动窗口失败", "\r\n0, 0\r\n"),
              "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n\r\n0, 0\r\n");
    EXPECT_EQ(BuildFatalErrorText(3, "", "\r\n0, 0\r\n"), "运行时出错!\r\n\r\n错误代码：3\r\n\r\n0, 0\r\n");
    EXPECT_EQ(kFatalErrorCaption, "错误");
}

TEST(FatalErrorText, ErrorTableEnds) {
    EXPECT_EQ(RuntimeErrorMessage(1), "数组成员引用下标超出定义范围");
    EXPECT_EQ(RuntimeErrorMessage(4), "数组成员引用下标必须大于等于1");
    EXPECT_EQ(RuntimeErrorMessage(6), "调用DLL命令后发现堆栈错误");
    EXPECT_EQ(RuntimeErrorMessage(11), "所提供参数的数据类型不符合要求");
    EXPECT_EQ(RuntimeErrorMessage(0), "");
    EXPECT_EQ(RuntimeErrorMessage(12), "");
}

LocationNames DescribeForTest(int word1, int word2) {
    LocationNames names;
    names.isWindowUnit = word1 != 0;
    if (word1 == 1) names.windowName = "MainWindow";
    if (word1 == 1 && word2 == 7) names.unitName = "InstallButton";
    return names;
}

TEST(FatalErrorText, LocationNamesTheWindowUnit) {
    EXPECT_EQ(BuildLocationText(0, -3), "\r\n0, -3\r\n");
    SetLocationDescriber(DescribeForTest);
    EXPECT_EQ(BuildLocationText(0, 0), "\r\n0, 0\r\n");
    EXPECT_EQ(BuildLocationText(1, 7), "\r\n1, 7\r\n\"MainWindow\"\r\n\"InstallButton\"\r\n");
    EXPECT_EQ(BuildLocationText(1, 8), "\r\n1, 8\r\n\"MainWindow\"\r\n未找到所指定的窗口组件\r\n");
    EXPECT_EQ(BuildLocationText(2, 8), "\r\n2, 8\r\n未找到所指定的窗口\r\n");
    SetLocationDescriber(nullptr);
}

TEST(FatalError, HandlerReceivesMessageAndLocation) {
    FatalErrorCapture capture;
    int before = FatalErrorCount();
    try {
        ReportRuntimeError(4, 12, 34);
        FAIL() << "returned";
    } catch (const CapturedFatalError& error) {
        EXPECT_EQ(error.message, "数组成员引用下标必须大于等于1");
        EXPECT_EQ(error.location, "\r\n12, 34\r\n");
    }
    try {
        FatalAllocationFailure(1234567);
    } catch (const CapturedFatalError& error) {
        EXPECT_EQ(error.message, "分配 1234567 字节内存失败!");
    }
    EXPECT_EQ(FatalErrorCount(), before + 2);
}

#ifdef _WIN32
constexpr int kMinusOneExitCode = -1;
#else
constexpr int kMinusOneExitCode = 255;  // -1 as the parent sees it
#endif

bool SuppressingHandler(const std::string& message, const std::string&) {
    std::fprintf(stderr, "suppressed %zu\n", message.size());
    return true;
}

// A handler that answers true suppresses the box; the process still ends
// with -1.
TEST(FatalErrorDeathTest, SuppressedBoxStillExitsWithMinusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetFatalErrorHandler(SuppressingHandler);
            FatalRuntimeError("不能求余数于零");
        },
        ::testing::ExitedWithCode(kMinusOneExitCode), "suppressed 14");
}

#ifndef _WIN32
// Without a handler the host shows the box's text on standard error.
TEST(FatalErrorDeathTest, UnhandledErrorShowsTheText) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ReportRuntimeError(2, 5, 6), ::testing::ExitedWithCode(kMinusOneExitCode), "5, 6");
}
#endif

}  // namespace
}  // namespace zorv
