// The keyboard of the form: Tab and Shift+Tab move the focus through a
// window's controls in its keyboard order, Enter and Space press the focused
// control, Escape presses the window's cancel control, and the focused
// control shows a mark once the keyboard is in use.  What the mouse cannot
// reach (a control hidden, disabled, lying under a sibling or under another
// window of the form, such as the install button under the progress panel)
// the keyboard cannot reach either.
#include <map>
#include <utility>

#include "ui/form_ids.h"
#include "ui/window_commands_win32.h"
#include "ui/window_win32.h"

namespace zorv::ui {

namespace {

// Set before the first window loads (or on the UI thread), read on the UI
// thread.
std::map<uint32_t, std::vector<uint32_t>> keyboardOrders;
std::map<uint32_t, uint32_t> cancelControls;
std::map<std::pair<uint32_t, uint32_t>, std::string> accessibleNames;
bool keyboardCues = false;
bool focusCheckPending = false;

RECT ScreenRect(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

// A window of the form above the control's own window covers its middle.
bool CoveredByFormWindow(HWND control) {
    HWND own = GetAncestor(control, GA_ROOT);
    RECT rect = ScreenRect(control);
    POINT middle{rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
    for (HWND above = GetWindow(own, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
        if (!WindowFromHwnd(above) || !IsWindowVisible(above)) continue;
        RECT cover = ScreenRect(above);
        if (PtInRect(&cover, middle)) return true;
    }
    return false;
}

// The control is what a click on its middle would hit inside its own
// window: no sibling lies over it there (the install button lies over the
// uninstall button, which only the uninstall mode uncovers by hiding it).
bool TopmostAtItsMiddle(HWND control) {
    RECT rect = ScreenRect(control);
    POINT middle{rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
    HWND at = GetAncestor(control, GA_ROOT);
    while (at && at != control) {
        POINT local = middle;
        ScreenToClient(at, &local);
        HWND child = ChildWindowFromPointEx(at, local, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (!child || child == at) return false;
        at = child;
    }
    return at == control;
}

Control* FirstReachable(LoadedWindow& window) {
    for (Control* control : KeyboardControls(window))
        if (KeyboardReachable(control->hwnd())) return control;
    return nullptr;
}

void FocusControl(Control& control) {
    SetFocus(control.hwnd());
    InvalidateRect(control.hwnd(), nullptr, FALSE);
}

}  // namespace

void SetKeyboardOrder(uint32_t windowId, std::vector<uint32_t> units) { keyboardOrders[windowId] = std::move(units); }

void SetCancelControl(uint32_t windowId, uint32_t unitId) { cancelControls[windowId] = unitId; }

void SetAccessibleName(uint32_t windowId, uint32_t unitId, std::string_view name) {
    accessibleNames[{windowId, unitId}] = std::string(name);
}

std::string GivenAccessibleName(uint32_t windowId, uint32_t unitId) {
    auto found = accessibleNames.find({windowId, unitId});
    return found == accessibleNames.end() ? std::string() : found->second;
}

std::vector<Control*> KeyboardControls(LoadedWindow& window) {
    std::vector<Control*> controls;
    auto order = keyboardOrders.find(window.id());
    if (order != keyboardOrders.end()) {
        for (uint32_t unitId : order->second)
            if (Control* control = window.FindControl(unitId)) controls.push_back(control);
        return controls;
    }
    for (const auto& control : window.controls)
        if ((GetWindowLongPtrW(control->hwnd(), GWL_STYLE) & WS_TABSTOP) && !IsFrameOfFocusable(window, *control))
            controls.push_back(control.get());
    return controls;
}

bool KeyboardReachable(HWND control) {
    HWND own = GetAncestor(control, GA_ROOT);
    return IsWindowVisible(control) && IsWindowEnabled(control) && IsWindowEnabled(own) &&
           TopmostAtItsMiddle(control) && !CoveredByFormWindow(control);
}

void MoveKeyboardFocus(LoadedWindow& window, HWND from, bool backwards) {
    std::vector<Control*> controls = KeyboardControls(window);
    const std::size_t count = controls.size();
    std::size_t at = count;  // not in the order: start from its beginning (or end)
    for (std::size_t i = 0; i < count; ++i)
        if (controls[i]->hwnd() == from) at = i;
    for (std::size_t step = 1; step <= count; ++step) {
        std::size_t next = at == count ? (backwards ? count - step : step - 1)
                                       : (backwards ? (at + count - step) % count : (at + step) % count);
        if (KeyboardReachable(controls[next]->hwnd())) {
            FocusControl(*controls[next]);
            return;
        }
    }
}

void RequestFocusCheck() {
    if (focusCheckPending) return;
    focusCheckPending = true;
    PostToRelay(kFocusCheckMessage);
}

void CheckKeyboardFocus() {
    focusCheckPending = false;
    if (!keyboardCues) return;
    HWND focus = GetFocus();
    if (Control* control = ControlFromHwnd(focus)) {
        for (Control* reachable : KeyboardControls(control->window()))
            if (reachable == control && KeyboardReachable(focus)) return;
    }
    // The topmost shown window of the form that the keyboard can work in.
    for (HWND top = GetTopWindow(nullptr); top; top = GetWindow(top, GW_HWNDNEXT)) {
        LoadedWindow* window = WindowFromHwnd(top);
        if (!window || !IsWindowVisible(top)) continue;
        if (Control* first = FirstReachable(*window)) {
            FocusControl(*first);
            return;
        }
    }
}

bool PressCancelControl() {
    for (HWND top = GetTopWindow(nullptr); top; top = GetWindow(top, GW_HWNDNEXT)) {
        LoadedWindow* window = WindowFromHwnd(top);
        if (!window || !IsWindowVisible(top)) continue;
        auto cancel = cancelControls.find(window->id());
        if (cancel == cancelControls.end()) continue;
        Control* control = window->FindControl(cancel->second);
        if (control && KeyboardReachable(control->hwnd())) return control->PressByKey();
    }
    return false;
}

bool KeyboardCuesShown() { return keyboardCues; }

void SetKeyboardCues(bool shown) {
    if (keyboardCues == shown) return;
    keyboardCues = shown;
    if (HWND focus = GetFocus(); ControlFromHwnd(focus)) InvalidateRect(focus, nullptr, FALSE);
}

std::optional<LRESULT> HandleFormKey(Control* control, LoadedWindow& window, UINT message, WPARAM wParam,
                                     LPARAM lParam) {
    if (message == WM_CHAR && wParam == L'\t') return 0;  // Tab moves the focus; it types nothing
    if (message != WM_KEYDOWN) return std::nullopt;
    HWND self = control ? control->hwnd() : window.hwnd;
    switch (wParam) {
        case VK_TAB:
            SetKeyboardCues(true);
            MoveKeyboardFocus(window, control ? self : nullptr, GetKeyState(VK_SHIFT) < 0);
            return 0;
        case VK_RETURN:
        case VK_SPACE: {
            SetKeyboardCues(true);
            RequestFocusCheck();
            if (!control || control->unit().type == UnitType::EditBox) return std::nullopt;  // typed or its own key
            bool repeated = (lParam & (1 << 30)) != 0;  // a key held down presses once
            if (repeated || !KeyboardReachable(self)) return 0;
            control->PressByKey();  // the handler may end the program: nothing after this
            return 0;
        }
        case VK_ESCAPE:
            SetKeyboardCues(true);
            RequestFocusCheck();
            // A control with a key handler of its own (the folder box) takes it.
            if (control && control->unit().HandlerFor(ids::event::KeyDown) != kNoHandler) return std::nullopt;
            if (PressCancelControl()) return 0;
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace zorv::ui
