#pragma once
// Drop shadows of the borderless windows.  A shadow is a separate layered,
// click-through popup owned by its target window, reaching `size` pixels
// beyond it on every side.  The target is subclassed: its window procedure
// keeps the shadow in step (redrawn when the target is shown or resized or
// the display changes, moved when it moves, hidden when it hides) and then
// passes every message on to the procedure it had before.  UI thread only.
#include <windows.h>

#include <optional>

#include "ui/shadow_params.h"

namespace zorv::ui {

// Private message of the subclassed target, consumed there.  wParam: one of
// the actions below.
constexpr UINT kShadowCommand = WM_USER + 10;  // 0x040A
constexpr WPARAM kShadowDestroyWindow = 0, kShadowCreateWindow = 1, kShadowRedrawNow = 2;

// Window properties of a target with a shadow: the window procedure it had
// before (its presence means "attached") and the address of its ShadowParams.
inline constexpr wchar_t kShadowPropWndProc[] = L"shadow.prop.wndproc";
inline constexpr wchar_t kShadowPropInfo[] = L"shadow.prop.info";

// The shadow window: layered, click-through (transparent), never activated;
// a visible, disabled popup.
constexpr DWORD kShadowExStyle = WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT;  // 0x08080020
constexpr DWORD kShadowStyle = WS_POPUP | WS_VISIBLE | WS_DISABLED;                      // 0x98000000

// Attaches a shadow drawn from params (which must outlive the attachment):
// sets both properties, creates the shadow window (from the class atom of
// RegisteredShadowState) and subclasses the target.  False, with the target
// left as it was, when the target already has a shadow, has no window
// procedure, params is null or the shadow window cannot be created.
bool AttachShadow(HWND target, ShadowParams* params);

// Destroys the target's shadow window, puts its window procedure back and
// removes both properties; nothing when the target has no shadow.
void DetachShadow(HWND target);

// The shadow step of a subclassed target's message: the result when the
// message is consumed (kShadowCommand), nothing when it is to be passed on.
std::optional<LRESULT> ShadowStep(HWND target, ShadowParams* params, UINT message, WPARAM wParam, LPARAM lParam);

// Shows and repaints the shadow for the target's current rectangle, or with
// hide only hides it.  Nothing without params or a shadow window; a bitmap
// that cannot be allocated leaves the previous picture in place.
void RedrawShadow(HWND target, ShadowParams* params, bool hide);

// Where the shadow bitmap comes from: a 32-bit bottom-up DIB section of that
// size, with its pixels in *bits; null on failure.  Replaceable so that a
// failed allocation can be tested; null restores the system's.  Returns the
// previous one.
using ShadowBitmapFactory = HBITMAP (*)(int width, int height, void** bits);
ShadowBitmapFactory SetShadowBitmapFactory(ShadowBitmapFactory factory);

// Moves the shadow window to follow the target without repainting it.
void RepositionShadow(HWND target, ShadowParams* params);

// Window procedure of subclassed targets.
LRESULT CALLBACK ShadowSubclassProc(HWND target, UINT message, WPARAM wParam, LPARAM lParam);
// Class window procedure of the shadow windows.
LRESULT CALLBACK ShadowWindowProc(HWND shadow, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace zorv::ui
