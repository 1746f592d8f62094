#include "ui/window_win32.h"

#include <windowsx.h>

#include <algorithm>
#include <atomic>

#include "runtime/codepage_win32.h"
#include "runtime/exit.h"
#include "runtime/fatal.h"
#include "ui/form_ids.h"
#include "ui/window_commands_win32.h"
#include "ui/window_events.h"
#include "ui/window_icon.h"

namespace zorv::ui {

namespace {

constexpr wchar_t kWindowClass[] = L"ZorvForm";
constexpr wchar_t kRelayClass[] = L"ZorvRelay";
constexpr char kNotLoaded[] = "指定窗口或窗口组件不存在或尚未载入";

const FormTemplate* formTemplate = nullptr;
std::vector<std::unique_ptr<LoadedWindow>> loadedWindows;  // UI thread only
std::atomic<DWORD> uiThreadId{0};
std::atomic<HWND> relayWindow{nullptr};

LRESULT CALLBACK RelayWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunRequestMessage) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The UI thread is the one that loads the first window; it gets a hidden
// message window that carries other threads' requests.
void BecomeUiThread() {
    if (uiThreadId.load()) return;
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    cls.lpfnWndProc = RelayWindowProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = kRelayClass;
    RegisterClassExW(&cls);
    relayWindow = CreateWindowExW(0, kRelayClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    uiThreadId = GetCurrentThreadId();
    SetWindowTeardown(DestroyAllWindows);
}


HICON IconOfSize(const std::vector<uint8_t>& ico, int side) {
    auto entries = ReadIconDirectory(ico);
    if (!entries) return nullptr;
    std::vector<uint8_t> group = MakeGroupIconDirectory(*entries);
    int id = LookupIconIdFromDirectoryEx(group.data(), TRUE, side, side, LR_DEFAULTCOLOR);
    if (id < 1 || std::size_t(id) > entries->size()) return nullptr;
    const IconEntry& entry = (*entries)[std::size_t(id) - 1];
    return CreateIconFromResourceEx(const_cast<uint8_t*>(ico.data()) + entry.offset, entry.size, TRUE, 0x00030000,
                                    side, side, LR_DEFAULTCOLOR);
}

void RaiseWindowEvent(LoadedWindow& window, int32_t event, int32_t a = 0, int32_t b = 0, int32_t c = 0) {
    if (const UnitRecord* unit = window.record->WindowUnit()) DeliverEvent(window.id(), *unit, event, a, b, c);
}

void ForgetWindow(HWND hwnd) {
    auto found = std::find_if(loadedWindows.begin(), loadedWindows.end(),
                              [hwnd](const auto& window) { return window->hwnd == hwnd; });
    if (found == loadedWindows.end()) return;
    std::unique_ptr<LoadedWindow> window = std::move(*found);
    loadedWindows.erase(found);
}

LRESULT CALLBACK FormWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LoadedWindow* window = WindowFromHwnd(hwnd);
    if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
    namespace ev = ids::event;
    switch (message) {
        case WM_CLOSE: {
            const UnitRecord* unit = window->record->WindowUnit();
            std::optional<int> answer = unit ? DeliverEvent(window->id(), *unit, ev::CloseRequested) : std::nullopt;
            if (answer && *answer == 0) return 0;  // the handler keeps the window
            DestroyWindow(hwnd);
            return 0;
        }
        case WM_MOVE:
            RaiseWindowEvent(*window, ev::PositionChanged, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_SIZE:
            RaiseWindowEvent(*window, ev::SizeChanged, LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_SHOWWINDOW:
            RaiseWindowEvent(*window, wParam ? ev::Shown : ev::Hidden);
            break;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && HWND(wParam) == hwnd) {
                SetCursor(LoadCursorW(nullptr, window->cursorId ? MAKEINTRESOURCEW(window->cursorId) : IDC_ARROW));
                return TRUE;
            }
            break;
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(hwnd, &client);
            uint32_t color = std::get<WindowProps>(window->record->WindowUnit()->props).backgroundColor;
            UniqueGdi<HBRUSH> own(color == kColorNotSet ? nullptr : CreateSolidBrush(color & 0xFFFFFF));
            FillRect(HDC(wParam), &client, own ? own.get() : GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_NCDESTROY:
            ForgetWindow(hwnd);
            return DefWindowProcW(hwnd, message, wParam, lParam);
        default:
            if (const UnitRecord* unit = window->record->WindowUnit())
                RaiseInputEvent(*unit, window->id(), message, wParam, lParam);
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}


POINT StartPosition(const UnitRecord& unit, const WindowProps& props) {
    POINT position{unit.left, unit.top};
    RECT work{};
    if (props.centredAtStart && SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        position.x = work.left + std::max<LONG>(0, (work.right - work.left - unit.width) / 2);
        position.y = work.top + std::max<LONG>(0, (work.bottom - work.top - unit.height) / 2);
    }
    return position;
}

void SetIcons(LoadedWindow& window, const WindowProps& props) {
    if (props.icon.empty()) return;
    window.icons.bigIcon = IconOfSize(props.icon, GetSystemMetrics(SM_CXICON));
    window.icons.smallIcon = IconOfSize(props.icon, GetSystemMetrics(SM_CXSMICON));
    if (window.icons.bigIcon) SendMessageW(window.hwnd, WM_SETICON, ICON_BIG, LPARAM(window.icons.bigIcon));
    if (window.icons.smallIcon) SendMessageW(window.hwnd, WM_SETICON, ICON_SMALL, LPARAM(window.icons.smallIcon));
}

// The parent window handle of a unit: the window, or its container.
HWND ParentHandle(LoadedWindow& window, const UnitRecord& unit) {
    if (unit.parent == 0 || unit.parent == window.record->WindowUnit()->id) return window.hwnd;
    Control* parent = window.FindControl(unit.parent);
    return parent ? parent->hwnd() : nullptr;
}

// True when the inner unit lies within the outer one and is smaller: a
// control framed by a sibling (the folder box and its icon in their field).
bool FramedBy(const UnitRecord& inner, const UnitRecord& outer) {
    if (inner.parent != outer.parent) return false;
    bool within = inner.left >= outer.left && inner.top >= outer.top &&
                  inner.left + inner.width <= outer.left + outer.width &&
                  inner.top + inner.height <= outer.top + outer.height;
    return within && (inner.width < outer.width || inner.height < outer.height);
}

// Earlier units lie above later ones, except that a unit framed by an
// earlier sibling lies above its frame, which would hide it otherwise.
void RaiseFramedControls(LoadedWindow& window) {
    for (std::size_t i = 0; i < window.controls.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (FramedBy(window.controls[i]->unit(), window.controls[j]->unit())) {
                SetWindowPos(window.controls[i]->hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                break;
            }
}

bool CreateControls(LoadedWindow& window) {
    for (const UnitRecord& unit : window.record->units) {
        if (unit.type == UnitType::Window) continue;
        HWND parent = ParentHandle(window, unit);
        if (!parent) return false;
        std::unique_ptr<Control> control = CreateControl(window, unit, parent);
        if (!control) return false;
        window.controls.push_back(std::move(control));
    }
    RaiseFramedControls(window);
    return true;
}

bool CreateFormWindow(LoadedWindow& window, HWND owner) {
    const UnitRecord* unit = window.record->WindowUnit();
    if (!unit || !std::holds_alternative<WindowProps>(unit->props)) return false;
    const auto& props = std::get<WindowProps>(unit->props);
    RegisterFormClass(kWindowClass, FormWindowProc);
    POINT position = StartPosition(*unit, props);
    window.hwnd = CreateWindowExW(0, kWindowClass, WideFromGbk(props.title).c_str(),
                                  WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX, position.x, position.y, unit->width,
                                  unit->height, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window.hwnd) return false;
    window.cursorId = unit->cursor;
    window.tag = unit->tag;
    SetIcons(window, props);
    return true;
}

void FatalIfMissing(bool missing, const char* message) {
    if (missing && !IsExiting()) FatalRuntimeError(message);
}

HWND FindHandle(uint32_t windowId, uint32_t unitId) {
    HWND handle = nullptr;
    RunOnUiThread([&] {
        LoadedWindow* window = FindLoadedWindow(windowId);
        if (!window) return;
        if (unitId == 0 || unitId == window->record->WindowUnit()->id) {
            handle = window->hwnd;
        } else if (Control* control = window->FindControl(unitId)) {
            handle = control->hwnd();
        }
    });
    return handle;
}

HWND RequireHandle(uint32_t windowId, uint32_t unitId) {
    HWND handle = FindHandle(windowId, unitId);
    FatalIfMissing(!handle, kNotLoaded);
    return handle;
}

}  // namespace

Control* LoadedWindow::FindControl(uint32_t unitId) {
    for (const auto& control : controls)
        if (control->unit().id == unitId) return control.get();
    return nullptr;
}

LoadedWindow* FindLoadedWindow(uint32_t windowId) {
    for (const auto& window : loadedWindows)
        if (window->id() == windowId) return window.get();
    return nullptr;
}

LoadedWindow* WindowFromHwnd(HWND hwnd) {
    for (const auto& window : loadedWindows)
        if (window->hwnd == hwnd) return window.get();
    return nullptr;
}

void RunOnUiThread(const std::function<void()>& work) {
    DWORD ui = uiThreadId.load();
    HWND relay = relayWindow.load();
    if (!ui || ui == GetCurrentThreadId() || !relay) {
        work();
        return;
    }
    // Once the program ends, the UI thread tears the windows down and may
    // wait for workers: a worker's request is dropped instead of waiting.
    if (IsExiting()) return;
    SendMessageW(relay, kRunRequestMessage, 0, reinterpret_cast<LPARAM>(&work));
}

void DestroyAllWindows() {
    RunOnUiThread([] {
        // Owned windows go with their owner; destroy from the last loaded.
        while (!loadedWindows.empty()) {
            HWND hwnd = loadedWindows.back()->hwnd;
            DestroyWindow(hwnd);
            if (!loadedWindows.empty() && loadedWindows.back()->hwnd == hwnd) ForgetWindow(hwnd);
        }
    });
}

void SetFormTemplate(const FormTemplate* newTemplate) { formTemplate = newTemplate; }

bool LoadWindow(uint32_t windowId, uint32_t ownerWindowId) {
    bool loaded = false;
    RunOnUiThread([&] {
        BecomeUiThread();
        if (FindLoadedWindow(windowId)) {
            loaded = true;  // a window loads once
            return;
        }
        const WindowRecord* record = formTemplate ? formTemplate->FindWindow(windowId) : nullptr;
        if (!record) return;
        HWND owner = nullptr;
        if (ownerWindowId != 0) {
            LoadedWindow* ownerWindow = FindLoadedWindow(ownerWindowId);
            if (!ownerWindow) return;
            owner = ownerWindow->hwnd;
        } else if (windowId != ids::MainWindow) {
            if (LoadedWindow* main = FindLoadedWindow(ids::MainWindow)) owner = main->hwnd;
        }
        auto window = std::make_unique<LoadedWindow>();
        window->record = record;
        LoadedWindow& ref = *window;
        loadedWindows.push_back(std::move(window));
        if (!CreateFormWindow(ref, owner) || !CreateControls(ref)) {
            if (ref.hwnd) DestroyWindow(ref.hwnd);
            else ForgetWindow(nullptr);
            return;
        }
        uint32_t id = ref.id();
        HWND hwnd = ref.hwnd;
        RaiseWindowEvent(ref, ids::event::Created);
        // The created handler may have ended or unloaded the window.
        LoadedWindow* still = FindLoadedWindow(id);
        if (!still || still->hwnd != hwnd) return;
        if (record->WindowUnit()->visible()) ShowWindow(hwnd, SW_SHOWNORMAL);
        loaded = true;
    });
    return loaded;
}

void LoadStartWindow(uint32_t windowId) {
    if (!LoadWindow(windowId)) FatalRuntimeError("载入启动窗口失败");
    HWND hwnd = FindHandle(windowId, 0);
    if (!hwnd) FatalRuntimeError("载入启动窗口失败");
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
}

void RunMessageLoop() {
    MSG message;
    while (!loadedWindows.empty() && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool IsWindowLoaded(uint32_t windowId) {
    bool loaded = false;
    RunOnUiThread([&] { loaded = FindLoadedWindow(windowId) != nullptr; });
    return loaded;
}

HWND GetWindowHandle(uint32_t windowId, uint32_t unitId) { return RequireHandle(windowId, unitId); }

void SetFocusTo(uint32_t windowId, uint32_t unitId) {
    HWND hwnd = RequireHandle(windowId, unitId);
    RunOnUiThread([hwnd] { SetFocus(hwnd); });
}

void ActivateWindow(uint32_t windowId, uint32_t unitId) {
    HWND hwnd = RequireHandle(windowId, unitId);
    RunOnUiThread([hwnd] { SetActiveWindow(hwnd); });
}

LRESULT SendWindowMessage(uint32_t windowId, uint32_t unitId, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(RequireHandle(windowId, unitId), message, wParam, lParam);
}

LRESULT PostWindowEvent(uint32_t windowId, uint32_t unitId, int32_t a, int32_t b, bool wait) {
    HWND hwnd = RequireHandle(windowId, unitId);
    if (wait) return SendMessageW(hwnd, kNotifyMessage, WPARAM(a), LPARAM(b));
    PostMessageW(hwnd, kNotifyMessage, WPARAM(a), LPARAM(b));
    return 0;
}

bool SetWindowOpacity(HWND window, int alpha) {
    if (alpha < 0 || alpha > 255) alpha = 255;
    SetWindowLongPtrW(window, GWL_EXSTYLE, WS_EX_LAYERED);
    return SetLayeredWindowAttributes(window, 0, BYTE(alpha), LWA_ALPHA) != FALSE;
}

bool RegisterFormClass(const wchar_t* className, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), className, &existing)) return true;
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.style = CS_DBLCLKS;
    cls.lpfnWndProc = procedure;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.lpszClassName = className;
    return RegisterClassExW(&cls) != 0;
}

}  // namespace zorv::ui
