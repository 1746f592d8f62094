#include "ui/window_win32.h"

#include <windowsx.h>

#include <algorithm>
#include <atomic>

#include "runtime/codepage_win32.h"
#include "runtime/exit.h"
#include "runtime/fatal.h"
#include "ui/accessible_win32.h"
#include "ui/dpi_win32.h"
#include "ui/form_ids.h"
#include "ui/shadow_params.h"
#include "ui/window_commands_win32.h"
#include "ui/window_events.h"
#include "ui/window_icon.h"

namespace zorv::ui {

namespace {

constexpr wchar_t kWindowClass[] = L"ZorvForm";
constexpr wchar_t kRelayClass[] = L"ZorvRelay";
constexpr char kNotLoaded[] = "指定窗口或窗口组件不存在或尚未载入";

constexpr UINT kDpiChangedMessage = 0x02E0;  // WM_DPICHANGED (Windows 8.1)

// Room the start window keeps on every side within the work area: its drop
// shadow reaches size + offset template pixels beyond it, and a few more
// keep the shadow off the work area's edge.
constexpr int kScreenBorder = int(kMainWindowShadow.size) + kMainWindowShadow.offsetX + 8;

const FormTemplate* formTemplate = nullptr;
std::vector<std::unique_ptr<LoadedWindow>> loadedWindows;  // UI thread only
std::atomic<DWORD> uiThreadId{0};
std::atomic<HWND> relayWindow{nullptr};
FormPlacement placement;  // UI thread only

LRESULT CALLBACK RelayWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunRequestMessage) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    if (message == kFocusCheckMessage) {
        CheckKeyboardFocus();
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
    if (placement.originWindow == hwnd) placement.originWindow = nullptr;
    if (loadedWindows.empty()) placement = FormPlacement{};
}

POINT WindowPhase(const LoadedWindow& window) {
    return POINT{window.logical.left - placement.logicalOrigin.x, window.logical.top - placement.logicalOrigin.y};
}

const UnitRecord* OriginUnit() {
    LoadedWindow* origin = placement.originWindow ? WindowFromHwnd(placement.originWindow) : nullptr;
    return origin ? origin->record->WindowUnit() : nullptr;
}

RECT MonitorWorkArea(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (monitor && GetMonitorInfoW(monitor, &info)) return info.rcWork;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

// The form's scale on that monitor for a start window of that unit.
int FittedDpi(HMONITOR monitor, int monitorDpi, const UnitRecord& unit) {
    RECT work = MonitorWorkArea(monitor);
    return FitFormDpi(monitorDpi, work.right - work.left, work.bottom - work.top, unit.width, unit.height,
                      kScreenBorder);
}

// Every window and control of the form at a new scale, the start window's
// top-left at physicalOrigin.  Template-pixel rectangles stay as they are;
// fonts are made again and images are scaled on their next paint.
void ApplyFormDpi(int dpi, POINT physicalOrigin) {
    placement.dpi = dpi;
    placement.physicalOrigin = physicalOrigin;
    for (const auto& window : loadedWindows)
        for (const auto& control : window->controls) control->Rescale();
    for (const auto& window : loadedWindows) {
        window->placedPhase = POINT{INT32_MIN, INT32_MIN};  // every control is placed again
        PlaceWindow(*window);
        RedrawWindow(window->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
}

// One scale per show: computed again for the start window's monitor when
// any window of the form is shown, and applied when it changed.
void RefitFormScale() {
    const UnitRecord* unit = OriginUnit();
    if (!unit) return;
    HMONITOR monitor = MonitorFromWindow(placement.originWindow, MONITOR_DEFAULTTONEAREST);
    int dpi = FittedDpi(monitor, MonitorDpi(monitor), *unit);
    if (dpi != placement.dpi) ApplyFormDpi(dpi, placement.physicalOrigin);
}

// The start window was moved to a monitor of another DPI: the form is
// scaled for that monitor, at the place the system suggests.
void OnDpiChanged(int monitorDpi, const RECT& suggested) {
    const UnitRecord* unit = OriginUnit();
    if (!unit) return;
    HMONITOR monitor = MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST);
    ApplyFormDpi(FittedDpi(monitor, monitorDpi, *unit), POINT{suggested.left, suggested.top});
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
            // A drag of the start window moves the form's origin with it
            // before the handler docks the other windows.
            if (hwnd == placement.originWindow) SyncWindowFromScreen(*window);
            RaiseWindowEvent(*window, ev::PositionChanged, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_SIZE:
            RaiseWindowEvent(*window, ev::SizeChanged, LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_SHOWWINDOW:
            if (wParam) RefitFormScale();
            RaiseWindowEvent(*window, wParam ? ev::Shown : ev::Hidden);
            break;
        case kDpiChangedMessage:
            // The form follows its start window; the others keep its scale.
            if (hwnd == placement.originWindow) OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_SYSCOMMAND:
            // Alt+F4 or the system's close command on any window of the form
            // is the start window's close request, as the close button is.
            if ((wParam & 0xFFF0) == SC_CLOSE && placement.originWindow && hwnd != placement.originWindow) {
                PostMessageW(placement.originWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
                return 0;
            }
            break;
        case WM_SETFOCUS:
            // Working with the keyboard, a window that gets the focus hands it
            // on to the first control the keyboard reaches in it.
            if (KeyboardCuesShown() && GetFocus() == hwnd)
                for (Control* control : KeyboardControls(*window))
                    if (KeyboardReachable(control->hwnd())) {
                        SetFocus(control->hwnd());
                        break;
                    }
            break;
        case WM_KEYDOWN:
            if (std::optional<LRESULT> taken = HandleFormKey(nullptr, *window, message, wParam, lParam)) return *taken;
            if (const UnitRecord* unit = window->record->WindowUnit())
                RaiseInputEvent(*unit, window->id(), message, wParam, lParam);
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
            if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) SetKeyboardCues(false);
            if (const UnitRecord* unit = window->record->WindowUnit())
                RaiseInputEvent(*unit, window->id(), message, wParam, lParam);
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}


// The start window sets the form's scale (for the monitor of the primary
// work area, where it first shows) and its origin: centred in the work area
// at its scaled size, or at its stored place.
void PlaceStartWindow(LoadedWindow& window, const UnitRecord& unit, const WindowProps& props) {
    RECT work{};
    bool haveWork = SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) != FALSE;
    HMONITOR monitor = haveWork ? MonitorFromRect(&work, MONITOR_DEFAULTTOPRIMARY)
                                : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    placement.dpi = FittedDpi(monitor, MonitorDpi(monitor), unit);
    POINT position{ScaleLength(unit.left, placement.dpi), ScaleLength(unit.top, placement.dpi)};
    if (props.centredAtStart && haveWork) {
        int width = ScaleLength(unit.width, placement.dpi), height = ScaleLength(unit.height, placement.dpi);
        position.x = work.left + std::max<LONG>(0, (work.right - work.left - width) / 2);
        position.y = work.top + std::max<LONG>(0, (work.bottom - work.top - height) / 2);
    }
    placement.physicalOrigin = position;
    placement.logicalOrigin = POINT{UnscaleLength(position.x, placement.dpi), UnscaleLength(position.y, placement.dpi)};
    window.logical = Box{placement.logicalOrigin.x, placement.logicalOrigin.y, unit.width, unit.height};
}

void SetIcons(LoadedWindow& window, const WindowProps& props) {
    if (props.icon.empty()) return;
    window.icons.bigIcon = IconOfSize(props.icon, GetSystemMetrics(SM_CXICON));
    window.icons.smallIcon = IconOfSize(props.icon, GetSystemMetrics(SM_CXSMICON));
    if (window.icons.bigIcon) SendMessageW(window.hwnd, WM_SETICON, ICON_BIG, LPARAM(window.icons.bigIcon));
    if (window.icons.smallIcon) SendMessageW(window.hwnd, WM_SETICON, ICON_SMALL, LPARAM(window.icons.smallIcon));
}

// The parent of a unit: null for the window itself, else its container;
// false when the container is not there.
bool FindParent(LoadedWindow& window, const UnitRecord& unit, Control*& parent) {
    parent = nullptr;
    if (unit.parent == 0 || unit.parent == window.record->WindowUnit()->id) return true;
    parent = window.FindControl(unit.parent);
    return parent != nullptr;
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
    window.placedPhase = WindowPhase(window);
    for (const UnitRecord& unit : window.record->units) {
        if (unit.type == UnitType::Window) continue;
        Control* parent = nullptr;
        if (!FindParent(window, unit, parent)) return false;
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
    bool startsForm = placement.originWindow == nullptr;
    if (startsForm) PlaceStartWindow(window, *unit, props);
    else window.logical = Box{unit->left, unit->top, unit->width, unit->height};
    RECT rect = PhysicalWindowRect(window);
    window.hwnd = CreateWindowExW(0, kWindowClass, WideFromGbk(props.title).c_str(),
                                  WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, owner, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window.hwnd) return false;
    if (startsForm) placement.originWindow = window.hwnd;
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

const FormPlacement& Placement() { return placement; }

int FormDpi() { return placement.dpi; }

int DpiOfWindow(HWND hwnd) {
    if (!hwnd || GetWindowThreadProcessId(hwnd, nullptr) != uiThreadId.load()) return kTemplateDpi;
    return WindowFromHwnd(hwnd) || ControlFromHwnd(hwnd) ? placement.dpi : kTemplateDpi;
}

RECT PhysicalWindowRect(const LoadedWindow& window) {
    POINT phase = WindowPhase(window);
    Span x = ScaleSpan({phase.x, window.logical.width}, placement.dpi);
    Span y = ScaleSpan({phase.y, window.logical.height}, placement.dpi);
    LONG left = placement.physicalOrigin.x + x.start, top = placement.physicalOrigin.y + y.start;
    return RECT{left, top, left + x.length, top + y.length};
}

RECT PhysicalControlRect(Control& control) {
    POINT parentGrid = control.parent() ? control.parent()->grid : WindowPhase(control.window());
    control.grid = POINT{parentGrid.x + control.logical.left, parentGrid.y + control.logical.top};
    Span x = ScaleSpan({control.grid.x, control.logical.width}, placement.dpi);
    Span y = ScaleSpan({control.grid.y, control.logical.height}, placement.dpi);
    LONG left = x.start - ScaleLength(parentGrid.x, placement.dpi);
    LONG top = y.start - ScaleLength(parentGrid.y, placement.dpi);
    return RECT{left, top, left + x.length, top + y.length};
}

Box Control::ToPhysical(const Box& templateBox) const {
    int dpi = placement.dpi;
    Span x = ScaleSpan({grid.x + templateBox.left, templateBox.width}, dpi);
    Span y = ScaleSpan({grid.y + templateBox.top, templateBox.height}, dpi);
    return Box{x.start - ScaleLength(grid.x, dpi), y.start - ScaleLength(grid.y, dpi), x.length, y.length};
}

namespace {

// Moves and sizes the handle to the rectangle (screen coordinates for a
// window, parent client coordinates for a control), telling the system only
// what changed.
void MoveHandle(HWND hwnd, const RECT& rect, bool isChild) {
    RECT now{};
    GetWindowRect(hwnd, &now);
    if (isChild) MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&now), 2);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (now.left == rect.left && now.top == rect.top) flags |= SWP_NOMOVE;
    if (now.right - now.left == rect.right - rect.left && now.bottom - now.top == rect.bottom - rect.top)
        flags |= SWP_NOSIZE;
    SetWindowPos(hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, flags);
}

bool IsDescendant(const Control& control, const Control& ancestor) {
    for (const Control* parent = control.parent(); parent; parent = parent->parent())
        if (parent == &ancestor) return true;
    return false;
}

}  // namespace

void PlaceControl(Control& control, bool withDescendants) {
    MoveHandle(control.hwnd(), PhysicalControlRect(control), true);
    if (!withDescendants || placement.dpi == kTemplateDpi) return;  // at 96 a move never shifts the grid
    for (const auto& other : control.window().controls)
        if (IsDescendant(*other, control)) MoveHandle(other->hwnd(), PhysicalControlRect(*other), true);
}

void PlaceWindow(LoadedWindow& window) {
    RECT rect = PhysicalWindowRect(window);
    if (window.hwnd == placement.originWindow) {
        placement.physicalOrigin = POINT{rect.left, rect.top};
        placement.logicalOrigin = POINT{window.logical.left, window.logical.top};
    }
    MoveHandle(window.hwnd, rect, false);
    POINT phase = WindowPhase(window);
    bool everyControl = window.placedPhase.x == INT32_MIN;  // a new scale
    bool shifted = phase.x != window.placedPhase.x || phase.y != window.placedPhase.y;
    window.placedPhase = phase;
    // At another offset from the grid's origin the window's controls may sit
    // a pixel elsewhere on a fractional scale; at 96 nothing inside moves.
    if (!everyControl && (!shifted || placement.dpi == kTemplateDpi)) return;
    for (const auto& control : window.controls) MoveHandle(control->hwnd(), PhysicalControlRect(*control), true);
}

void SyncWindowFromScreen(LoadedWindow& window) {
    RECT actual{};
    if (!GetWindowRect(window.hwnd, &actual)) return;
    RECT expected = PhysicalWindowRect(window);
    if (EqualRect(&actual, &expected)) return;
    int dpi = placement.dpi;
    if (actual.left != expected.left || actual.top != expected.top) {
        if (window.hwnd == placement.originWindow) {
            placement.physicalOrigin = POINT{actual.left, actual.top};
            placement.logicalOrigin = POINT{UnscaleLength(actual.left, dpi), UnscaleLength(actual.top, dpi)};
            window.logical.left = placement.logicalOrigin.x;
            window.logical.top = placement.logicalOrigin.y;
            window.placedPhase = POINT{0, 0};
        } else {
            window.logical.left = placement.logicalOrigin.x + UnscaleLength(actual.left - placement.physicalOrigin.x, dpi);
            window.logical.top = placement.logicalOrigin.y + UnscaleLength(actual.top - placement.physicalOrigin.y, dpi);
        }
    }
    if (actual.right - actual.left != expected.right - expected.left)
        window.logical.width = UnscaleLength(actual.right - actual.left, dpi);
    if (actual.bottom - actual.top != expected.bottom - expected.top)
        window.logical.height = UnscaleLength(actual.bottom - actual.top, dpi);
}

bool IsFrameOfFocusable(LoadedWindow& window, const Control& control) {
    for (const auto& other : window.controls)
        if (other.get() != &control && FramedBy(other->unit(), control.unit()) &&
            (GetWindowLongPtrW(other->hwnd(), GWL_STYLE) & WS_TABSTOP))
            return true;
    return false;
}

void PostToRelay(UINT message) {
    if (HWND relay = relayWindow.load()) PostMessageW(relay, message, 0, 0);
}

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
        ReleaseAccessibility();
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
        if (record->WindowUnit()->visible() && !WindowsKeptHidden()) ShowWindow(hwnd, SW_SHOWNORMAL);
        loaded = true;
    });
    return loaded;
}

namespace {
std::atomic<bool> windowsKeptHidden{false};
}  // namespace

void KeepWindowsHidden() { windowsKeptHidden.store(true); }

bool WindowsKeptHidden() { return windowsKeptHidden.load(); }

void LoadStartWindow(uint32_t windowId) {
    if (!LoadWindow(windowId)) FatalRuntimeError("载入启动窗口失败");
    HWND hwnd = FindHandle(windowId, 0);
    if (!hwnd) FatalRuntimeError("载入启动窗口失败");
    if (WindowsKeptHidden()) return;
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
