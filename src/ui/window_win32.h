#pragma once
// The loaded windows and their controls.  Everything here lives on the UI
// thread (the thread that loaded the first window); other threads come in
// through RunOnUiThread.
#include <windows.h>
// FormTemplate::FindWindow is a method, not the system's FindWindowW.
#undef FindWindow

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/unique_handle_win32.h"
#include "ui/control_layout.h"
#include "ui/form_scale.h"
#include "ui/form_template.h"
#include "ui/png_image_win32.h"

namespace zorv::ui {

struct LoadedWindow;

// Owns a GDI font.
class FontHandle {
public:
    FontHandle() = default;
    explicit FontHandle(HFONT font) : font_(font) {}
    // The stored font, or the system's default GUI font when there is none.
    HFONT get() const { return font_ ? font_.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

private:
    UniqueGdi<HFONT> font_;
};

// Fills the area with a colour of the template (0x00BBGGRR).
void FillColor(HDC dc, const RECT& area, uint32_t color);

// A font from the template's LOGFONT bytes (face name in GBK) with its
// heights scaled to the DPI; without stored bytes the system's default GUI
// font at that DPI; empty (the stock font itself) when that needs no
// change or the font cannot be created.
FontHandle FontFromLogFont(const std::optional<LogFontBytes>& font, int dpi);

// The role a control shows to screen readers (see accessible_win32.h).
enum class AccessibleRole { None, PushButton, CheckButton, Link, Text, StaticText };

// One control: the unit's record, its window handle and the state that
// properties change.  Subclasses draw and hold the kind's own properties.
//
// Geometry: the control's rectangle is kept in template pixels, relative to
// its parent (what the properties read and write); the window handle gets
// the physical rectangle at the form's scale, taken from the edges on the
// form's grid (see PlaceControl), and everything a control draws is scaled
// the same way.
class Control {
public:
    Control(LoadedWindow& window, const UnitRecord& unit, Control* parent);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const UnitRecord& unit() const { return unit_; }
    LoadedWindow& window() const { return window_; }
    uint32_t windowId() const;
    HWND hwnd() const { return hwnd_; }
    void SetHwnd(HWND hwnd) { hwnd_ = hwnd; }
    Control* parent() const { return parent_; }

    // The rectangle in template pixels, relative to the parent.
    Box logical;
    // Where this control's client origin lies on the form's grid, in template
    // pixels from the grid's origin (set by PlaceControl).
    POINT grid{0, 0};
    // A box of the client area in template pixels, in physical pixels of the
    // client at the form's scale (edges taken on the grid).
    Box ToPhysical(const Box& templateBox) const;

    int32_t cursorId = 0;
    std::string tag;

    // Draws the client area into the DC (used by WM_PAINT through a back
    // buffer and by WM_PRINTCLIENT).
    virtual void Paint(HDC) {}
    // Kind-specific numbered and text properties; nothing when the kind has
    // no such property.
    virtual std::optional<int64_t> ReadOwnProperty(int) { return std::nullopt; }
    virtual bool WriteOwnProperty(int, int64_t) { return false; }
    virtual std::optional<std::string> ReadOwnText(int) { return std::nullopt; }
    virtual bool WriteOwnText(int, std::string_view) { return false; }
    // Kind-specific message handling; nothing = the common handling applies.
    virtual std::optional<LRESULT> Handle(UINT, WPARAM, LPARAM) { return std::nullopt; }
    // The label's notification (message 0x8075); others ignore it.
    virtual LRESULT Notify(int32_t, int32_t) { return 0; }
    // Fonts for the form's new scale (images follow by themselves).
    virtual void Rescale() {}
    // Enter or Space on the focused control: true when it pressed something.
    virtual bool PressByKey() { return false; }
    // What screen readers are told this control is.
    virtual AccessibleRole Role() const { return AccessibleRole::None; }
    // The name screen readers read when it differs from the window text
    // (the edit box, whose text is its content); empty otherwise.
    virtual std::wstring AccessibleName() const { return {}; }

    // Raises a bound event of this unit.
    std::optional<int> Raise(int32_t event, int32_t a = 0, int32_t b = 0, int32_t c = 0) const;

protected:
    LoadedWindow& window_;

private:
    const UnitRecord& unit_;
    Control* parent_;
    HWND hwnd_ = nullptr;
};

// The window's big and small icons, destroyed with it.
struct IconPair {
    HICON bigIcon = nullptr, smallIcon = nullptr;
    IconPair() = default;
    IconPair(const IconPair&) = delete;
    IconPair& operator=(const IconPair&) = delete;
    ~IconPair() {
        if (bigIcon) DestroyIcon(bigIcon);
        if (smallIcon) DestroyIcon(smallIcon);
    }
};

struct LoadedWindow {
    const WindowRecord* record = nullptr;
    HWND hwnd = nullptr;
    int32_t cursorId = 0;
    std::string tag;
    std::vector<std::unique_ptr<Control>> controls;
    IconPair icons;
    // The screen rectangle in template pixels (see FormPlacement).
    Box logical;
    // The window's offset from the form's grid origin that its controls
    // were last placed with.
    POINT placedPhase{0, 0};
    uint32_t id() const { return record->id; }
    Control* FindControl(uint32_t unitId);
};

// --- The form's scale and placement (UI thread) ---------------------------
//
// All windows of the form share one scale (a DPI, see form_scale.h) and one
// grid: the first window loaded (the start window) is its origin.  A window's
// screen rectangle in template pixels maps to physical pixels as
// origin.physical + scaled(edge - origin.logical), edge by edge, so windows
// docked edge to edge in template pixels stay edge to edge on the screen.
// At 96 DPI every mapping is the identity.
struct FormPlacement {
    int dpi = kTemplateDpi;
    HWND originWindow = nullptr;
    POINT physicalOrigin{0, 0};
    POINT logicalOrigin{0, 0};
};
const FormPlacement& Placement();
int FormDpi();
// The window's physical screen rectangle for its logical one.
RECT PhysicalWindowRect(const LoadedWindow& window);
// The control's physical rectangle relative to its parent's client area
// (also sets its grid origin).
RECT PhysicalControlRect(Control& control);
// Moves and sizes the window (or the control) to its logical rectangle.
void PlaceWindow(LoadedWindow& window);
void PlaceControl(Control& control, bool withDescendants);
// Takes a window's logical rectangle back from the screen when the system
// moved it (a drag of the start window, which also moves the origin).
void SyncWindowFromScreen(LoadedWindow& window);
// The scale of a window of the form, or 96 for any other window.
int DpiOfWindow(HWND hwnd);

// --- Keyboard (keyboard_win32.cpp, UI thread) ------------------------------

// The controls that the keyboard reaches in the window, in their order.
std::vector<Control*> KeyboardControls(LoadedWindow& window);
// Visible, enabled and not covered by another window of the form that lies
// above it (what a mouse click could reach).
bool KeyboardReachable(HWND control);
// Tab / Shift+Tab from the control (null: from the start of the order).
void MoveKeyboardFocus(LoadedWindow& window, HWND from, bool backwards);
// After a key pressed something: once the queued work has run, a focus that
// was left on a control that can no longer be reached goes to the first
// reachable control of the topmost window of the form.
void RequestFocusCheck();
void CheckKeyboardFocus();
// Escape: presses the cancel control of the topmost shown window of the form
// that has one (the options panel's back link wherever the focus is).
bool PressCancelControl();
// Whether the focus mark is drawn: after the keyboard moved or used the
// focus, until the next mouse press.
bool KeyboardCuesShown();
void SetKeyboardCues(bool shown);
// The keys every control and window of the form share (Tab, Shift+Tab,
// Enter, Space, Escape); a result when the key was taken.
std::optional<LRESULT> HandleFormKey(Control* control, LoadedWindow& window, UINT message, WPARAM wParam,
                                     LPARAM lParam);
// The name a unit was given for screen readers, or empty.
std::string GivenAccessibleName(uint32_t windowId, uint32_t unitId);
// True when the control lies as a frame around a focusable sibling (the
// folder box's field): such a frame is not a stop of its own.
bool IsFrameOfFocusable(LoadedWindow& window, const Control& control);

// Custom window messages.
constexpr UINT kNotifyMessage = 0x8075;         // PostWindowEvent's notification
constexpr UINT kRunRequestMessage = WM_APP + 0x51;  // lParam: std::function<void()>*
constexpr UINT kFocusCheckMessage = WM_APP + 0x52;  // to the relay window

// The loaded window of that identifier, or null (UI thread only).
LoadedWindow* FindLoadedWindow(uint32_t windowId);
// Any loaded window or control by handle, or null.
Control* ControlFromHwnd(HWND hwnd);
LoadedWindow* WindowFromHwnd(HWND hwnd);

// Runs the work on the UI thread and waits for it; on the UI thread itself,
// or before any window exists, it runs at once.  From another thread, once
// the program has begun to end, the work is dropped.
void RunOnUiThread(const std::function<void()>& work);

// Destroys every loaded window (the program's window teardown).
void DestroyAllWindows();

// Creates the control of a unit inside its parent control (null: the
// window itself) (UI thread).
std::unique_ptr<Control> CreateControl(LoadedWindow& window, const UnitRecord& unit, Control* parent);
std::unique_ptr<Control> CreateImageButton(LoadedWindow& window, const UnitRecord& unit, Control* parent);
// Posts a message to the UI thread's hidden relay window.
void PostToRelay(UINT message);

// Registers a window class of the form's windows and controls (double
// clicks, the arrow cursor) unless it is registered already; true when it is.
bool RegisterFormClass(const wchar_t* className, WNDPROC procedure);
// Common window procedure of the program's control classes.
LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Fills the DC with what the parent shows behind the child's client area.
void PaintParentBehind(HWND child, HDC dc);
// Ctrl / Shift / Alt as bits 1 / 2 / 4.
int32_t ModifierBits();
// Mouse, focus and keyboard events shared by every unit: delivers the unit's
// event for a message of that kind and ignores every other message.  The
// handler's answer is not passed back, so the caller treats the message
// the same whatever the handler did.
void RaiseInputEvent(const UnitRecord& unit, uint32_t windowId, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace zorv::ui
