#include <cstring>
#include <thread>

#include "ui/window_test_template.h"

namespace zorv::ui::test {
namespace {

using namespace ids;

class Windows : public WindowTest {};

TEST_F(Windows, LoadBuildsWindowsAsStoredAndRunsCreatedFirst) {
    ASSERT_TRUE(LoadWindow(MainWindow));
    ASSERT_EQ(CallsOf(Handler::MainWindowCreated).size(), 1u);
    EXPECT_EQ(CallsOf(Handler::MainWindowCreated)[0].args.windowId, MainWindow);
    HWND main = GetWindowHandle(MainWindow);
    EXPECT_EQ(GetWindowHandle(MainWindow, MainWindowUnit), main);
    EXPECT_TRUE(IsWindowVisible(main));
    LONG_PTR style = GetWindowLongPtrW(main, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME));
    EXPECT_EQ(GetWindow(main, GW_OWNER), nullptr);
    wchar_t title[32] = {};
    GetWindowTextW(main, title, 32);
    EXPECT_STREQ(title, L"测试窗口");
    RECT rect{};
    GetWindowRect(main, &rect);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.right - rect.left, 400);

    ASSERT_TRUE(LoadWindow(OptionsPanel));
    HWND panel = GetWindowHandle(OptionsPanel);
    EXPECT_FALSE(IsWindowVisible(panel));
    EXPECT_EQ(GetWindow(panel, GW_OWNER), main);
    EXPECT_EQ(CallsOf(Handler::OptionsPanelCreated).size(), 1u);
    EXPECT_TRUE(CallsOf(Handler::OptionsPanelShown).empty());
    // Loading again keeps the loaded window and raises nothing.
    EXPECT_TRUE(LoadWindow(OptionsPanel));
    EXPECT_EQ(GetWindowHandle(OptionsPanel), panel);
    EXPECT_EQ(CallsOf(Handler::OptionsPanelCreated).size(), 1u);
    EXPECT_FALSE(LoadWindow(0x52019999));  // not in the template
}

TEST_F(Windows, ControlsSitInTheirParentsInUnitOrder) {
    ASSERT_TRUE(LoadWindow(MainWindow));
    HWND container = GetWindowHandle(MainWindow, MainBackground);
    EXPECT_EQ(GetParent(container), GetWindowHandle(MainWindow));
    for (const UnitRecord& unit : TestTemplate().FindWindow(MainWindow)->units) {
        if (unit.parent != MainBackground) continue;
        HWND hwnd = GetWindowHandle(MainWindow, unit.id);
        EXPECT_EQ(GetParent(hwnd), container) << std::hex << unit.id;
        EXPECT_EQ(ReadProperty(MainWindow, unit.id, prop::Left), unit.left) << std::hex << unit.id;
        EXPECT_EQ(ReadProperty(MainWindow, unit.id, prop::Top), unit.top) << std::hex << unit.id;
        EXPECT_EQ(ReadProperty(MainWindow, unit.id, prop::Width), unit.width) << std::hex << unit.id;
        EXPECT_EQ(ReadProperty(MainWindow, unit.id, prop::Height), unit.height) << std::hex << unit.id;
        EXPECT_EQ(ReadProperty(MainWindow, unit.id, prop::Visible), unit.visible() ? 1 : 0) << std::hex << unit.id;
    }
    // Earlier units lie above later ones: walking the siblings from the top
    // meets them in table order.
    HWND first = GetWindow(container, GW_CHILD);
    EXPECT_EQ(first, GetWindowHandle(MainWindow, LogoImage));
    EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), GetWindowHandle(MainWindow, kCentredBox));
}

TEST_F(Windows, PictureBoxesDrawTheirImageModes) {
    ASSERT_TRUE(LoadWindow(MainWindow));
    {
        Rendered logo(GetWindowHandle(MainWindow, LogoImage));  // 48 × 48 scaled to 32 × 32
        EXPECT_EQ(logo.at(0, 0), RGB(255, 0, 0));
        EXPECT_EQ(logo.at(31, 31), RGB(255, 0, 0));
    }
    {
        Rendered centred(GetWindowHandle(MainWindow, kCentredBox));  // 20 × 20 at 10,10 in 40 × 40
        EXPECT_EQ(centred.at(9, 20), RGB(0, 255, 0));
        EXPECT_EQ(centred.at(10, 10), RGB(0, 0, 255));
        EXPECT_EQ(centred.at(29, 29), RGB(0, 0, 255));
        EXPECT_EQ(centred.at(30, 20), RGB(0, 255, 0));
    }
    {
        Rendered tiled(GetWindowHandle(MainWindow, kTiledBox));  // red | blue every 10 pixels
        EXPECT_EQ(tiled.at(2, 2), RGB(255, 0, 0));
        EXPECT_EQ(tiled.at(7, 2), RGB(0, 0, 255));
        EXPECT_EQ(tiled.at(12, 15), RGB(255, 0, 0));
        EXPECT_EQ(tiled.at(27, 19), RGB(0, 0, 255));  // the cut last tile; no background anywhere
    }
    {
        Rendered shape(GetWindowHandle(MainWindow, kShape));
        EXPECT_EQ(shape.at(0, 0), RGB(255, 0, 0));
        EXPECT_EQ(shape.at(39, 29), RGB(255, 0, 0));
        EXPECT_EQ(shape.at(20, 15), RGB(0, 255, 0));
    }
}

TEST_F(Windows, LabelFillsItsBackgroundAndCentresItsCaption) {
    ASSERT_TRUE(LoadWindow(MainWindow));
    Rendered label(GetWindowHandle(MainWindow, InstallPathLabel));
    int textLeft = -1, textRight = -1;
    for (int x = 0; x < label.width(); ++x)
        for (int y = 0; y < label.height(); ++y)
            if (label.at(x, y) != RGB(255, 255, 0)) {
                if (textLeft < 0) textLeft = x;
                textRight = x;
            }
    ASSERT_GE(textLeft, 0) << "no caption drawn";
    EXPECT_EQ(label.at(0, 0), RGB(255, 255, 0));
    EXPECT_EQ(label.at(199, 29), RGB(255, 255, 0));
    // Centred: the ink's margins on both sides agree within a few pixels.
    EXPECT_NEAR(textLeft, label.width() - 1 - textRight, 4);
    EXPECT_GT(textLeft, 40);

    WriteTextProperty(MainWindow, InstallPathLabel, prop::Caption, "");
    Rendered empty(GetWindowHandle(MainWindow, InstallPathLabel));
    EXPECT_EQ(empty.at(100, 15), RGB(255, 255, 0));
    WriteProperty(MainWindow, InstallPathLabel, 17, 0x0000FF);
    EXPECT_EQ(ReadProperty(MainWindow, InstallPathLabel, 17), 0x0000FF);
    Rendered red(GetWindowHandle(MainWindow, InstallPathLabel));
    EXPECT_EQ(red.at(100, 15), RGB(255, 0, 0));
}

// Rows of the label's client that hold anything but its yellow background.
int InkRows(HWND label) {
    Rendered rendered(label);
    int rows = 0;
    for (int y = 0; y < rendered.height(); ++y)
        for (int x = 0; x < rendered.width(); ++x)
            if (rendered.at(x, y) != RGB(255, 255, 0)) {
                ++rows;
                break;
            }
    return rows;
}

// Moved to a monitor of another DPI (WM_DPICHANGED, which Wine never sends:
// sent here as the system does after such a move): the whole form is drawn
// at the new scale around the suggested place, its properties stay in
// template pixels, and coming back restores every pixel of every control.
TEST_F(Windows, AnotherMonitorsDpiScalesTheFormAndComingBackRestoresEveryPixel) {
    constexpr UINT kDpiChanged = 0x02E0;
    ASSERT_TRUE(LoadWindow(MainWindow));
    ASSERT_TRUE(LoadWindow(OptionsPanel));
    HWND main = GetWindowHandle(MainWindow), panel = GetWindowHandle(OptionsPanel);
    HWND label = GetWindowHandle(MainWindow, InstallPathLabel);
    const uint32_t drawn[] = {LogoImage, kCentredBox, kTiledBox, InstallPathLabel, CloseButton, kCheck, kShape, kPlainButton};
    auto pixelsOfEveryControl = [&] {
        std::vector<std::vector<COLORREF>> all;
        for (uint32_t unit : drawn) {
            Rendered rendered(GetWindowHandle(MainWindow, unit));
            std::vector<COLORREF> pixels;
            for (int y = 0; y < rendered.height(); ++y)
                for (int x = 0; x < rendered.width(); ++x) pixels.push_back(rendered.at(x, y));
            all.push_back(pixels);
        }
        return all;
    };
    auto rectOf = [](HWND hwnd, HWND relativeTo) {
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        if (relativeTo) MapWindowPoints(HWND_DESKTOP, relativeTo, reinterpret_cast<POINT*>(&rect), 2);
        return std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom};
    };
    const auto before = pixelsOfEveryControl();
    const int inkAt96 = InkRows(label);

    RECT twice{100, 100, 900, 700};
    SendMessageW(main, kDpiChanged, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&twice));
    EXPECT_EQ(rectOf(main, nullptr), (std::vector<LONG>{100, 100, 900, 700}));
    EXPECT_EQ(rectOf(GetWindowHandle(MainWindow, CloseButton), main), (std::vector<LONG>{600, 20, 664, 84}));
    // The panel keeps its place relative to the main window, twice as far.
    EXPECT_EQ(rectOf(panel, nullptr), (std::vector<LONG>{-60, -40, 540, 160}));
    EXPECT_EQ(ReadProperty(MainWindow, CloseButton, prop::Left), 300);
    EXPECT_EQ(ReadProperty(MainWindow, CloseButton, prop::Width), 32);
    EXPECT_EQ(ReadProperty(MainWindow, 0, prop::Width), 400);
    EXPECT_EQ(ReadProperty(OptionsPanel, 0, prop::Left), 20);
    {
        Rendered logo(GetWindowHandle(MainWindow, LogoImage));  // 48 × 48 red, now drawn 64 × 64
        ASSERT_EQ(logo.width(), 64);
        EXPECT_EQ(logo.at(0, 0), RGB(255, 0, 0));
        EXPECT_EQ(logo.at(63, 63), RGB(255, 0, 0));
        Rendered tiled(GetWindowHandle(MainWindow, kTiledBox));  // tiles of 20: red | blue every 10
        EXPECT_EQ(tiled.at(2, 2), RGB(255, 0, 0));
        EXPECT_EQ(tiled.at(17, 2), RGB(0, 0, 255));
        EXPECT_EQ(tiled.at(42, 38), RGB(255, 0, 0));
    }
    EXPECT_GE(InkRows(label), 2 * inkAt96 - 2) << "the caption's font did not grow";

    RECT back{100, 100, 500, 400};
    SendMessageW(main, kDpiChanged, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&back));
    EXPECT_EQ(rectOf(main, nullptr), (std::vector<LONG>{100, 100, 500, 400}));
    EXPECT_EQ(rectOf(panel, nullptr), (std::vector<LONG>{20, 30, 320, 130}));
    EXPECT_TRUE(pixelsOfEveryControl() == before) << "a control draws otherwise after coming back";
}

TEST_F(Windows, EventsReachOnlyBoundHandlers) {
    ASSERT_TRUE(LoadWindow(MainWindow));
    SendMessageW(GetWindowHandle(MainWindow, InstallPathLabel), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(7, 9));
    std::vector<Recorded> shown = CallsOf(Handler::ShowOptions);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].args.unitId, InstallPathLabel);
    EXPECT_EQ(shown[0].args.event, event::LeftButtonDown);
    EXPECT_EQ(shown[0].args.a, 7);
    EXPECT_EQ(shown[0].args.b, 9);
    EXPECT_EQ(shown[0].args.c, 0);

    std::size_t before = RecordedCalls().size();
    SendMessageW(GetWindowHandle(MainWindow, LogoImage), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageW(GetWindowHandle(MainWindow, InstallPathLabel), WM_RBUTTONDOWN, MK_RBUTTON, 0);
    SendMessageW(GetWindowHandle(MainWindow, kPlainButton), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(GetWindowHandle(MainWindow, kPlainButton), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(RecordedCalls().size(), before);

    SetFocusTo(MainWindow, PathEdit);
    EXPECT_EQ(CallsOf(Handler::PathEditFocusGained).size(), 1u);
    SetFocusTo(MainWindow, kCheck);
    EXPECT_EQ(CallsOf(Handler::PathEditFocusLost).size(), 1u);
}

TEST_F(Windows, WindowEventsForShowHideMoveAndClose) {
    ASSERT_TRUE(LoadWindow(MainWindow));
    ASSERT_TRUE(LoadWindow(OptionsPanel));
    WriteProperty(OptionsPanel, 0, prop::Visible, 1);
    EXPECT_EQ(CallsOf(Handler::OptionsPanelShown).size(), 1u);
    EXPECT_EQ(ReadProperty(OptionsPanel, 0, prop::Visible), 1);
    WriteProperty(OptionsPanel, 0, prop::Visible, 0);
    EXPECT_EQ(CallsOf(Handler::OptionsPanelHidden).size(), 1u);

    ClearRecordedCalls();
    WriteProperty(MainWindow, 0, prop::Left, 150);
    std::vector<Recorded> moved = CallsOf(Handler::MainWindowMoved);
    ASSERT_FALSE(moved.empty());
    EXPECT_EQ(ReadProperty(MainWindow, 0, prop::Left), 150);

    SetHandlerResult(Handler::MainWindowClosing, 0);  // 0 keeps the window
    SendMessageW(GetWindowHandle(MainWindow), WM_CLOSE, 0, 0);
    EXPECT_EQ(CallsOf(Handler::MainWindowClosing).size(), 1u);
    EXPECT_TRUE(IsWindowLoaded(MainWindow));
    SetHandlerResult(Handler::MainWindowClosing, 1);
    HWND main = GetWindowHandle(MainWindow);
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(IsWindowLoaded(MainWindow));
    EXPECT_FALSE(IsWindowLoaded(OptionsPanel));  // owned windows go with their owner
}

TEST_F(Windows, PostedNotificationRunsOnTheUiThreadWithItsIntegers) {
    ASSERT_TRUE(LoadWindow(MainWindow));
    DWORD uiThread = GetCurrentThreadId();
    std::atomic<bool> posted{false};
    std::thread worker([&] {
        PostWindowEvent(MainWindow, InstallNotifier, 1, 1, false);
        posted = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return posted && !CallsOf(Handler::InstallNotified).empty(); }));
    worker.join();
    std::vector<Recorded> calls = CallsOf(Handler::InstallNotified);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].threadId, uiThread);
    EXPECT_EQ(calls[0].args.a, 1);
    EXPECT_EQ(calls[0].args.b, 1);
    EXPECT_EQ(calls[0].args.event, event::Notification);

    SetHandlerResult(Handler::InstallNotified, 42);
    EXPECT_EQ(PostWindowEvent(MainWindow, InstallNotifier, 3, -4, true), 42);
    EXPECT_EQ(CallsOf(Handler::InstallNotified).back().args.b, -4);
    // A notification to a control that is not a label raises nothing.
    std::size_t before = RecordedCalls().size();
    EXPECT_EQ(PostWindowEvent(MainWindow, kCheck, 1, 1, true), 0);
    EXPECT_EQ(RecordedCalls().size(), before);
}

TEST_F(Windows, OpacityReplacesTheExtendedStyle) {
    ASSERT_TRUE(LoadWindow(MainWindow));
    HWND main = GetWindowHandle(MainWindow);
    SetWindowLongPtrW(main, GWL_EXSTYLE, WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    EXPECT_TRUE(SetWindowOpacity(main, 230));
    EXPECT_EQ(GetWindowLongPtrW(main, GWL_EXSTYLE) & ~WS_EX_TOPMOST, WS_EX_LAYERED);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(main, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 230);
    EXPECT_EQ(flags, DWORD(LWA_ALPHA));
    EXPECT_TRUE(SetWindowOpacity(main, 300));
    GetLayeredWindowAttributes(main, nullptr, &alpha, &flags);
    EXPECT_EQ(alpha, 255);
    EXPECT_TRUE(SetWindowOpacity(main, -1));
    GetLayeredWindowAttributes(main, nullptr, &alpha, &flags);
    EXPECT_EQ(alpha, 255);
}

TEST_F(Windows, MissingWindowsAndUnitsAreFatal) {
    SetFatalErrorHandler(ThrowingFatalHandler);
    auto message = [](auto call) -> std::string {
        try {
            call();
        } catch (const FatalError& error) {
            return error.what();
        }
        return "no fatal error";
    };
    EXPECT_EQ(message([] { ReadProperty(MainWindow, LogoImage, prop::Left); }), "读取组件属性时发现指定窗口尚未载入");
    EXPECT_EQ(message([] { WriteProperty(MainWindow, LogoImage, prop::Left, 1); }), "修改组件属性时发现指定窗口尚未载入");
    EXPECT_EQ(message([] { WriteTextProperty(MainWindow, InstallPathLabel, prop::Caption, "x"); }),
              "修改组件属性时发现指定窗口尚未载入");
    EXPECT_EQ(message([] { GetWindowHandle(OptionsPanel); }), "指定窗口或窗口组件不存在或尚未载入");
    EXPECT_EQ(message([] { PostWindowEvent(MainWindow, InstallNotifier, 1, 1, false); }),
              "指定窗口或窗口组件不存在或尚未载入");
    EXPECT_EQ(message([] { LoadStartWindow(0x52019999); }), "载入启动窗口失败");

    ASSERT_TRUE(LoadWindow(MainWindow));
    EXPECT_EQ(message([] { GetWindowHandle(MainWindow, OptionsBackground); }), "指定窗口或窗口组件不存在或尚未载入");
    EXPECT_EQ(message([] { ReadProperty(MainWindow, OptionsBackground, prop::Left); }),
              "未载入欲访问窗口组件所在的窗口");
    // From a worker thread the error is raised on that thread.
    std::string fromWorker;
    std::thread worker([&] { fromWorker = message([] { WriteProperty(OptionsPanel, 0, prop::Left, 1); }); });
    PumpUntil([&] { return !fromWorker.empty(); });
    worker.join();
    EXPECT_EQ(fromWorker, "修改组件属性时发现指定窗口尚未载入");
}

TEST_F(Windows, StartWindowIsShownAndTheLoopEndsWithTheLastWindow) {
    LoadStartWindow(MainWindow);
    HWND main = GetWindowHandle(MainWindow);
    EXPECT_TRUE(IsWindowVisible(main));
    PostMessageW(main, WM_CLOSE, 0, 0);
    RunMessageLoop();  // returns once the closed window is gone
    EXPECT_FALSE(IsWindowLoaded(MainWindow));
    EXPECT_EQ(CallsOf(Handler::MainWindowClosing).size(), 1u);
}

}  // namespace
}  // namespace zorv::ui::test

namespace zorv::ui::test {
namespace {

// An ICO file of solid 32-bit images of the given sides.
std::vector<uint8_t> SolidIco(std::vector<int> sides) {
    std::vector<uint8_t> ico = {0, 0, 1, 0, uint8_t(sides.size()), 0};
    std::vector<std::vector<uint8_t>> images;
    for (int side : sides) {
        BITMAPINFOHEADER header{};
        header.biSize = sizeof(header);
        header.biWidth = side;
        header.biHeight = side * 2;  // colour rows then the mask
        header.biPlanes = 1;
        header.biBitCount = 32;
        std::vector<uint8_t> image(sizeof(header));
        std::memcpy(image.data(), &header, sizeof(header));
        for (int i = 0; i < side * side; ++i) image.insert(image.end(), {0, 0, 255, 255});
        image.resize(image.size() + std::size_t(side) * ((side + 31) / 32 * 4), 0);
        images.push_back(image);
    }
    uint32_t offset = uint32_t(6 + 16 * sides.size());
    for (std::size_t i = 0; i < sides.size(); ++i) {
        uint32_t size = uint32_t(images[i].size());
        uint8_t entry[16] = {uint8_t(sides[i]), uint8_t(sides[i]), 0, 0, 1, 0, 32, 0};
        std::memcpy(entry + 8, &size, 4);
        std::memcpy(entry + 12, &offset, 4);
        ico.insert(ico.end(), entry, entry + 16);
        offset += size;
    }
    for (const auto& image : images) ico.insert(ico.end(), image.begin(), image.end());
    return ico;
}

TEST_F(WindowTest, MainWindowCanStartCentredOnTheWorkAreaWithItsIcon) {
    static FormTemplate centred;
    centred.windows = {TestTemplate().windows[0]};
    auto& props = std::get<WindowProps>(centred.windows[0].units[0].props);
    props.centredAtStart = true;
    props.icon = SolidIco({16, 32, 48});
    SetFormTemplate(&centred);
    ASSERT_TRUE(LoadWindow(ids::MainWindow));
    HWND main = GetWindowHandle(ids::MainWindow);
    RECT work{}, rect{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(main, &rect);
    EXPECT_EQ(rect.left, work.left + (work.right - work.left - 400) / 2);
    EXPECT_EQ(rect.top, work.top + (work.bottom - work.top - 300) / 2);
    EXPECT_NE(SendMessageW(main, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(main, WM_GETICON, ICON_SMALL, 0), 0);

    // A damaged icon is left out; the window still loads.
    DestroyAllWindows();
    props.icon.resize(40);
    ASSERT_TRUE(LoadWindow(ids::MainWindow));
    EXPECT_EQ(SendMessageW(GetWindowHandle(ids::MainWindow), WM_GETICON, ICON_BIG, 0), 0);
}

}  // namespace
}  // namespace zorv::ui::test
