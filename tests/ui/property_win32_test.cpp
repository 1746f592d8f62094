#include <thread>

#include "ui/window_test_template.h"

namespace zorv::ui::test {
namespace {

using namespace ids;

class Properties : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(LoadWindow(MainWindow));
    }
};

TEST_F(Properties, GeometryIsClampedAndApplied) {
    WriteProperty(MainWindow, LogoImage, prop::Left, -40000);
    EXPECT_EQ(ReadProperty(MainWindow, LogoImage, prop::Left), -32627);
    WriteProperty(MainWindow, LogoImage, prop::Top, 25);
    EXPECT_EQ(ReadProperty(MainWindow, LogoImage, prop::Top), 25);
    WriteProperty(MainWindow, LogoImage, prop::Width, -5);
    EXPECT_EQ(ReadProperty(MainWindow, LogoImage, prop::Width), 0);
    WriteProperty(MainWindow, LogoImage, prop::Height, 40000);
    EXPECT_EQ(ReadProperty(MainWindow, LogoImage, prop::Height), 32627);
    WriteProperty(MainWindow, LogoImage, prop::Width, 70);
    RECT rect{};
    GetClientRect(GetWindowHandle(MainWindow, LogoImage), &rect);
    EXPECT_EQ(rect.right, 70);
    EXPECT_EQ(ReadProperty(MainWindow, LogoImage, prop::Top), 25);  // a size write keeps the place
}

TEST_F(Properties, VisibleAndPointerAndTag) {
    WriteProperty(MainWindow, kShape, prop::Visible, 0);
    EXPECT_FALSE(IsWindowVisible(GetWindowHandle(MainWindow, kShape)));
    EXPECT_EQ(ReadProperty(MainWindow, kShape, prop::Visible), 0);
    WriteProperty(MainWindow, kShape, prop::Visible, 1);
    EXPECT_TRUE(IsWindowVisible(GetWindowHandle(MainWindow, kShape)));
    EXPECT_EQ(ReadProperty(MainWindow, InstallPathLabel, prop::MousePointer), kHandCursor);
    EXPECT_EQ(ReadProperty(MainWindow, kShape, prop::MousePointer), 0);
    WriteTextProperty(MainWindow, kShape, prop::Tag, "标记");
    EXPECT_EQ(ReadTextProperty(MainWindow, kShape, prop::Tag), "标记");
    // Numbers a kind does not have read 0 and ignore writes.
    WriteProperty(MainWindow, kShape, 40, 9);
    EXPECT_EQ(ReadProperty(MainWindow, kShape, 40), 0);
}

TEST_F(Properties, TextsInGbk) {
    EXPECT_EQ(ReadTextProperty(MainWindow, PathEdit, prop::Caption), "C:\\abc");
    EXPECT_EQ(ReadTextProperty(MainWindow, InstallPathLabel, prop::Caption), "WWWW");
    WriteTextProperty(MainWindow, InstallPathLabel, prop::Caption, "当前安装路径 D:\\zorv");
    EXPECT_EQ(ReadTextProperty(MainWindow, InstallPathLabel, prop::Caption), "当前安装路径 D:\\zorv");
    // Text set by the program is not limited to the typing limit of 50 bytes.
    std::string longText = "D:\\" + std::string(60, 'a') + "\\安装";
    WriteTextProperty(MainWindow, PathEdit, prop::Caption, longText);
    EXPECT_EQ(ReadTextProperty(MainWindow, PathEdit, prop::Caption), longText);
}

TEST_F(Properties, TypingStopsAtTheByteLimit) {
    HWND edit = GetWindowHandle(MainWindow, PathEdit);
    WriteTextProperty(MainWindow, PathEdit, prop::Caption, std::string(47, 'a'));
    SendMessageW(edit, EM_SETSEL, 47, 47);
    SendMessageW(edit, WM_CHAR, L'b', 0);
    EXPECT_EQ(ReadTextProperty(MainWindow, PathEdit, prop::Caption).size(), 48u);
    SendMessageW(edit, WM_CHAR, L'安', 0);  // two bytes: 50 in all
    EXPECT_EQ(ReadTextProperty(MainWindow, PathEdit, prop::Caption).size(), 50u);
    SendMessageW(edit, WM_CHAR, L'c', 0);
    EXPECT_EQ(ReadTextProperty(MainWindow, PathEdit, prop::Caption).size(), 50u);
    // Replacing a selection makes room again.
    SendMessageW(edit, EM_SETSEL, 0, 2);
    SendMessageW(edit, WM_CHAR, L'z', 0);
    std::string text = ReadTextProperty(MainWindow, PathEdit, prop::Caption);
    EXPECT_EQ(text.size(), 49u);
    EXPECT_EQ(text[0], 'z');
}

TEST_F(Properties, WorkerThreadWritesAreCarriedOutOnTheUiThread) {
    std::atomic<bool> done{false};
    int64_t readBack = -1;
    DWORD uiThread = GetCurrentThreadId();
    std::thread worker([&] {
        WriteProperty(MainWindow, LogoImage, prop::Left, 77);
        WriteProperty(MainWindow, kShape, prop::Visible, 0);
        WriteTextProperty(MainWindow, InstallPathLabel, prop::Caption, "工作线程");
        // The handler of a focus change still runs on the UI thread.
        SetFocusTo(MainWindow, PathEdit);
        readBack = ReadProperty(MainWindow, LogoImage, prop::Left);
        done = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(readBack, 77);
    EXPECT_EQ(ReadProperty(MainWindow, LogoImage, prop::Left), 77);
    EXPECT_FALSE(IsWindowVisible(GetWindowHandle(MainWindow, kShape)));
    EXPECT_EQ(ReadTextProperty(MainWindow, InstallPathLabel, prop::Caption), "工作线程");
    std::vector<Recorded> focus = CallsOf(Handler::PathEditFocusGained);
    ASSERT_EQ(focus.size(), 1u);
    EXPECT_EQ(focus[0].threadId, uiThread);
}

TEST_F(Properties, PictureBoxBackgroundColourIsRewritable) {
    WriteProperty(MainWindow, kCentredBox, 9, 0xFF0000);  // blue
    EXPECT_EQ(ReadProperty(MainWindow, kCentredBox, 9), 0xFF0000);
    Rendered box(GetWindowHandle(MainWindow, kCentredBox));
    EXPECT_EQ(box.at(2, 2), RGB(0, 0, 255));
    EXPECT_EQ(box.at(39, 39), RGB(0, 0, 255));
}

}  // namespace
}  // namespace zorv::ui::test
