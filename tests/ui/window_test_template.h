#pragma once
// A small form template built in code for the window tests: two windows with
// one control of each kind, a few event bindings, and handlers that record
// what they receive.
#include <windows.h>
#undef FindWindow  // FormTemplate::FindWindow is a method

#include <gtest/gtest.h>

#include "png_test_encoder.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/fatal.h"
#include "ui/control_layout.h"
#include "ui/form_ids.h"
#include "ui/form_template.h"
#include "ui/handlers.h"
#include "ui/png_image.h"
#include "ui/window_commands_win32.h"
#include "ui/window_win32.h"

namespace zorv::ui::test {


struct Recorded {
    Handler handler;
    EventArgs args;
    DWORD threadId;
};

// Every call of a handler of the test table, in order.
std::vector<Recorded> RecordedCalls();
void ClearRecordedCalls();
std::vector<Recorded> CallsOf(Handler handler);
// The result each handler returns (default 1).
void SetHandlerResult(Handler handler, int result);

// Unit identifiers used only by the tests, in the control range.
constexpr uint32_t kTiledBox = 0x1601F001;
constexpr uint32_t kShape = 0x1601F002;
constexpr uint32_t kPlainButton = 0x1601F003;
constexpr uint32_t kCheck = 0x1601F004;
constexpr uint32_t kCentredBox = 0x1601F005;
constexpr uint32_t kPanelLabel = 0x1601F006;

// Main window (visible, at 100,100, 400 × 300):
//   MainBackground container (white) holding
//   LogoImage 10,10 32×32 mode 2 with a 48×48 red image;
//   kCentredBox 50,10 40×40 mode 2, green background, 20×20 blue image;
//   kTiledBox 100,10 30×20 mode 1, 10×10 image red | blue (split at 5);
//   InstallPathLabel 10,60 200×30, yellow background, "WWWW" centred,
//     hand pointer, left button → ShowOptions;
//   InstallNotifier 10,100 hidden label, notification → InstallNotified;
//   CloseButton 300,10 32×32, PicOut light grey, PicIn dark grey (both with a
//     transparent corner), clicked → CloseClicked;
//   kCheck 200,100 100×40 check box, unchecked, PicOut grey / PicIn orange
//     24×24 opaque with a white top-left pixel, caption "桌面", clicked → ConfirmClicked;
//   PathEdit 10,150 200×24 "C:\abc", limit 50, focus → PathEditFocusGained /
//     PathEditFocusLost;
//   kShape 220,150 40×30 outline red, fill green;
//   kPlainButton 250,200 60×30 with PicOut only and no bindings.
// Window events: created → MainWindowCreated, close → MainWindowClosing,
// moved → MainWindowMoved.
// Options panel (hidden, 300 × 100): container + kPanelLabel; created →
// OptionsPanelCreated, shown → OptionsPanelShown, hidden → OptionsPanelHidden.
const FormTemplate& TestTemplate();

// Installs the template and the recording handlers; tears every window down
// afterwards.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Pixels of a window's client area as its own painting draws it
// (WM_PRINTCLIENT into a memory bitmap).
class Rendered {
public:
    explicit Rendered(HWND hwnd);
    ~Rendered();
    COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    int width_ = 0, height_ = 0;
};

// Dispatches this thread's messages until the condition holds or about two
// seconds have passed; true when it holds.
template <typename Condition>
bool PumpUntil(Condition condition) {
    for (int round = 0; round < 400; ++round) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (condition()) return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return condition();
}

// Fatal errors become this exception in the tests.
struct FatalError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
bool ThrowingFatalHandler(const std::string& message, const std::string& location);

}  // namespace zorv::ui::test

// ---- implementation (header-only, one test executable) ----
namespace zorv::ui::test {

inline std::vector<uint8_t> SplitPng(int width, int height, int split, uint32_t left, uint32_t right) {
    std::vector<uint32_t> pixels(std::size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[std::size_t(y) * width + x] = x < split ? left : right;
    return EncodeRgbaPng(width, height, pixels);
}

inline std::vector<uint8_t> SolidPng(int width, int height, uint32_t rgba) {
    return SplitPng(width, height, width, rgba, rgba);
}

// A square with its top-left pixel fully transparent (so it is blended).
inline std::vector<uint8_t> CorneredPng(int side, uint32_t rgba) {
    std::vector<uint32_t> pixels(std::size_t(side) * side, rgba);
    pixels[0] = 0;
    return EncodeRgbaPng(side, side, pixels);
}

// An opaque square whose top-left pixel is white: drawn with white masked out.
inline std::vector<uint8_t> KeyedPng(int side, uint32_t rgba) {
    std::vector<uint32_t> pixels(std::size_t(side) * side, rgba);
    pixels[0] = 0xFFFFFFFF;
    return EncodeRgbaPng(side, side, pixels);
}

struct RecordState {
    std::mutex lock;
    std::vector<Recorded> calls;
    int results[kHandlerCount];
    RecordState() { std::fill(std::begin(results), std::end(results), 1); }
};

inline RecordState& Records() {
    static RecordState state;
    return state;
}

template <Handler H>
int RecordingHandler(const EventArgs& args) {
    RecordState& state = Records();
    std::lock_guard guard(state.lock);
    state.calls.push_back({H, args, GetCurrentThreadId()});
    return state.results[uint32_t(H)];
}

template <std::size_t... I>
void InstallRecordingHandlers(std::index_sequence<I...>) {
    static const EventHandler table[kHandlerCount] = {&RecordingHandler<Handler(I)>...};
    SetHandlerTable(table);
}

inline std::vector<Recorded> RecordedCalls() {
    std::lock_guard guard(Records().lock);
    return Records().calls;
}
inline void ClearRecordedCalls() {
    std::lock_guard guard(Records().lock);
    Records().calls.clear();
    std::fill(std::begin(Records().results), std::end(Records().results), 1);
}
inline std::vector<Recorded> CallsOf(Handler handler) {
    std::vector<Recorded> found;
    for (const Recorded& call : RecordedCalls())
        if (call.handler == handler) found.push_back(call);
    return found;
}
inline void SetHandlerResult(Handler handler, int result) {
    std::lock_guard guard(Records().lock);
    Records().results[uint32_t(handler)] = result;
}

inline UnitRecord MakeUnit(uint32_t id, UnitType type, Box rect, uint32_t parent, UnitProps props) {
    UnitRecord unit;
    unit.id = id;
    unit.type = type;
    unit.left = rect.left, unit.top = rect.top, unit.width = rect.width, unit.height = rect.height;
    unit.parent = parent;
    unit.props = std::move(props);
    return unit;
}

inline EventBinding Bind(int32_t event, Handler handler) { return EventBinding{event, uint32_t(handler)}; }

inline WindowRecord MainWindowRecord() {
    using namespace ids;
    WindowRecord window;
    window.id = MainWindow;
    WindowProps windowProps;
    windowProps.title = "测试窗口";
    UnitRecord windowUnit = MakeUnit(MainWindowUnit, UnitType::Window, {100, 100, 400, 300}, 0, windowProps);
    windowUnit.events = {Bind(event::Created, Handler::MainWindowCreated),
                         Bind(event::CloseRequested, Handler::MainWindowClosing),
                         Bind(event::PositionChanged, Handler::MainWindowMoved)};
    window.units.push_back(windowUnit);

    PictureBoxProps background;
    background.backgroundColor = 0xFFFFFF;
    window.units.push_back(MakeUnit(MainBackground, UnitType::PictureBox, {0, 0, 400, 300}, 0, background));
    const uint32_t parent = MainBackground;

    PictureBoxProps logo{kColorNotSet, 2, SolidPng(48, 48, 0xFF0000FF)};
    window.units.push_back(MakeUnit(LogoImage, UnitType::PictureBox, {10, 10, 32, 32}, parent, logo));
    PictureBoxProps centred{0x00FF00, 2, SolidPng(20, 20, 0x0000FFFF)};
    window.units.push_back(MakeUnit(kCentredBox, UnitType::PictureBox, {50, 10, 40, 40}, parent, centred));
    PictureBoxProps tiled{0x00FF00, 1, SplitPng(10, 10, 5, 0xFF0000FF, 0x0000FFFF)};
    window.units.push_back(MakeUnit(kTiledBox, UnitType::PictureBox, {100, 10, 30, 20}, parent, tiled));

    LabelProps pathLabel;
    pathLabel.caption = "WWWW";
    pathLabel.backgroundColor = 0x00FFFF;  // yellow
    pathLabel.horizontalAlign = 1;
    UnitRecord label = MakeUnit(InstallPathLabel, UnitType::Label, {10, 60, 200, 30}, parent, pathLabel);
    label.cursor = kHandCursor;
    label.events = {Bind(event::LeftButtonDown, Handler::ShowOptions)};
    window.units.push_back(label);

    UnitRecord notifier = MakeUnit(InstallNotifier, UnitType::Label, {10, 100, 72, 32}, parent, LabelProps{});
    notifier.stateFlags = 0;
    notifier.events = {Bind(event::Notification, Handler::InstallNotified)};
    window.units.push_back(notifier);

    ImageButtonProps close;
    close.picOut = CorneredPng(32, 0xC0C0C0FF);
    close.picIn = CorneredPng(32, 0x404040FF);
    UnitRecord closeButton = MakeUnit(CloseButton, UnitType::ImageButton, {300, 10, 32, 32}, parent, close);
    closeButton.stateFlags = 5;
    closeButton.events = {Bind(event::Clicked, Handler::CloseClicked)};
    window.units.push_back(closeButton);

    ImageButtonProps check;
    check.checkBox = true;
    check.picOut = KeyedPng(24, 0x808080FF);
    check.picIn = KeyedPng(24, 0xFF8000FF);
    check.caption = "桌面";
    UnitRecord checkBox = MakeUnit(kCheck, UnitType::ImageButton, {200, 100, 100, 40}, parent, check);
    checkBox.events = {Bind(event::Clicked, Handler::ConfirmClicked)};
    window.units.push_back(checkBox);

    EditBoxProps edit;
    edit.text = "C:\\abc";
    edit.textLimit = 50;
    UnitRecord editBox = MakeUnit(PathEdit, UnitType::EditBox, {10, 150, 200, 24}, parent, edit);
    editBox.events = {Bind(event::FocusGained, Handler::PathEditFocusGained),
                      Bind(event::FocusLost, Handler::PathEditFocusLost)};
    window.units.push_back(editBox);

    ShapeBoxProps shape{0, 0x0000FF, 0x00FF00};
    window.units.push_back(MakeUnit(kShape, UnitType::ShapeBox, {220, 150, 40, 30}, parent, shape));

    ImageButtonProps plain;
    plain.picOut = CorneredPng(20, 0x00FF00FF);
    window.units.push_back(MakeUnit(kPlainButton, UnitType::ImageButton, {250, 200, 60, 30}, parent, plain));

    for (UnitRecord& unit : window.units)
        if (unit.parent == MainBackground) window.units[1].children.push_back(unit.id);
    return window;
}

inline WindowRecord OptionsPanelRecord() {
    using namespace ids;
    WindowRecord window;
    window.id = OptionsPanel;
    UnitRecord windowUnit = MakeUnit(OptionsPanelUnit, UnitType::Window, {20, 30, 300, 100}, 0, WindowProps{});
    windowUnit.stateFlags = 0;
    windowUnit.events = {Bind(event::Created, Handler::OptionsPanelCreated),
                         Bind(event::Shown, Handler::OptionsPanelShown),
                         Bind(event::Hidden, Handler::OptionsPanelHidden)};
    window.units.push_back(windowUnit);
    PictureBoxProps background{0xFFFFFF, 0, {}};
    UnitRecord container = MakeUnit(OptionsBackground, UnitType::PictureBox, {0, 0, 300, 100}, 0, background);
    container.children = {kPanelLabel};
    window.units.push_back(container);
    window.units.push_back(MakeUnit(kPanelLabel, UnitType::Label, {5, 5, 50, 20}, OptionsBackground, LabelProps{}));
    return window;
}

inline const FormTemplate& TestTemplate() {
    static const FormTemplate formTemplate{{MainWindowRecord(), OptionsPanelRecord()}};
    return formTemplate;
}

inline void WindowTest::SetUp() {
    ClearRecordedCalls();
    InstallRecordingHandlers(std::make_index_sequence<kHandlerCount>());
    SetFormTemplate(&TestTemplate());
}

inline void WindowTest::TearDown() {
    DestroyAllWindows();
    SetFatalErrorHandler(nullptr);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

inline Rendered::Rendered(HWND hwnd) {
    RECT client{};
    GetClientRect(hwnd, &client);
    width_ = client.right;
    height_ = client.bottom;
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, std::max(width_, 1), std::max(height_, 1));
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bitmap_);
    SendMessageW(hwnd, WM_PRINTCLIENT, WPARAM(dc_), PRF_CLIENT);
}

inline Rendered::~Rendered() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

inline bool ThrowingFatalHandler(const std::string& message, const std::string&) { throw FatalError(message); }

}  // namespace zorv::ui::test
