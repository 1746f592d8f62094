#pragma once
// What screen readers learn about the form's controls.  Each control's
// window text holds its caption or its given name; a control that is a
// button, a check box, a link, a text box or a text answers WM_GETOBJECT
// with the system's own standard accessible object of its window (oleacc's
// proxy, which reads the window text as the name, the position, the focus
// and the visibility), told the control's role, its check state and its
// press.  oleacc.dll is loaded from the system folder when first asked for.
#include <windows.h>

#include <optional>
#include <string>

#include "ui/window_win32.h"

namespace zorv::ui {

// The answer to WM_GETOBJECT for the control's client object; nothing (the
// caller passes the message on to DefWindowProc) for any other object, for
// a control without a role, or when oleacc or COM cannot be had.  name, when
// not empty, replaces the window text as the name.  Check boxes report
// their state through BM_GETCHECK; the default action sends BM_CLICK.
std::optional<LRESULT> AnswerAccessibleObject(HWND control, WPARAM wParam, LPARAM lParam, AccessibleRole role,
                                              const std::wstring& name);

// Ends COM on the UI thread if answering started it (the window teardown).
void ReleaseAccessibility();

}  // namespace zorv::ui
