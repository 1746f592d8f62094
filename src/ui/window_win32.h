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

// A font from the template's LOGFONT bytes (face name in GBK); empty when
// none is stored or it cannot be created.
FontHandle FontFromLogFont(const std::optional<LogFontBytes>& font);

// One control: the unit's record, its window handle and the state that
// properties change.  Subclasses draw and hold the kind's own properties.
class Control {
public:
    Control(LoadedWindow& window, const UnitRecord& unit);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const UnitRecord& unit() const { return unit_; }
    uint32_t windowId() const;
    HWND hwnd() const { return hwnd_; }
    void SetHwnd(HWND hwnd) { hwnd_ = hwnd; }

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

    // Raises a bound event of this unit.
    std::optional<int> Raise(int32_t event, int32_t a = 0, int32_t b = 0, int32_t c = 0) const;

protected:
    LoadedWindow& window_;

private:
    const UnitRecord& unit_;
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
    uint32_t id() const { return record->id; }
    Control* FindControl(uint32_t unitId);
};

// Custom window messages.
constexpr UINT kNotifyMessage = 0x8075;         // PostWindowEvent's notification
constexpr UINT kRunRequestMessage = WM_APP + 0x51;  // lParam: std::function<void()>*

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

// Creates the control of a unit as a child of parent (UI thread).
std::unique_ptr<Control> CreateControl(LoadedWindow& window, const UnitRecord& unit, HWND parent);
std::unique_ptr<Control> CreateImageButton(LoadedWindow& window, const UnitRecord& unit);

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
