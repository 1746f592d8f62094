#include "ui/shadow_win32.h"

#include <span>

#include "runtime/unique_handle_win32.h"
#include "ui/form_scale.h"
#include "ui/shadow_class_win32.h"
#include "ui/shadow_render.h"
#include "ui/window_win32.h"

namespace zorv::ui {

static_assert(kShadowCommand == 0x040A);
static_assert(kShadowExStyle == 0x08080020 && kShadowStyle == 0x98000000);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ShadowParams) == 24, "six 32-bit fields");
static_assert(sizeof(ShadowState) == 44, "eleven 32-bit fields");
#endif

namespace {

using UniqueGdiObject = UniqueGdi<>;

HBITMAP SystemShadowBitmap(int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows bottom-up, as the renderer writes them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

ShadowBitmapFactory bitmapFactory = SystemShadowBitmap;

HWND ShadowWindowOf(const ShadowParams* params) {
    return params ? static_cast<HWND>(params->shadowWindow) : nullptr;
}

// The target's screen rectangle laid out for its shadow; nothing when the
// rectangle is inverted or too large.  The size is raised to 1 (and stored
// back) as the renderer does.  A window of a scaled form casts its shadow at
// the form's scale: size and offsets grow with it, the stored look does not.
std::optional<ShadowLayout> LayoutFor(HWND target, ShadowParams& params) {
    RECT rect{};
    if (!GetWindowRect(target, &rect)) return std::nullopt;
    int dpi = DpiOfWindow(target);
    if (dpi == kTemplateDpi)
        return LayoutShadow(rect.left, rect.top, rect.right, rect.bottom, params.size, params.offsetX, params.offsetY);
    if (!ShadowExtent(params.size)) return std::nullopt;
    float size = params.size * float(dpi) / float(kTemplateDpi);
    return LayoutShadow(rect.left, rect.top, rect.right, rect.bottom, size, ScaleLength(params.offsetX, dpi),
                        ScaleLength(params.offsetY, dpi));
}

// The part of the bitmap that lies under the target: its window region, or
// its whole rectangle, at the target's place in the bitmap.
UniqueGdiObject CutOutRegion(HWND target, const ShadowLayout& layout) {
    HRGN region = CreateRectRgn(0, 0, layout.targetWidth, layout.targetHeight);
    if (!region) return {};
    // A target without a window region keeps the full rectangle.
    GetWindowRgn(target, region);
    OffsetRgn(region, layout.targetX, layout.targetY);
    return UniqueGdiObject(region);
}

// Renders the shadow into a fresh bitmap, clears the target's shape in it
// and pushes it to the shadow window.  A bitmap that cannot be made leaves
// the window's picture as it was.
void PaintShadow(HWND shadow, const ShadowLayout& layout, uint32_t color, HRGN cutOut) {
    void* bits = nullptr;
    UniqueGdiObject bitmap(bitmapFactory(layout.width, layout.height, &bits));
    if (!bitmap || !bits) return;
    if (!RenderShadowPixels(layout, color, std::span(static_cast<uint32_t*>(bits), layout.PixelCount()))) return;
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dc) return;
    ScopedSelection selected(dc.get(), bitmap.get());
    // Every pixel inside the target's shape becomes 0, fully transparent, so
    // the shadow, which lies above its target, never covers it.
    if (cutOut) {
        SelectClipRgn(dc.get(), cutOut);
        RECT all{0, 0, layout.width, layout.height};
        FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        SelectClipRgn(dc.get(), nullptr);
    }
    POINT destination{layout.screenX, layout.screenY};
    SIZE size{layout.width, layout.height};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};  // pixels are premultiplied
    UpdateLayeredWindow(shadow, nullptr, &destination, &size, dc.get(), &source, 0, &blend, ULW_ALPHA);
}

// The create action: a new shadow window owned by the target, from the
// registered class.  False when there are no parameters, a shadow window
// already exists or the window cannot be created.
bool CreateShadowWindow(HWND target, ShadowParams* params) {
    if (!params || params->shadowWindow) return false;
    const ShadowState* state = RegisteredShadowState();
    if (!state || state->classAtom == 0) return false;
    HINSTANCE instance = state->instance ? reinterpret_cast<HINSTANCE>(state->instance) : GetModuleHandleW(nullptr);
    // WM_CREATE stores the handle into params and draws the first picture.
    HWND shadow = CreateWindowExW(kShadowExStyle, MAKEINTATOM(state->classAtom), L"", kShadowStyle, 0, 0, 0, 0,
                                  target, nullptr, instance, params);
    if (!shadow) {
        params->shadowWindow = nullptr;
        return false;
    }
    return true;
}

void DestroyShadowWindow(ShadowParams* params) {
    if (!params) return;
    if (HWND shadow = ShadowWindowOf(params)) DestroyWindow(shadow);
    params->shadowWindow = nullptr;
}

// Takes the target back to its own window procedure and forgets the shadow.
void Unsubclass(HWND target, WNDPROC previous) {
    SetWindowLongPtrW(target, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropW(target, kShadowPropInfo);
    RemovePropW(target, kShadowPropWndProc);
}

}  // namespace

ShadowBitmapFactory SetShadowBitmapFactory(ShadowBitmapFactory factory) {
    ShadowBitmapFactory previous = bitmapFactory;
    bitmapFactory = factory ? factory : SystemShadowBitmap;
    return previous;
}

bool AttachShadow(HWND target, ShadowParams* params) {
    if (GetPropW(target, kShadowPropWndProc)) return false;
    const LONG_PTR previous = GetWindowLongPtrW(target, GWLP_WNDPROC);
    if (previous == 0) return false;
    if (!SetPropW(target, kShadowPropWndProc, reinterpret_cast<HANDLE>(previous))) return false;
    // From here on a failure takes back what was stored: a property left
    // behind would make the target look attached and refuse every later try.
    if (!SetPropW(target, kShadowPropInfo, static_cast<HANDLE>(params))) {
        RemovePropW(target, kShadowPropWndProc);
        return false;
    }
    if (!CreateShadowWindow(target, params)) {
        RemovePropW(target, kShadowPropInfo);
        RemovePropW(target, kShadowPropWndProc);
        return false;
    }
    SetWindowLongPtrW(target, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ShadowSubclassProc));
    return true;
}

void DetachShadow(HWND target) {
    auto previous = reinterpret_cast<WNDPROC>(GetPropW(target, kShadowPropWndProc));
    auto* params = static_cast<ShadowParams*>(GetPropW(target, kShadowPropInfo));
    if (!previous || !params) return;
    DestroyShadowWindow(params);
    Unsubclass(target, previous);
}

void RedrawShadow(HWND target, ShadowParams* params, bool hide) {
    HWND shadow = ShadowWindowOf(params);
    if (!shadow) return;
    if (hide) {
        ShowWindow(shadow, SW_HIDE);
        return;
    }
    // Shown without activation: the shadow must never take the activation
    // (and with it the keyboard focus) from its target.
    ShowWindow(shadow, SW_SHOWNA);
    const std::optional<ShadowLayout> layout = LayoutFor(target, *params);
    if (!layout) return;
    UniqueGdiObject cutOut = CutOutRegion(target, *layout);
    PaintShadow(shadow, *layout, params->color, static_cast<HRGN>(cutOut.get()));
}

void RepositionShadow(HWND target, ShadowParams* params) {
    HWND shadow = ShadowWindowOf(params);
    if (!shadow) return;
    // The same extent as the renderer's (size truncated, at least 1), so a
    // move puts the picture exactly where the last redraw did; the size
    // itself is not written here.
    ShadowParams look = *params;
    const std::optional<ShadowLayout> layout = LayoutFor(target, look);
    if (!layout) return;
    SetWindowPos(shadow, HWND_TOP, layout->screenX, layout->screenY, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

std::optional<LRESULT> ShadowStep(HWND target, ShadowParams* params, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case kShadowCommand:
            switch (wParam) {
                case kShadowCreateWindow:
                    return CreateShadowWindow(target, params) ? 1 : 0;
                case kShadowDestroyWindow:
                    if (!params) return 0;
                    DestroyShadowWindow(params);
                    return 1;
                case kShadowRedrawNow:
                    RedrawShadow(target, params, false);
                    return 1;
                default:
                    return 0;
            }
        case WM_SIZE:
        case WM_DISPLAYCHANGE:
            RedrawShadow(target, params, false);
            break;
        case WM_MOVE:
            RepositionShadow(target, params);
            break;
        case WM_SHOWWINDOW:
            RedrawShadow(target, params, wParam == 0);
            break;
        case WM_DESTROY:
            // The target goes: so does its shadow, and params no longer name
            // a window that is about to be gone.
            DestroyShadowWindow(params);
            break;
        default:
            break;
    }
    return std::nullopt;
}

LRESULT CALLBACK ShadowSubclassProc(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    // Read before the step: a handler further down may detach the shadow
    // (the panels do on their hidden event) while this message is handled.
    auto previous = reinterpret_cast<WNDPROC>(GetPropW(target, kShadowPropWndProc));
    auto* params = static_cast<ShadowParams*>(GetPropW(target, kShadowPropInfo));
    if (!previous) return DefWindowProcW(target, message, wParam, lParam);
    if (std::optional<LRESULT> consumed = ShadowStep(target, params, message, wParam, lParam)) return *consumed;
    // The last message of the target: leave it with its own procedure and
    // without the properties, which the system would otherwise keep.
    if (message == WM_NCDESTROY) Unsubclass(target, previous);
    return CallWindowProcW(previous, target, message, wParam, lParam);
}

LRESULT CALLBACK ShadowWindowProc(HWND shadow, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            auto* params = static_cast<ShadowParams*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            if (params) {
                params->shadowWindow = shadow;
                SetWindowLongPtrW(shadow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(params));
                RedrawShadow(GetWindow(shadow, GW_OWNER), params, false);
            }
            return 0;
        }
        case WM_DESTROY: {
            // Also when the system destroys the shadow together with its
            // owner: params must not keep naming a destroyed window.
            auto* params = reinterpret_cast<ShadowParams*>(GetWindowLongPtrW(shadow, GWLP_USERDATA));
            if (params && params->shadowWindow == shadow) params->shadowWindow = nullptr;
            SetWindowLongPtrW(shadow, GWLP_USERDATA, 0);
            return 0;
        }
        default:
            return DefWindowProcW(shadow, message, wParam, lParam);
    }
}

}  // namespace zorv::ui
