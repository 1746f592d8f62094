// Numbered properties of the loaded windows and controls.  Every access runs
// on the UI thread; a reference to a window that is not loaded, or to a unit
// that no loaded window holds, is a fatal error raised on the calling thread,
// except once the program is ending: the windows are being destroyed then,
// and an access that finds none is dropped quietly.
#include "runtime/exit.h"
#include "runtime/fatal.h"
#include "ui/form_ids.h"
#include "ui/property_rules.h"
#include "ui/window_commands_win32.h"
#include "ui/window_win32.h"

namespace zorv::ui {

namespace {

constexpr char kReadNotLoaded[] = "读取组件属性时发现指定窗口尚未载入";
constexpr char kWriteNotLoaded[] = "修改组件属性时发现指定窗口尚未载入";
constexpr char kUnitNotLoaded[] = "未载入欲访问窗口组件所在的窗口";

enum class Target { Found, NoWindow, NoUnit };

// What a property access addresses: the window itself (control null) or one
// of its controls.
struct Addressed {
    LoadedWindow* window = nullptr;
    Control* control = nullptr;
};

Target Resolve(uint32_t windowId, uint32_t unitId, Addressed& out) {
    out.window = FindLoadedWindow(windowId);
    if (!out.window) return Target::NoWindow;
    if (unitId == 0 || unitId == out.window->record->WindowUnit()->id) return Target::Found;
    out.control = out.window->FindControl(unitId);
    return out.control ? Target::Found : Target::NoUnit;
}

void FailOn(Target target, const char* windowMessage) {
    if (IsExiting()) return;
    if (target == Target::NoWindow) FatalRuntimeError(windowMessage);
    if (target == Target::NoUnit) FatalRuntimeError(kUnitNotLoaded);
}

HWND HandleOf(const Addressed& at) { return at.control ? at.control->hwnd() : at.window->hwnd; }

// The unit's rectangle in template pixels: relative to its parent for a
// control, on the form's screen grid for a window (taken back from the
// screen first when the system moved the window, as a drag does).
Box UnitBox(const Addressed& at) {
    if (at.control) return at.control->logical;
    SyncWindowFromScreen(*at.window);
    return at.window->logical;
}

int32_t& CursorOf(const Addressed& at) { return at.control ? at.control->cursorId : at.window->cursorId; }
std::string& TagOf(const Addressed& at) { return at.control ? at.control->tag : at.window->tag; }

int64_t ReadCommon(const Addressed& at, int property) {
    namespace p = ids::prop;
    HWND hwnd = HandleOf(at);
    switch (property) {
        case p::Left: return UnitBox(at).left;
        case p::Top: return UnitBox(at).top;
        case p::Width: return UnitBox(at).width;
        case p::Height: return UnitBox(at).height;
        case p::Visible: return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE) ? 1 : 0;
        case p::Disabled: return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_DISABLED) ? 1 : 0;
        case p::MousePointer: return CursorOf(at);
        default: break;
    }
    if (at.control) return at.control->ReadOwnProperty(property).value_or(0);
    return 0;
}

// Geometry is written in template pixels and placed at the form's scale;
// at 96 DPI that is the pixel rectangle written.
void WriteGeometry(const Addressed& at, int property, int64_t value) {
    Box box = UnitBox(at);
    int32_t clamped = int32_t(ClampCommonProperty(property, value));
    switch (property) {
        case ids::prop::Left: box.left = clamped; break;
        case ids::prop::Top: box.top = clamped; break;
        case ids::prop::Width: box.width = clamped; break;
        default: box.height = clamped; break;
    }
    if (at.control) {
        bool moved = box.left != at.control->logical.left || box.top != at.control->logical.top;
        at.control->logical = box;
        PlaceControl(*at.control, moved);
        InvalidateRect(at.control->hwnd(), nullptr, FALSE);
    } else {
        at.window->logical = box;
        PlaceWindow(*at.window);
    }
}

void WriteCommon(const Addressed& at, int property, int64_t value) {
    namespace p = ids::prop;
    HWND hwnd = HandleOf(at);
    switch (property) {
        case p::Left:
        case p::Top:
        case p::Width:
        case p::Height: WriteGeometry(at, property, value); return;
        case p::Visible:
            if (value && !at.control && WindowsKeptHidden()) return;
            ShowWindow(hwnd, value ? (at.control ? SW_SHOW : SW_SHOWNA) : SW_HIDE);
            return;
        case p::Disabled: EnableWindow(hwnd, value ? FALSE : TRUE); return;
        case p::MousePointer: CursorOf(at) = int32_t(value); return;
        default: break;
    }
    if (at.control) at.control->WriteOwnProperty(property, value);  // an unknown number changes nothing
}

}  // namespace

int64_t ReadProperty(uint32_t windowId, uint32_t unitId, int property) {
    int64_t value = 0;
    Target target = Target::Found;
    RunOnUiThread([&] {
        Addressed at;
        target = Resolve(windowId, unitId, at);
        if (target == Target::Found) value = ReadCommon(at, property);
    });
    FailOn(target, kReadNotLoaded);
    return value;
}

void WriteProperty(uint32_t windowId, uint32_t unitId, int property, int64_t value) {
    Target target = Target::Found;
    RunOnUiThread([&] {
        Addressed at;
        target = Resolve(windowId, unitId, at);
        if (target == Target::Found) WriteCommon(at, property, value);
    });
    FailOn(target, kWriteNotLoaded);
}

std::string ReadTextProperty(uint32_t windowId, uint32_t unitId, int property) {
    std::string text;
    Target target = Target::Found;
    RunOnUiThread([&] {
        Addressed at;
        target = Resolve(windowId, unitId, at);
        if (target != Target::Found) return;
        if (property == ids::prop::Tag) text = TagOf(at);
        else if (at.control) text = at.control->ReadOwnText(property).value_or(std::string());
    });
    FailOn(target, kReadNotLoaded);
    return text;
}

void WriteTextProperty(uint32_t windowId, uint32_t unitId, int property, std::string_view text) {
    Target target = Target::Found;
    RunOnUiThread([&] {
        Addressed at;
        target = Resolve(windowId, unitId, at);
        if (target != Target::Found) return;
        if (property == ids::prop::Tag) TagOf(at) = std::string(text);
        else if (at.control) at.control->WriteOwnText(property, text);
    });
    FailOn(target, kWriteNotLoaded);
}

}  // namespace zorv::ui
