#pragma once
// Window commands and property access over the loaded form-template windows.
// Windows and controls are addressed by (window identifier, unit identifier);
// a unit identifier of 0 or the window unit's own identifier means the
// window itself.  All functions may be called from any thread: calls from a
// worker thread are carried out on the UI thread.
#include <windows.h>
// FormTemplate::FindWindow is a method, not the system's FindWindowW.
#undef FindWindow

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/form_template.h"

namespace zorv::ui {

// Installs the decoded template that LoadWindow builds from (read once at
// start).  The template must live until the program ends.
void SetFormTemplate(const FormTemplate* formTemplate);

// Creates a window and its controls from the template; the window's created
// event (0) runs before it returns.  True when loaded.  The owner is the
// window identifier of the owning window, or 0.
bool LoadWindow(uint32_t windowId, uint32_t ownerWindowId = 0);

// For a run without a window (a silent install or uninstall): from now on no
// window of the program is shown, whatever loads or is made visible.
void KeepWindowsHidden();
bool WindowsKeptHidden();

// Loads and shows the start window; failure is fatal ("载入启动窗口失败").
void LoadStartWindow(uint32_t windowId);

// Runs the UI message loop while any loaded window exists.
void RunMessageLoop();

bool IsWindowLoaded(uint32_t windowId);

// Window handle of a loaded window or control; a reference to something not
// loaded is fatal ("指定窗口或窗口组件不存在或尚未载入").
HWND GetWindowHandle(uint32_t windowId, uint32_t unitId = 0);

void SetFocusTo(uint32_t windowId, uint32_t unitId = 0);
void ActivateWindow(uint32_t windowId, uint32_t unitId = 0);
LRESULT SendWindowMessage(uint32_t windowId, uint32_t unitId, UINT message, WPARAM wParam, LPARAM lParam);
// Raises the label's notification event (0) with a and b on the UI thread;
// wait = true sends and returns the handler's result, false posts and returns 0.
LRESULT PostWindowEvent(uint32_t windowId, uint32_t unitId, int32_t a = 0, int32_t b = 0, bool wait = true);
// Makes the window layered (WS_EX_LAYERED only) with the alpha; alpha outside
// 0..255 means 255.
bool SetWindowOpacity(HWND window, int alpha = 255);

// The keyboard of a window (set before the window loads): Tab and Shift+Tab
// move the focus through these units in this order, the first is where the
// keyboard starts, and units not listed never take the focus from the
// keyboard.  A window without an order takes its tab-stop units in
// unit-table order.  Enter and Space press the focused button, toggle the
// focused option or press a listed picture that reacts to a press.
void SetKeyboardOrder(uint32_t windowId, std::vector<uint32_t> units);
// The control that Escape presses while the window is shown, wherever the
// focus is (except in a control that handles its keys itself); the topmost
// shown window's, when several have one.
void SetCancelControl(uint32_t windowId, uint32_t unitId);
// The name screen readers read for a unit whose words are part of its
// picture (GBK); set before the window loads.
void SetAccessibleName(uint32_t windowId, uint32_t unitId, std::string_view name);

// Numbered properties (see ui/form_ids.h: 0 left, 1 top, 2 width, 3 height,
// 4 tag, 5 visible, 6 disabled, 7 mouse pointer, 8 and up per control kind).
// Reads and writes of a unit of a window that is not loaded are fatal.
int64_t ReadProperty(uint32_t windowId, uint32_t unitId, int property);
void WriteProperty(uint32_t windowId, uint32_t unitId, int property, int64_t value);
// Text properties (captions, the edit box's text, the tag), GBK bytes.
std::string ReadTextProperty(uint32_t windowId, uint32_t unitId, int property);
void WriteTextProperty(uint32_t windowId, uint32_t unitId, int property, std::string_view text);

}  // namespace zorv::ui
