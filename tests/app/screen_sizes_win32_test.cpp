// The real program on screens of other sizes and DPI, each test on a screen
// of its own (tests/support/screen-run starts an Xvfb of the size and a
// Wine prefix of the DPI that the suite's name gives): the form takes one
// scale, the monitor's DPI over 96 made smaller where the window and its
// shadow would not fit the work area, and everything in it follows.
// Screenshots go to <build>/screens/.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/http_test_server.h"
#include "support/program_child_win32.h"
#include "support/screen_win32.h"

namespace zorv::testing {
namespace {

struct Size {
    int width, height;
};

Size SizeOf(HWND window) {
    RECT rect = WindowRectOf(window);
    return Size{rect.right - rect.left, rect.bottom - rect.top};
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

RECT WorkArea() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

struct ShadowSearch {
    HWND owner;
    HWND found = nullptr;
};

BOOL CALLBACK FindShadow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ShadowSearch*>(param);
    LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (GetWindow(window, GW_OWNER) == search->owner && (style & WS_EX_LAYERED) && (style & WS_EX_TRANSPARENT) &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The drop shadow of the window: the shown click-through layered window it owns.
HWND ShadowOf(HWND window) {
    ShadowSearch search{window};
    EnumWindows(FindShadow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The middle of a control, in the client coordinates of its top-level window.
POINT MiddleIn(HWND top, HWND control) {
    RECT rect = WindowRectOf(control);
    POINT middle{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ScreenToClient(top, &middle);
    return middle;
}

// How the caption of a label is drawn: the number of pixel rows that hold
// its ink (pixels much darker than the white behind it), and how many 2 × 2
// blocks of ink are not one flat colour.  A caption drawn at 96 DPI and
// enlarged twice would consist of flat 2 × 2 blocks only.
struct Ink {
    int rows = 0;
    int unevenBlocks = 0;
};

Ink InkOf(HWND label);

Ink MeasuredInk(HWND label) {
    Ink ink = InkOf(label);
    std::printf("caption ink: %d rows, %d uneven 2 x 2 blocks\n", ink.rows, ink.unevenBlocks);
    return ink;
}

Ink InkOf(HWND label) {
    RECT area = WindowRectOf(label);
    std::vector<uint32_t> pixels = ScreenPixels(area);
    int width = area.right - area.left, height = area.bottom - area.top;
    auto dark = [&](int x, int y) {
        uint32_t p = pixels[std::size_t(y) * width + x];
        return ((p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF)) < 3 * 200;
    };
    Ink ink;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (dark(x, y)) {
                ++ink.rows;
                break;
            }
    for (int y = 0; y + 1 < height; y += 2)
        for (int x = 0; x + 1 < width; x += 2) {
            const uint32_t* row = &pixels[std::size_t(y) * width + x];
            const uint32_t* below = row + width;
            bool flat = row[0] == row[1] && row[0] == below[0] && row[0] == below[1];
            if (!flat && (dark(x, y) || dark(x + 1, y + 1))) ++ink.unevenBlocks;
        }
    return ink;
}

class ScaledScreen : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "needs a display";
        wchar_t screen[32] = {};
        if (GetEnvironmentVariableW(L"ZORV_SCREEN", screen, 32) == 0)
            GTEST_SKIP() << "needs a screen of its own: run through tests/support/screen-run";
    }
    void TearDown() override {
        if (!program_) return;
        PostMessageW(main_, WM_CLOSE, 0, 0);
        EXPECT_EQ(program_->WaitForExit(20000), 0u);
    }
    // The screen the wrapper made, as this test expects it.
    void ExpectScreen(int width, int height, int dpi) {
        ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), width);
        ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), height);
        HDC screen = GetDC(nullptr);
        int logPixels = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        ASSERT_EQ(logPixels, dpi);
    }
    void Start(Size main, Size options, Size progress) {
        std::wstring url;
        for (char c : server_.Url("/zorv.exe")) url.push_back(wchar_t(c));
        program_ = std::make_unique<ChildProgram>(WinePathOf(ZORV_SETUP_EXE), L"/URL=" + url);
        ASSERT_TRUE(program_->started());
        main_ = program_->WaitForWindow(kMainWindowTitle, 30000);
        ASSERT_NE(main_, nullptr);
        Sleep(800);
        Size size = SizeOf(main_);
        ASSERT_EQ(size.width, main.width);
        ASSERT_EQ(size.height, main.height);
        options_ = TopLevelOfSize(program_->id(), options.width, options.height);
        progress_ = TopLevelOfSize(program_->id(), progress.width, progress.height);
        ASSERT_NE(options_, nullptr) << "no options panel of the scaled size";
        ASSERT_NE(progress_, nullptr) << "no progress panel of the scaled size";
    }
    // The options link clicked where it is drawn: the panel opens docked to
    // the main window's bottom edge.
    void OpenOptions() {
        HWND link = ShownChildWithText(main_, L"自定义选项");
        ASSERT_NE(link, nullptr);
        POINT middle = MiddleIn(main_, link);
        ClickAt(main_, middle.x, middle.y);
        ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(options_) != FALSE; }, 5000));
        Sleep(300);
        RECT main = WindowRectOf(main_), panel = WindowRectOf(options_);
        EXPECT_EQ(panel.left, main.left);
        EXPECT_EQ(panel.bottom, main.bottom);
    }
    // The window and its drop shadow lie in the work area.
    void ExpectInsideWorkArea(HWND window) {
        RECT work = WorkArea();
        EXPECT_TRUE(Inside(WindowRectOf(window), work));
        HWND shadow = ShadowOf(window);
        ASSERT_NE(shadow, nullptr);
        RECT outline = WindowRectOf(shadow);
        EXPECT_TRUE(Inside(outline, work)) << "shadow " << outline.left << "," << outline.top << " - " << outline.right
                                           << "," << outline.bottom;
    }

    HttpTestServer server_;
    std::unique_ptr<ChildProgram> program_;
    HWND main_ = nullptr, options_ = nullptr, progress_ = nullptr;
};

// A 1366 × 768 laptop screen: the 1365 × 902 form does not fit, so it is
// drawn at DPI 75 (the largest at which the window and 39 template pixels
// of room on every side fit 768 rows): 1066 × 705.  The options link can
// be clicked, the panel is docked and works, and the progress panel shows
// 35 template pixels below the centre at that scale.
class Screen1366x768At96 : public ScaledScreen {};

TEST_F(Screen1366x768At96, TheWholeFormFitsAndTheOptionsWork) {
    server_.Route("/zorv.exe", [](const Request&) {
        Reply slow = Body(std::string(200000, 'z'));
        slow.trickleBytes = 100;
        slow.trickleGapMs = 500;
        return slow;
    });
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(1366, 768, 96));
    ASSERT_NO_FATAL_FAILURE(Start({1066, 705}, {1066, 196}, {753, 547}));
    ExpectInsideWorkArea(main_);
    SaveScreenshot("small-screen");

    ASSERT_NO_FATAL_FAILURE(OpenOptions());
    ExpectInsideWorkArea(options_);
    HWND desktop = ShownChildWithText(options_, L"桌面快捷方式");
    ASSERT_NE(desktop, nullptr);
    POINT middle = MiddleIn(options_, desktop);
    ClickAt(options_, middle.x, middle.y);
    EXPECT_TRUE(WaitUntil([&] { return SendMessageW(desktop, BM_GETCHECK, 0, 0) == BST_UNCHECKED; }, 3000));
    HWND edit = ControlAt(options_, 34, 61, 33);  // 44, 78, 1228 × 42 at 75 DPI
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"D:\\Small"));
    Sleep(300);  // the option and the box repaint
    SaveScreenshot("small-screen-options");

    middle = MiddleIn(options_, ShownChildWithText(options_, L"立即安装"));
    ClickAt(options_, middle.x, middle.y);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(progress_) != FALSE; }, 5000));
    wchar_t folder[64] = {};
    SendMessageW(edit, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(folder));
    EXPECT_EQ(std::wstring(folder).rfind(L"D:\\Small\\zorv", 0), 0u) << Narrow(folder);
    // 200 and (902 − 700) / 2 + 35 = 136 template pixels from the main
    // window's corner, at 75 DPI.
    RECT main = WindowRectOf(main_), panel = WindowRectOf(progress_);
    EXPECT_EQ(panel.left - main.left, 156);
    EXPECT_EQ(panel.top - main.top, 106);
}

// A 3840 × 2160 screen at 192 DPI (200 %): the form at exactly twice its
// size, its shadow twice as wide, and its text drawn by the font at twice
// its height, not enlarged.
class Screen3840x2160At192 : public ScaledScreen {};

TEST_F(Screen3840x2160At192, TheFormIsTwiceAsLargeWithSharpText) {
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(3840, 2160, 192));
    ASSERT_NO_FATAL_FAILURE(Start({2730, 1804}, {2730, 500}, {1928, 1400}));
    ExpectInsideWorkArea(main_);
    Size shadow = SizeOf(ShadowOf(main_));
    EXPECT_EQ(shadow.width, 2730 + 2 * 60);
    EXPECT_EQ(shadow.height, 1804 + 2 * 60);
    HWND label = ShownChildWithText(main_, L"当前安装路径 C:\\Program Files (x86)\\zorv");
    ASSERT_NE(label, nullptr);
    Size labelSize = SizeOf(label);
    EXPECT_EQ(labelSize.width, 2 * 1179);
    EXPECT_EQ(labelSize.height, 2 * 32);
    Ink ink = MeasuredInk(label);
    EXPECT_GE(ink.rows, 26) << "the 17-pixel caption is not drawn at twice its height";
    EXPECT_GT(ink.unevenBlocks, 200) << "the caption looks enlarged from 96 DPI";
    SaveScreenshot("high-dpi-3840x2160");
    ASSERT_NO_FATAL_FAILURE(OpenOptions());
    SaveScreenshot("high-dpi-3840x2160-options");
}

// A 2560 × 1440 screen at 192 DPI: twice the size (1804 rows and its
// shadow) does not fit 1440 rows, so the form is drawn at DPI 141, the
// largest that fits: 2005 × 1325, text still drawn by the font.
class Screen2560x1440At192 : public ScaledScreen {};

TEST_F(Screen2560x1440At192, TheFormTakesTheLargestScaleThatFits) {
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(2560, 1440, 192));
    ASSERT_NO_FATAL_FAILURE(Start({2005, 1325}, {2005, 367}, {1416, 1028}));
    ExpectInsideWorkArea(main_);
    HWND label = ShownChildWithText(main_, L"当前安装路径 C:\\Program Files (x86)\\zorv");
    ASSERT_NE(label, nullptr);
    Ink ink = MeasuredInk(label);
    EXPECT_GE(ink.rows, 19);
    SaveScreenshot("high-dpi-2560x1440");
    ASSERT_NO_FATAL_FAILURE(OpenOptions());
    ExpectInsideWorkArea(options_);
}

}  // namespace
}  // namespace zorv::testing
