// The install screens of the real program, driven from outside with the
// real mouse: the options panel, the folder completion, docking while the
// main window is dragged, the folder dialog, the status strip and the
// progress panel's animation; and what a screen reader learns of the
// controls.  Screenshots go to <build>/screens/.
#include <windows.h>

#include <oleacc.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/http_test_server.h"
#include "support/installer_layout_win32.h"
#include "support/program_child_win32.h"
#include "support/screen_win32.h"

namespace zorv::testing {
namespace {

using layout::kMainWidth, layout::kMainHeight, layout::kOptionsWidth, layout::kOptionsHeight;
using layout::kProgressWidth, layout::kProgressHeight, layout::kStatusWidth, layout::kStatusHeight;
constexpr wchar_t kDefaultFolder[] = L"C:\\Program Files (x86)\\zorv";

bool Shown(HWND window) { return window && IsWindowVisible(window); }

// An answer that trickles for minutes: the install stays in its download.
Reply SlowAnswer() {
    Reply slow = Body(std::string(200000, 'z'));
    slow.trickleBytes = 100;
    slow.trickleGapMs = 500;
    return slow;
}

class Screens : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "needs a display (run under scripts/with-xvfb)";
    }
    // The program started with /URL= naming the scripted server, its main
    // window and its three other windows found.
    void Start() {
        std::wstring url;
        for (char c : server_.Url("/zorv.exe")) url.push_back(wchar_t(c));
        program_ = std::make_unique<ChildProgram>(WinePathOf(ZORV_SETUP_EXE), L"/URL=" + url);
        ASSERT_TRUE(program_->started());
        main_ = program_->WaitForWindow(kMainWindowTitle, 30000);
        ASSERT_NE(main_, nullptr);
        options_ = TopLevelOfSize(program_->id(), kOptionsWidth, kOptionsHeight);
        progress_ = TopLevelOfSize(program_->id(), kProgressWidth, kProgressHeight);
        status_ = TopLevelOfSize(program_->id(), kStatusWidth, kStatusHeight);
        ASSERT_NE(options_, nullptr);
        ASSERT_NE(progress_, nullptr);
        ASSERT_NE(status_, nullptr);
        edit_ = ControlAt(options_, layout::kFolderBoxLeft, layout::kFolderBoxTop, layout::kFolderBoxHeight);
        ASSERT_NE(edit_, nullptr);
        Sleep(500);
    }
    void Close() {
        if (!program_) return;
        PostMessageW(main_, WM_CLOSE, 0, 0);
        EXPECT_EQ(program_->WaitForExit(20000), 0u);
        program_.reset();
    }
    void TearDown() override {
        if (program_) Close();
    }
    void OpenOptions() {
        layout::Click(main_, layout::kOptionsLink);
        ASSERT_TRUE(WaitUntil([&] { return Shown(options_); }, 5000));
        Sleep(300);
    }
    void SetFolder(const std::wstring& folder) {
        SendMessageW(edit_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    }
    void Confirm() { layout::Click(options_, layout::kConfirmButton); }
    // The box's own text (GetWindowText cannot read a control of another process).
    std::wstring Folder() const {
        wchar_t text[512] = {};
        SendMessageW(edit_, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
        return text;
    }

    HttpTestServer server_;
    std::unique_ptr<ChildProgram> program_;
    HWND main_ = nullptr, options_ = nullptr, progress_ = nullptr, status_ = nullptr, edit_ = nullptr;
};

TEST_F(Screens, OptionsPanelDocksBelowAndTheCaptionFollowsTheFolder) {
    Start();
    OpenOptions();
    RECT main = WindowRectOf(main_), panel = WindowRectOf(options_);
    EXPECT_EQ(panel.left, main.left);
    EXPECT_EQ(panel.bottom, main.bottom);
    HWND link = ControlAt(main_, 64, 848, 32), icon = ControlAt(main_, 32, 848, 32), label = ControlAt(main_, 93, 688, 32);
    ASSERT_TRUE(link && icon && label);
    EXPECT_FALSE(IsWindowVisible(link));
    EXPECT_FALSE(IsWindowVisible(icon));
    EXPECT_FALSE(IsWindowVisible(label));
    SaveScreenshot("options-panel");

    SetFolder(L"D:\\Games");
    layout::Click(options_, layout::kOptionsBackLink);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(options_); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(link) && IsWindowVisible(label); }, 5000));
    EXPECT_EQ(WindowText(label), L"当前安装路径 D:\\Games");

    // Escape in the folder box closes the panel like the back link.
    OpenOptions();
    ClickAt(options_, layout::kFolderBoxLeft + 300, layout::kFolderBoxTop + 21);
    keybd_event(VK_ESCAPE, 0, 0, 0);
    keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(options_); }, 5000));
}

TEST_F(Screens, ConfirmingCompletesTheFolderWithTheProductName) {
    struct Case {
        const wchar_t* typed;
        const wchar_t* completed;
    };
    const Case cases[] = {
        {L"D:\\Games", L"D:\\Games\\zorv"},
        {L"D:\\Games\\ZORV", L"D:\\Games\\ZORV\\zorv"},
        {L"D", L"D\\zorv"},
        {L"D:\\zorv", L"D:\\zorv"},
    };
    for (const Case& c : cases) {
        Start();
        OpenOptions();
        SetFolder(c.typed);
        Confirm();
        // The update appends its backslash right after the completion (and a
        // second one when a failed first download restarts it).
        std::wstring completed = c.completed;
        auto completedOnly = [&] {
            std::wstring box = Folder();
            return box.compare(0, completed.size(), completed) == 0 &&
                   box.find_first_not_of(L'\\', completed.size()) == std::wstring::npos;
        };
        EXPECT_TRUE(WaitUntil(completedOnly, 5000))
            << "typed " << Narrow(c.typed) << ", box " << Narrow(Folder());
        EXPECT_TRUE(WaitUntil([&] { return Shown(progress_); }, 5000));
        Close();
    }

    // An empty box only reopens the panel.
    size_t requests = server_.RequestCount();
    Start();
    OpenOptions();
    SetFolder(L"");
    Confirm();
    Sleep(1500);
    EXPECT_TRUE(IsWindowVisible(options_));
    EXPECT_FALSE(IsWindowVisible(progress_));
    EXPECT_EQ(Narrow(Folder()), "");
    EXPECT_EQ(server_.RequestCount(), requests);
}

TEST_F(Screens, DraggingTheMainWindowKeepsThePanelsDocked) {
    Start();
    OpenOptions();
    RECT before = WindowRectOf(main_);
    POINT grab{before.left + 400, before.top + 300};  // the background, no control
    SetCursorPos(grab.x, grab.y);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    for (int step = 1; step <= 10; ++step) {
        Sleep(30);
        SetCursorPos(grab.x + step * 6, grab.y + step * 4);
    }
    Sleep(100);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    Sleep(500);
    RECT main = WindowRectOf(main_);
    EXPECT_EQ(main.left - before.left, 60);
    EXPECT_EQ(main.top - before.top, 40);
    RECT panel = WindowRectOf(options_), progress = WindowRectOf(progress_), status = WindowRectOf(status_);
    EXPECT_EQ(panel.left, main.left);
    EXPECT_EQ(panel.bottom, main.bottom);
    EXPECT_EQ(status.left, main.left);
    EXPECT_EQ(status.top, main.top);
    EXPECT_EQ(progress.left, main.left + (kMainWidth - kProgressWidth) / 2);
    EXPECT_EQ(progress.top, main.top + (kMainHeight - kProgressHeight) / 2);
}

TEST_F(Screens, TheFolderDialogIsTitledAndCancellingGivesTheDefault) {
    Start();
    OpenOptions();
    SetFolder(L"D:\\Elsewhere");
    layout::Click(options_, layout::kBrowseIcon);
    HWND dialog = nullptr;
    bool found = WaitUntil([&] { return (dialog = FindWindowW(nullptr, L"选择安装路径")) != nullptr; }, 10000);
    if (!found) SaveScreenshot("folder-dialog-missing");
    ASSERT_TRUE(found);
    SaveScreenshot("folder-dialog");
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return Folder() == kDefaultFolder; }, 5000));
}

TEST_F(Screens, StatusStripShowsCountsDownFadesAndCloses) {
    // The server refuses: both tries fail at once and the failure message
    // stays for 10 seconds.
    server_.Route("/zorv.exe", Status(404));
    Start();
    layout::Click(main_, layout::kInstallButton);
    ASSERT_TRUE(WaitUntil([&] { return Shown(status_); }, 10000));
    RECT strip = WindowRectOf(status_), main = WindowRectOf(main_);
    EXPECT_EQ(strip.left, main.left);
    EXPECT_EQ(strip.top, main.top);
    HWND text = ControlAt(status_, layout::kStatusTextLeft, layout::kStatusTextTop, layout::kStatusTextHeight);
    ASSERT_NE(text, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(text) == L"获取下载文件失败，请尝试重启软件解决问题"; }, 20000));
    ULONGLONG shown = GetTickCount64();
    Sleep(1000);
    SaveScreenshot("status-strip");
    COLORREF early = ScreenPixel(strip.left + 100, strip.top + 10);
    EXPECT_EQ(early, RGB(250, 167, 85));
    HWND counter = ControlAt(status_, 14, 9, 48);
    ASSERT_NE(counter, nullptr);
    std::wstring count = WindowText(counter);
    EXPECT_TRUE(count.size() >= 3 && count[count.size() - 2] == L'.') << "counter shows one decimal";
    // Near the end the strip fades over the main window's pale header while
    // it is still shown (once hidden, the header itself would pass).
    auto fadedWhileShown = [&] {
        if (!IsWindowVisible(status_)) return false;
        bool paler = GetBValue(ScreenPixel(strip.left + 100, strip.top + 10)) > 120;
        return paler && IsWindowVisible(status_);
    };
    ASSERT_TRUE(WaitUntil(fadedWhileShown, 30000)) << "the strip did not fade before it was hidden";
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(status_); }, 10000));
    EXPECT_GT(GetTickCount64() - shown, 5000u);

    // The close glyph hides a long message at once.
    server_.Route("/zorv.exe", Status(404));
    Close();
    server_.Route("/zorv.exe", SlowAnswer());
    Start();
    layout::Click(main_, layout::kInstallButton);
    ASSERT_TRUE(WaitUntil([&] { return Shown(status_); }, 10000));
    Sleep(500);
    layout::Click(status_, layout::kStatusClose);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(status_); }, 1000));
}

TEST_F(Screens, TheAnimationRunsInOrderAndNotifiesAfterAbout16Seconds) {
    server_.Route("/zorv.exe", SlowAnswer());
    Start();
    layout::Click(main_, layout::kInstallButton);
    ULONGLONG clicked = GetTickCount64();
    ASSERT_TRUE(WaitUntil([&] { return Shown(progress_); }, 5000));
    RECT main = WindowRectOf(main_), panel = WindowRectOf(progress_);
    EXPECT_EQ(panel.left, main.left + (kMainWidth - kProgressWidth) / 2);
    EXPECT_EQ(panel.top, main.top + (kMainHeight - kProgressHeight) / 2 + 35);
    HWND frameTop = ControlAt(progress_, 0, 0, 2), footer4 = ControlAt(progress_, 864, 648, 30);
    ASSERT_TRUE(frameTop && footer4);
    auto width = [](HWND control) {
        RECT rect = WindowRectOf(control);
        return rect.right - rect.left;
    };
    // The panel is shown whole and then collapsed by the animation's thread;
    // after that the first unit grows while the last waits at zero, and the
    // last ends at its target.
    bool collapsed = false, grewFirst = false, shot = false;
    ULONGLONG lastStarted = 0;
    for (ULONGLONG now = GetTickCount64(); now - clicked < 25000; now = GetTickCount64()) {
        int top = width(frameTop), last = width(footer4);
        if (top == 0 && last == 0) collapsed = true;
        if (!collapsed) {
            Sleep(5);
            continue;
        }
        if (top > 0 && top < kProgressWidth && last == 0) grewFirst = true;
        if (!shot && now - clicked > 6000) shot = SaveScreenshot("progress-animation");
        if (last > 0 && lastStarted == 0) lastStarted = now;
        if (last == 80) break;
        Sleep(20);
    }
    EXPECT_TRUE(grewFirst);
    EXPECT_EQ(width(frameTop), kProgressWidth);
    EXPECT_EQ(width(footer4), 80);
    ASSERT_NE(lastStarted, 0u);
    EXPECT_NEAR(double(lastStarted - clicked) / 1000.0, 15.0, 3.0);
    // The notification's handler recolours the panel's shadow; a second
    // later the shortcuts are made (both options are ticked).
    wchar_t desktop[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
    std::wstring link = std::wstring(desktop) + L"\\Zorvane.lnk";
    DeleteFileW(link.c_str());
    ASSERT_TRUE(WaitUntil([&] { return GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000));
    EXPECT_NEAR(double(GetTickCount64() - clicked) / 1000.0, 17.0, 3.0);
    DeleteFileW(link.c_str());
}

// A control's accessible object as a screen reader gets it: asked from this
// process through the system's accessibility API, answered by the program.
class Accessible {
public:
    explicit Accessible(HWND control) {
        if (control) AccessibleObjectFromWindow(control, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&object_));
    }
    ~Accessible() {
        if (object_) object_->Release();
    }
    Accessible(const Accessible&) = delete;
    Accessible& operator=(const Accessible&) = delete;
    explicit operator bool() const { return object_ != nullptr; }

    std::wstring Name() const { return Text(&IAccessible::get_accName); }
    std::wstring Value() const { return Text(&IAccessible::get_accValue); }
    LONG Role() const { return Number(&IAccessible::get_accRole); }
    LONG State() const { return Number(&IAccessible::get_accState); }
    HRESULT Press() const { return object_->accDoDefaultAction(Self()); }

private:
    static VARIANT Self() {
        VARIANT self;
        VariantInit(&self);
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        return self;
    }
    std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) const {
        BSTR text = nullptr;
        std::wstring result;
        if ((object_->*get)(Self(), &text) == S_OK && text) result = text;
        SysFreeString(text);
        return result;
    }
    LONG Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*)) const {
        VARIANT value;
        VariantInit(&value);
        if ((object_->*get)(Self(), &value) != S_OK || value.vt != VT_I4) return -1;
        return value.lVal;
    }
    IAccessible* object_ = nullptr;
};

TEST_F(Screens, ButtonsLinksOptionsAndTheFolderBoxTellScreenReadersWhatTheyAre) {
    CoInitialize(nullptr);
    Start();
    struct Expected {
        HWND window;
        const wchar_t* name;
        LONG role;
    };
    auto check = [](const Expected& e) {
        HWND control = ShownChildWithText(e.window, e.name);
        ASSERT_NE(control, nullptr) << "no shown control named " << Narrow(e.name);
        Accessible object(control);
        ASSERT_TRUE(object) << Narrow(e.name);
        EXPECT_EQ(object.Name(), e.name);
        EXPECT_EQ(object.Role(), e.role) << Narrow(e.name);
    };
    check({main_, L"立即安装", ROLE_SYSTEM_PUSHBUTTON});
    check({main_, L"自定义选项", ROLE_SYSTEM_LINK});
    check({main_, L"关闭", ROLE_SYSTEM_PUSHBUTTON});

    OpenOptions();
    check({options_, L"选择安装路径", ROLE_SYSTEM_PUSHBUTTON});
    check({options_, L"立即安装", ROLE_SYSTEM_PUSHBUTTON});
    check({options_, L"添加到开机菜单", ROLE_SYSTEM_CHECKBUTTON});
    Accessible folder(edit_);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder.Name(), L"安装路径");
    EXPECT_EQ(folder.Role(), ROLE_SYSTEM_TEXT);
    EXPECT_EQ(folder.Value(), kDefaultFolder);

    // The option reads as ticked, its default action unticks it, and then
    // it reads as unticked.
    Accessible desktop(ShownChildWithText(options_, L"桌面快捷方式"));
    ASSERT_TRUE(desktop);
    EXPECT_EQ(desktop.Role(), ROLE_SYSTEM_CHECKBUTTON);
    EXPECT_TRUE(desktop.State() & STATE_SYSTEM_CHECKED);
    EXPECT_EQ(desktop.Press(), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return !(desktop.State() & STATE_SYSTEM_CHECKED); }, 3000));
    CoUninitialize();
}

}  // namespace
}  // namespace zorv::testing
