// The shadow windows under a real window system: attaching, following the
// target, click-through, and the pixels that reach the screen.  Needs a
// display with a compositor (scripts/with-xvfb); skipped without one.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ui/shadow_class_win32.h"
#include "ui/shadow_win32.h"

namespace zorv::ui {
namespace {

constexpr wchar_t kTargetClass[] = L"ZorvShadowTestTarget";

ShadowState& TestShadowState() {
    static ShadowState state;
    return state;
}

// Messages that reached the targets' own window procedure.
std::vector<UINT>& ReceivedMessages() {
    static std::vector<UINT> messages;
    return messages;
}

LRESULT CALLBACK TargetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ReceivedMessages().push_back(message);
    if (message == WM_ERASEBKGND) {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(HDC(wParam), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return 1;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterTargetClass() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    cls.lpfnWndProc = TargetProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.lpszClassName = kTargetClass;
    done = RegisterClassExW(&cls) != 0;
}

// A borderless white popup at the screen rectangle, shown when asked.
HWND MakeTarget(int left, int top, int width, int height, bool show = true, HWND owner = nullptr) {
    RegisterTargetClass();
    HWND hwnd = CreateWindowExW(0, kTargetClass, L"", WS_POPUP, left, top, width, height, owner, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (hwnd && show) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
        UpdateWindow(hwnd);
    }
    return hwnd;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Lets the window system and the compositor catch up: pumps this thread's
// messages and waits until the screen pixel stops changing (it is checked
// against itself, so no fixed delay decides a result).
COLORREF SettledPixel(int x, int y) {
    COLORREF last = CLR_INVALID;
    int same = 0;
    for (int round = 0; round < 200 && same < 5; ++round) {
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        HDC screen = GetDC(nullptr);
        COLORREF now = GetPixel(screen, x, y);
        ReleaseDC(nullptr, screen);
        same = now == last ? same + 1 : 0;
        last = now;
    }
    return last;
}

int Grey(COLORREF color) { return (GetRValue(color) + GetGValue(color) + GetBValue(color)) / 3; }

RECT RectOf(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

HWND ShadowOf(const ShadowParams& params) { return static_cast<HWND>(params.shadowWindow); }

int bitmapsMade = 0;
bool failBitmaps = false;
HBITMAP CountingBitmap(int width, int height, void** bits) {
    ++bitmapsMade;
    if (failBitmaps) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

class ShadowWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterShadowClass(TestShadowState()); }

    void SetUp() override {
        if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0)
            GTEST_SKIP() << "needs a display (run under scripts/with-xvfb)";
        ASSERT_NE(TestShadowState().classAtom, 0u);
        bitmapsMade = 0;
        failBitmaps = false;
        SetShadowBitmapFactory(CountingBitmap);
        ReceivedMessages().clear();
    }
    void TearDown() override {
        for (HWND hwnd : windows_)
            if (IsWindow(hwnd)) DestroyWindow(hwnd);
        SetShadowBitmapFactory(nullptr);
        Pump();
    }
    HWND Target(int left, int top, int width, int height, bool show = true) {
        HWND hwnd = MakeTarget(left, top, width, height, show);
        windows_.push_back(hwnd);
        return hwnd;
    }

    std::vector<HWND> windows_;
};

TEST_F(ShadowWindows, ClassIsRegisteredOnceAndASecondRegistrationKeepsTheFirst) {
    ShadowState& state = TestShadowState();
    const uintptr_t atom = state.classAtom;
    EXPECT_EQ(atom & ~uintptr_t{0xFFFF}, 0u);
    EXPECT_EQ(state.instance, 0u);
    EXPECT_EQ(state.graphicsFlags, 0u);
    EXPECT_EQ(state.factory, 0u);
    EXPECT_EQ(RegisteredShadowState(), &state);

    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"q4417Shadow", &cls));
    EXPECT_EQ(cls.lpfnWndProc, ShadowWindowProc);
    EXPECT_EQ(cls.style, 0u);
    EXPECT_EQ(cls.hCursor, nullptr);
    EXPECT_EQ(cls.hbrBackground, nullptr);
    EXPECT_EQ(cls.cbWndExtra, 0);

    // Again with an empty name variable: the default name is used (and given
    // back), the registration fails, and the atom of the first stays.
    std::string name;
    EXPECT_FALSE(RegisterShadowClass(state, &name));
    EXPECT_EQ(name, kShadowClassName);
    EXPECT_EQ(state.classAtom, atom);
    ShadowState other;
    EXPECT_FALSE(RegisterShadowClass(other));
    EXPECT_EQ(other.classAtom, 0u);
    EXPECT_EQ(RegisteredShadowState(), &state);  // shadows still come from the first
}

TEST_F(ShadowWindows, AttachCreatesAnOwnedClickThroughShadowAroundTheTarget) {
    HWND target = Target(200, 150, 400, 300);
    const auto original = GetWindowLongPtrW(target, GWLP_WNDPROC);
    ShadowParams params = kMainWindowShadow;
    ASSERT_TRUE(AttachShadow(target, &params));

    EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropW(target, kShadowPropWndProc)), original);
    EXPECT_EQ(GetPropW(target, kShadowPropInfo), &params);
    EXPECT_EQ(GetWindowLongPtrW(target, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(ShadowSubclassProc));

    HWND shadow = ShadowOf(params);
    ASSERT_TRUE(IsWindow(shadow));
    EXPECT_EQ(GetClassLongPtrW(shadow, GCW_ATOM), LONG_PTR(TestShadowState().classAtom));
    EXPECT_EQ(DWORD(GetWindowLongPtrW(shadow, GWL_EXSTYLE)) & kShadowExStyle, kShadowExStyle);
    // The system adds WS_CLIPSIBLINGS to every popup.
    EXPECT_EQ(DWORD(GetWindowLongPtrW(shadow, GWL_STYLE)) & ~DWORD(WS_CLIPSIBLINGS), kShadowStyle);
    EXPECT_EQ(GetWindow(shadow, GW_OWNER), target);
    EXPECT_EQ(GetWindowLongPtrW(shadow, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&params));
    EXPECT_TRUE(IsWindowVisible(shadow));

    // Size 30, offset (1, 1): the picture starts 29 pixels left of and above
    // the target and is 2 × 30 larger.
    RECT rect = RectOf(shadow);
    EXPECT_EQ(rect.left, 200 - 29);
    EXPECT_EQ(rect.top, 150 - 29);
    EXPECT_EQ(rect.right - rect.left, 460);
    EXPECT_EQ(rect.bottom - rect.top, 360);
    EXPECT_EQ(bitmapsMade, 1);
    // The target keeps the activation; the shadow never takes it.
    EXPECT_NE(GetActiveWindow(), shadow);
    EXPECT_NE(GetForegroundWindow(), shadow);
}

TEST_F(ShadowWindows, SecondAttachFailsAndKeepsTheFirstShadow) {
    HWND target = Target(200, 150, 300, 200);
    ShadowParams first = kOptionsPanelShadow;
    ASSERT_TRUE(AttachShadow(target, &first));
    HWND shadow = ShadowOf(first);

    ShadowParams second = kProgressPanelShadow;
    EXPECT_FALSE(AttachShadow(target, &second));
    EXPECT_FALSE(AttachShadow(target, &first));
    EXPECT_EQ(ShadowOf(second), nullptr);
    EXPECT_EQ(ShadowOf(first), shadow);
    EXPECT_TRUE(IsWindow(shadow));
    EXPECT_EQ(GetPropW(target, kShadowPropInfo), &first);
    EXPECT_EQ(GetWindowLongPtrW(target, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(ShadowSubclassProc));
    // Still one shadow window owned by the target.
    int owned = 0;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
        if (GetWindow(w, GW_OWNER) == target) ++owned;
    EXPECT_EQ(owned, 1);
}

TEST_F(ShadowWindows, DetachWithoutShadowChangesNothingAndDetachUndoesAttach) {
    HWND target = Target(200, 150, 300, 200);
    const auto original = GetWindowLongPtrW(target, GWLP_WNDPROC);
    DetachShadow(target);
    EXPECT_EQ(GetWindowLongPtrW(target, GWLP_WNDPROC), original);
    EXPECT_EQ(GetPropW(target, kShadowPropWndProc), nullptr);
    EXPECT_TRUE(IsWindow(target));

    ShadowParams params = kMainWindowShadow;
    ASSERT_TRUE(AttachShadow(target, &params));
    HWND shadow = ShadowOf(params);
    DetachShadow(target);
    EXPECT_FALSE(IsWindow(shadow));
    EXPECT_EQ(ShadowOf(params), nullptr);
    EXPECT_EQ(GetWindowLongPtrW(target, GWLP_WNDPROC), original);
    EXPECT_EQ(GetPropW(target, kShadowPropWndProc), nullptr);
    EXPECT_EQ(GetPropW(target, kShadowPropInfo), nullptr);
    EXPECT_EQ(params.color, kMainWindowShadow.color);  // the record stays as filled
    // Detached again: a new attach builds a fresh shadow.
    ASSERT_TRUE(AttachShadow(target, &params));
    EXPECT_TRUE(IsWindow(ShadowOf(params)));
}

TEST_F(ShadowWindows, FailedAttachLeavesNoPropertyBehind) {
    HWND target = Target(200, 150, 300, 200);
    const auto original = GetWindowLongPtrW(target, GWLP_WNDPROC);
    EXPECT_FALSE(AttachShadow(target, nullptr));
    EXPECT_EQ(GetPropW(target, kShadowPropWndProc), nullptr);
    EXPECT_EQ(GetPropW(target, kShadowPropInfo), nullptr);
    EXPECT_EQ(GetWindowLongPtrW(target, GWLP_WNDPROC), original);

    // A record that still names a shadow window cannot get a second one.
    ShadowParams busy = kMainWindowShadow;
    busy.shadowWindow = target;
    EXPECT_FALSE(AttachShadow(target, &busy));
    EXPECT_EQ(GetPropW(target, kShadowPropWndProc), nullptr);

    // Nothing left over blocks a later attach.
    ShadowParams params = kMainWindowShadow;
    EXPECT_TRUE(AttachShadow(target, &params));
    EXPECT_FALSE(AttachShadow(nullptr, &params));
}

TEST_F(ShadowWindows, ShadowCommandCreatesDestroysAndRedrawsAndIsNeverPassedOn) {
    HWND target = Target(200, 150, 300, 200);
    ShadowParams params = kOptionsPanelShadow;
    ASSERT_TRUE(AttachShadow(target, &params));
    HWND first = ShadowOf(params);
    ReceivedMessages().clear();

    EXPECT_EQ(SendMessageW(target, kShadowCommand, kShadowCreateWindow, 0), 0);  // one exists
    EXPECT_EQ(ShadowOf(params), first);
    const int before = bitmapsMade;
    EXPECT_EQ(SendMessageW(target, kShadowCommand, kShadowRedrawNow, 0), 1);
    EXPECT_EQ(bitmapsMade, before + 1);
    EXPECT_EQ(SendMessageW(target, kShadowCommand, 7, 0), 0);
    EXPECT_EQ(SendMessageW(target, kShadowCommand, kShadowDestroyWindow, 0), 1);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(ShadowOf(params), nullptr);
    EXPECT_EQ(SendMessageW(target, kShadowCommand, kShadowCreateWindow, 0), 1);
    EXPECT_TRUE(IsWindow(ShadowOf(params)));
    EXPECT_EQ(std::count(ReceivedMessages().begin(), ReceivedMessages().end(), kShadowCommand), 0);
    // Other messages still reach the target's own procedure.
    SetWindowPos(target, nullptr, 210, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(std::count(ReceivedMessages().begin(), ReceivedMessages().end(), UINT(WM_MOVE)), 1);
}

TEST_F(ShadowWindows, HidingHidesShowingRedrawsMovingOnlyMoves) {
    HWND target = Target(200, 150, 400, 300);
    ShadowParams params = kMainWindowShadow;
    ASSERT_TRUE(AttachShadow(target, &params));
    HWND shadow = ShadowOf(params);

    ShowWindow(target, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(shadow));
    int drawn = bitmapsMade;
    ShowWindow(target, SW_SHOWNA);
    EXPECT_TRUE(IsWindowVisible(shadow));
    EXPECT_EQ(bitmapsMade, drawn + 1);

    drawn = bitmapsMade;
    SetWindowPos(target, nullptr, 260, 190, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT moved = RectOf(shadow);
    EXPECT_EQ(moved.left, 260 - 29);
    EXPECT_EQ(moved.top, 190 - 29);
    EXPECT_EQ(moved.right - moved.left, 460);
    EXPECT_EQ(bitmapsMade, drawn);  // no new picture for a move

    SetWindowPos(target, nullptr, 0, 0, 300, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(bitmapsMade, drawn + 1);
    RECT resized = RectOf(shadow);
    EXPECT_EQ(resized.right - resized.left, 360);
    EXPECT_EQ(resized.bottom - resized.top, 160);

    drawn = bitmapsMade;
    SendMessageW(target, WM_DISPLAYCHANGE, 32, MAKELPARAM(1600, 1000));
    EXPECT_EQ(bitmapsMade, drawn + 1);
}

TEST_F(ShadowWindows, SizeBelowOneIsStoredBackAsOne) {
    HWND target = Target(200, 150, 100, 80);
    ShadowParams params = MakeShadowParams(0, 0, 0, 50, 0.4f, 0, 0);
    ASSERT_TRUE(AttachShadow(target, &params));
    EXPECT_EQ(params.size, 1.0f);
    RECT rect = RectOf(ShadowOf(params));
    EXPECT_EQ(rect.left, 199);
    EXPECT_EQ(rect.right - rect.left, 102);
}

TEST_F(ShadowWindows, FailedBitmapKeepsThePreviousPicture) {
    Target(100, 100, 800, 600);  // white backdrop
    HWND target = Target(200, 150, 400, 300);
    ShadowParams params = kMainWindowShadow;
    ASSERT_TRUE(AttachShadow(target, &params));
    HWND shadow = ShadowOf(params);
    const COLORREF drawn = SettledPixel(200 - 3, 300);
    ASSERT_LT(Grey(drawn), 255);

    failBitmaps = true;
    params.color = ComposeColor(0, 0, 0, 255);  // a redraw that got through would show solid black
    SetWindowPos(target, nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rect = RectOf(shadow);
    EXPECT_EQ(rect.right - rect.left, 460);  // still the old picture's size
    EXPECT_TRUE(IsWindowVisible(shadow));
    EXPECT_EQ(SettledPixel(200 - 3, 300), drawn);

    failBitmaps = false;
    SendMessageW(target, kShadowCommand, kShadowRedrawNow, 0);
    EXPECT_EQ(RectOf(shadow).right - RectOf(shadow).left, 560);
    EXPECT_LT(Grey(SettledPixel(200 - 3, 300)), Grey(drawn) - 50);
}

TEST_F(ShadowWindows, DestroyingTheTargetTakesTheShadowWithIt) {
    HWND target = Target(200, 150, 300, 200);
    ShadowParams params = kMainWindowShadow;
    ASSERT_TRUE(AttachShadow(target, &params));
    HWND shadow = ShadowOf(params);
    DestroyWindow(target);
    EXPECT_FALSE(IsWindow(shadow));
    EXPECT_EQ(ShadowOf(params), nullptr);
    // The same record serves a new window.
    HWND next = Target(220, 160, 200, 100);
    EXPECT_TRUE(AttachShadow(next, &params));
}

TEST_F(ShadowWindows, ClicksOnTheShadowReachTheWindowBeneath) {
    HWND beneath = Target(100, 100, 800, 600);
    HWND target = Target(300, 250, 300, 200);
    ShadowParams params = kMainWindowShadow;
    ASSERT_TRUE(AttachShadow(target, &params));
    SetForegroundWindow(target);
    SettledPixel(300 - 3, 350);
    HWND shadow = ShadowOf(params);
    for (POINT point : {POINT{300 - 3, 350}, POINT{300 - 28, 250 - 28}, POINT{600 + 10, 450 + 10}}) {
        HWND hit = WindowFromPoint(point);
        EXPECT_NE(hit, shadow) << point.x << "," << point.y;
        EXPECT_EQ(hit, beneath) << point.x << "," << point.y;
    }
    EXPECT_EQ(WindowFromPoint(POINT{400, 300}), target);
    EXPECT_NE(GetForegroundWindow(), shadow);
}

TEST_F(ShadowWindows, ScreenShowsASoftEdgeAndLeavesTheTargetUncovered) {
    // What lies behind each point is read before the shadow exists; black
    // at alpha 50 drawn solid over a grey g would give g × (255 − 50) / 255.
    Target(250, 150, 700, 600);  // white backdrop
    HWND target = Target(400, 300, 400, 300);
    const int behindNear = Grey(SettledPixel(400 - 2, 450));
    const int behindFar = Grey(SettledPixel(400 - 20, 450));
    const int behindOut = Grey(SettledPixel(400 - 40, 450));
    ShadowParams params = kMainWindowShadow;
    ASSERT_TRUE(AttachShadow(target, &params));

    const int justOutside = Grey(SettledPixel(400 - 2, 450));
    EXPECT_LT(justOutside, behindNear - 5) << "no shadow beside the window";
    EXPECT_GT(justOutside, behindNear * (255 - 50) / 255 + 5) << "the edge is not soft";
    // Further out it fades; beyond the bitmap nothing is drawn.
    const int further = Grey(SettledPixel(400 - 20, 450));
    EXPECT_GT(further, justOutside);
    EXPECT_LE(further, behindFar);
    EXPECT_EQ(Grey(SettledPixel(400 - 40, 450)), behindOut);
    // Below and right of the window alike.
    EXPECT_LT(Grey(SettledPixel(600, 600 + 2)), behindNear - 5);
    EXPECT_LT(Grey(SettledPixel(800 + 2, 450)), behindNear - 5);
    // The target's own area is cut out of the picture.
    EXPECT_EQ(SettledPixel(400, 450), RGB(255, 255, 255));
    EXPECT_EQ(SettledPixel(400 + 5, 300 + 5), RGB(255, 255, 255));
    EXPECT_EQ(SettledPixel(600, 450), RGB(255, 255, 255));
    EXPECT_EQ(SettledPixel(799, 599), RGB(255, 255, 255));
}

TEST_F(ShadowWindows, CutOutFollowsTheTargetsWindowRegion) {
    Target(250, 150, 700, 600);  // white backdrop
    HWND target = Target(400, 300, 400, 300);
    // Rounded corners: the target's corner pixels show what lies behind it.
    SetWindowRgn(target, CreateRoundRectRgn(0, 0, 401, 301, 80, 80), TRUE);
    const int behindCorner = Grey(SettledPixel(400 + 3, 300 + 3));
    ShadowParams params = kMainWindowShadow;
    ASSERT_TRUE(AttachShadow(target, &params));
    EXPECT_LT(Grey(SettledPixel(400 + 3, 300 + 3)), behindCorner - 5);
    EXPECT_EQ(SettledPixel(600, 450), RGB(255, 255, 255));
    EXPECT_EQ(SettledPixel(400 + 2, 450), RGB(255, 255, 255));  // inside the region's straight edge
}

}  // namespace
}  // namespace zorv::ui
