#include "ui/window_test_template.h"

namespace zorv::ui::test {
namespace {

using namespace ids;

class ImageButtons : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        SetCursorPos(0, 0);  // away from the window: only the test's own moves hover
        ASSERT_TRUE(LoadWindow(MainWindow));
        main_ = GetWindowHandle(MainWindow);
        SetForegroundWindow(main_);
        SetActiveWindow(main_);
        PumpUntil([&] { return GetActiveWindow() == main_; });
        // A pointer event of the display while the window appeared must not
        // leave a button hovered: each test makes its own moves.
        for (uint32_t button : {CloseButton, kCheck, kPlainButton})
            SendMessageW(GetWindowHandle(MainWindow, button), WM_MOUSELEAVE, 0, 0);
    }
    void Click(HWND button, int x, int y) {
        SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    HWND main_ = nullptr;
};

constexpr COLORREF kLight = RGB(0xC0, 0xC0, 0xC0), kDark = RGB(0x40, 0x40, 0x40);
constexpr COLORREF kGrey = RGB(0x80, 0x80, 0x80), kOrange = RGB(0xFF, 0x80, 0x00);

TEST_F(ImageButtons, CloseButtonDarkensWhileHovered) {
    HWND close = GetWindowHandle(MainWindow, CloseButton);
    ASSERT_EQ(GetActiveWindow(), main_) << "the test window could not be activated";
    EXPECT_EQ(Rendered(close).at(16, 16), kLight);
    // The transparent corner pixel is blended over the white background.
    EXPECT_EQ(Rendered(close).at(0, 0), RGB(255, 255, 255));
    POINT centre{16, 16};
    ClientToScreen(close, &centre);
    SetCursorPos(centre.x, centre.y);
    SendMessageW(close, WM_MOUSEMOVE, 0, MAKELPARAM(16, 16));
    EXPECT_EQ(Rendered(close).at(16, 16), kDark);
    SendMessageW(close, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(Rendered(close).at(16, 16), kLight);
    // No hover while a mouse button is held.
    SendMessageW(close, WM_MOUSEMOVE, MK_RBUTTON, MAKELPARAM(16, 16));
    EXPECT_EQ(Rendered(close).at(16, 16), kLight);
}

TEST_F(ImageButtons, NoHoverWithoutAnActiveWindowOrInThreeDimensionalStyle) {
    HWND close = GetWindowHandle(MainWindow, CloseButton);
    WriteProperty(MainWindow, CloseButton, 8, 1);  // three-dimensional
    SendMessageW(close, WM_MOUSEMOVE, 0, MAKELPARAM(16, 16));
    EXPECT_EQ(Rendered(close).at(16, 16), kLight);
    WriteProperty(MainWindow, CloseButton, 8, 0);
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                 nullptr);
    SetActiveWindow(nullptr);
    if (GetActiveWindow() == nullptr) {
        SendMessageW(close, WM_MOUSEMOVE, 0, MAKELPARAM(16, 16));
        EXPECT_EQ(Rendered(close).at(16, 16), kLight);
    }
    DestroyWindow(other);
}

TEST_F(ImageButtons, CheckBoxShowsInOnlyWhenCheckedAndClickToggles) {
    HWND check = GetWindowHandle(MainWindow, kCheck);
    // Image left at (4, 8), 24 × 24; the caption to its right.
    EXPECT_EQ(Rendered(check).at(16, 20), kGrey);
    SendMessageW(check, WM_MOUSEMOVE, 0, MAKELPARAM(16, 20));
    EXPECT_EQ(Rendered(check).at(16, 20), kGrey) << "hover alone must not show PicIn";

    Click(check, 16, 20);
    EXPECT_EQ(ReadProperty(MainWindow, kCheck, prop::Checked), 1);
    ASSERT_EQ(CallsOf(Handler::ConfirmClicked).size(), 1u);
    EXPECT_EQ(CallsOf(Handler::ConfirmClicked)[0].args.event, event::Clicked);
    EXPECT_EQ(CallsOf(Handler::ConfirmClicked)[0].args.unitId, kCheck);
    EXPECT_EQ(Rendered(check).at(16, 20), kOrange);
    SendMessageW(check, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(Rendered(check).at(16, 20), kOrange) << "checked shows PicIn whatever the hover";

    Click(check, 16, 20);
    EXPECT_EQ(ReadProperty(MainWindow, kCheck, prop::Checked), 0);
    EXPECT_EQ(CallsOf(Handler::ConfirmClicked).size(), 2u);
    EXPECT_EQ(Rendered(check).at(16, 20), kGrey);

    // Released outside: no click.
    SendMessageW(check, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(16, 20));
    SendMessageW(check, WM_LBUTTONUP, 0, MAKELPARAM(500, 20));
    EXPECT_EQ(ReadProperty(MainWindow, kCheck, prop::Checked), 0);
    EXPECT_EQ(CallsOf(Handler::ConfirmClicked).size(), 2u);
}

TEST_F(ImageButtons, CheckedWritesOnlyMatterInCheckBoxMode) {
    WriteProperty(MainWindow, kCheck, prop::Checked, 1);
    EXPECT_EQ(ReadProperty(MainWindow, kCheck, prop::Checked), 1);
    EXPECT_EQ(Rendered(GetWindowHandle(MainWindow, kCheck)).at(16, 20), kOrange);
    EXPECT_TRUE(CallsOf(Handler::ConfirmClicked).empty());  // a write is no click
    WriteProperty(MainWindow, CloseButton, prop::Checked, 1);
    EXPECT_EQ(ReadProperty(MainWindow, CloseButton, prop::Checked), 0);
    SendMessageW(GetWindowHandle(MainWindow, CloseButton), WM_MOUSELEAVE, 0, 0);  // rule out a stray hover
    EXPECT_EQ(Rendered(GetWindowHandle(MainWindow, CloseButton)).at(16, 16), kLight);
}

TEST_F(ImageButtons, PlainButtonClickRaisesClickedOnceAndShiftsWhilePressed) {
    HWND close = GetWindowHandle(MainWindow, CloseButton);
    SendMessageW(close, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(16, 16));
    // Held: PicIn, moved by (1, 1), so the transparent corner is now at (1, 1).
    Rendered held(close);
    EXPECT_EQ(held.at(16, 16), kDark);
    EXPECT_EQ(held.at(1, 1), RGB(255, 255, 255));
    EXPECT_EQ(held.at(2, 1), kDark);
    EXPECT_TRUE(CallsOf(Handler::CloseClicked).empty());
    SendMessageW(close, WM_LBUTTONUP, 0, MAKELPARAM(16, 16));
    EXPECT_EQ(CallsOf(Handler::CloseClicked).size(), 1u);

    WriteProperty(MainWindow, CloseButton, 12, 1);  // PressStyle (0, 2)
    SendMessageW(close, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(16, 16));
    Rendered down(close);
    EXPECT_EQ(down.at(0, 2), RGB(255, 255, 255));
    EXPECT_EQ(down.at(1, 2), kDark);
    SendMessageW(close, WM_LBUTTONUP, 0, MAKELPARAM(16, 16));
    EXPECT_EQ(CallsOf(Handler::CloseClicked).size(), 2u);
}

TEST_F(ImageButtons, DisabledButtonDrawsPicInAndBackgroundColoursFollowState) {
    WriteProperty(MainWindow, kPlainButton, prop::Disabled, 1);
    EXPECT_EQ(ReadProperty(MainWindow, kPlainButton, prop::Disabled), 1);
    EXPECT_FALSE(IsWindowEnabled(GetWindowHandle(MainWindow, kPlainButton)));
    // Only PicOut exists: it stands in for the missing disabled and In images.
    EXPECT_EQ(Rendered(GetWindowHandle(MainWindow, kPlainButton)).at(30, 15), RGB(0, 255, 0));
    WriteProperty(MainWindow, kPlainButton, prop::Disabled, 0);

    WriteProperty(MainWindow, kPlainButton, 25, 0x0000FF);  // BkColorOut red
    WriteProperty(MainWindow, kPlainButton, 27, 0xFF0000);  // BkColorIn blue
    HWND plain = GetWindowHandle(MainWindow, kPlainButton);
    EXPECT_EQ(Rendered(plain).at(2, 2), RGB(255, 0, 0));
    SendMessageW(plain, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(Rendered(plain).at(2, 2), RGB(0, 0, 255));
    EXPECT_EQ(ReadProperty(MainWindow, kPlainButton, 27), 0xFF0000);
}

}  // namespace
}  // namespace zorv::ui::test
