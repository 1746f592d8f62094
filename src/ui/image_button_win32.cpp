// The image button: an owner-drawn push button or check box showing PicOut or
// PicIn by its state.  Images whose pixels are all opaque are drawn with
// their transparent colour masked out (the stored colour, or the top-left
// pixel when none is stored); images with any alpha below 255 are instead
// alpha-blended over the button's background, and the colour mask does not
// apply to them.  The button plays no sound.
#include <windowsx.h>

#include "runtime/codepage_win32.h"
#include "ui/form_ids.h"
#include "ui/image_button_rules.h"
#include "ui/property_rules.h"
#include "ui/window_win32.h"

namespace zorv::ui {

namespace {

COLORREF ToColor(uint32_t value) { return COLORREF(value & 0x00FFFFFF); }

const DibImage* Pointer(const std::optional<DibImage>& image) { return image ? &*image : nullptr; }

RECT ToRect(const Box& box) { return RECT{box.left, box.top, box.right(), box.bottom()}; }

class ImageButton : public Control {
public:
    ImageButton(LoadedWindow& window, const UnitRecord& unit, Control* parent) : Control(window, unit, parent) {
        props_ = std::get<ImageButtonProps>(unit.props);
        state_.checked = props_.checked;
        in_ = DibImage::FromPng(props_.picIn);
        out_ = DibImage::FromPng(props_.picOut);
        disabled_ = DibImage::FromPng(props_.picDisabled);
        font_ = FontFromLogFont(props_.font, FormDpi());
    }

    void Rescale() override { font_ = FontFromLogFont(props_.font, FormDpi()); }

    // Laid out in template pixels (image at its own size, caption beside
    // it), then drawn at the form's scale.
    void Paint(HDC dc) override {
        state_.disabled = !IsWindowEnabled(hwnd());
        RECT client{};
        GetClientRect(hwnd(), &client);
        ButtonColors colors =
            ChooseButtonColors(props_, state_, GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT));
        PaintBackground(dc, client, colors.background);
        PaintBorder(dc, client);
        const DibImage* image = ChosenImage();
        Shift shift = ButtonPressShift(props_, state_);
        Box clientBox{0, 0, logical.width, logical.height};
        ButtonLayout layout = LayoutButton(props_.alignStyle, clientBox, image ? image->width() : 0,
                                           image ? image->height() : 0, !props_.caption.empty());
        if (image) {
            Box box = layout.image;
            box.left += shift.dx;
            box.top += shift.dy;
            DrawImage(dc, *image, ToPhysical(box));
        }
        if (!props_.caption.empty()) {
            Box box = layout.caption;
            box.left += shift.dx;
            box.top += shift.dy;
            DrawCaption(dc, ToPhysical(box), colors.caption);
        }
        // The stored style's focus rectangle, and the mark of the keyboard's
        // focus on every button once the keyboard is in use.
        if (ButtonDrawsFocus(props_, state_) || (state_.focused && KeyboardCuesShown())) {
            RECT focus = client;
            int inset = ScaleLength(3, FormDpi());
            InflateRect(&focus, -inset, -inset);
            DrawFocusRect(dc, &focus);
        }
    }

    bool PressByKey() override {
        if (!IsWindowEnabled(hwnd())) return false;
        Click();  // the handler may end the program: nothing after this
        return true;
    }

    // A check box, a link (a caption without pictures) or a push button; the
    // frame around the folder box is only its decoration.
    AccessibleRole Role() const override {
        if (props_.checkBox) return IsFrameOfFocusable(window(), *this) ? AccessibleRole::None : AccessibleRole::CheckButton;
        if (!props_.caption.empty() && !in_ && !out_) return AccessibleRole::Link;
        return AccessibleRole::PushButton;
    }

    std::optional<LRESULT> Handle(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_MOUSEMOVE: OnMouseMove(wParam); break;
            case WM_MOUSELEAVE:
                state_.hovered = false;
                Repaint();
                return 0;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                state_.held = true;
                SetCapture(hwnd());
                if (GetFocus() != hwnd()) SetFocus(hwnd());
                Repaint();
                break;
            case WM_LBUTTONUP:
                if (state_.held) {
                    ReleaseCapture();  // WM_CAPTURECHANGED clears held
                    state_.held = false;
                    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                    RECT client{};
                    GetClientRect(hwnd(), &client);
                    if (PtInRect(&client, point)) {
                        RaiseInputEvent(unit(), windowId(), message, wParam, lParam);
                        Click();  // the handler may end the program: nothing after this
                        return 0;
                    }
                    Repaint();
                }
                break;
            case WM_CAPTURECHANGED:
                if (state_.held) {
                    state_.held = false;
                    Repaint();
                }
                return 0;
            case WM_SETFOCUS:
            case WM_KILLFOCUS:
                state_.focused = message == WM_SETFOCUS;
                Repaint();
                break;
            case WM_ENABLE:
                Repaint();
                break;
            // The system's button messages, for tools outside the program
            // (screen readers' default action, tests): the check state and a
            // press, refused where a click could not reach the button.
            case BM_GETCHECK:
                return state_.checked ? BST_CHECKED : BST_UNCHECKED;
            case BM_SETCHECK:
                WriteOwnProperty(ids::prop::Checked, wParam == BST_CHECKED ? 1 : 0);
                return 0;
            case BM_CLICK:
                if (KeyboardReachable(hwnd())) PressByKey();
                return 0;
            default:
                break;
        }
        return std::nullopt;  // the common handling raises the unit's input events
    }

    std::optional<int64_t> ReadOwnProperty(int number) override {
        switch (number) {
            case 8: return props_.btnStyle;
            case 9: return props_.checkBox;
            case ids::prop::Checked: return state_.checked ? 1 : 0;
            case 11: return props_.alignStyle;
            case 12: return props_.pressStyle;
            case 13: return props_.drawBorder;
            case 14: return props_.drawFocus;
            case 16: return props_.transColorOut;
            case 18: return props_.transColorIn;
            case 20: return props_.transColorDisabled;
            case 23: return props_.defaultColor;
            case 24: return props_.fgColorOut;
            case 25: return props_.bkColorOut;
            case 26: return props_.fgColorIn;
            case 27: return props_.bkColorIn;
            case 28: return props_.fgColorFocus;
            case 29: return props_.bkColorFocus;
            case 30: return props_.standardSound;
            default: return std::nullopt;
        }
    }

    bool WriteOwnProperty(int number, int64_t value) override {
        int32_t integer = int32_t(value);
        uint32_t color = ColorFromProperty(value);
        switch (number) {
            case 8: props_.btnStyle = integer; break;
            case 9: props_.checkBox = value != 0; break;
            case ids::prop::Checked:
                if (props_.checkBox) state_.checked = value != 0;  // no effect on a plain button
                break;
            case 11: props_.alignStyle = integer; break;
            case 12: props_.pressStyle = integer; break;
            case 13: props_.drawBorder = value != 0; break;
            case 14: props_.drawFocus = value != 0; break;
            case 16: props_.transColorOut = color; break;
            case 18: props_.transColorIn = color; break;
            case 20: props_.transColorDisabled = color; break;
            case 23: props_.defaultColor = value != 0; break;
            case 24: props_.fgColorOut = color; break;
            case 25: props_.bkColorOut = color; break;
            case 26: props_.fgColorIn = color; break;
            case 27: props_.bkColorIn = color; break;
            case 28: props_.fgColorFocus = color; break;
            case 29: props_.bkColorFocus = color; break;
            case 30: props_.standardSound = value != 0; break;
            default: return false;
        }
        Repaint();
        return true;
    }

    std::optional<std::string> ReadOwnText(int number) override {
        if (number == kCaptionProperty) return props_.caption;
        return std::nullopt;
    }
    bool WriteOwnText(int number, std::string_view text) override {
        if (number != kCaptionProperty) return false;
        props_.caption = std::string(text);
        SetWindowTextW(hwnd(), WideFromGbk(props_.caption).c_str());
        Repaint();
        return true;
    }

    static constexpr int kCaptionProperty = 22;

private:
    void Repaint() { InvalidateRect(hwnd(), nullptr, FALSE); }

    void OnMouseMove(WPARAM wParam) {
        bool anyButton = wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON);
        if (state_.hovered || !ButtonTracksHover(props_, anyButton, GetActiveWindow() != nullptr)) return;
        state_.hovered = true;
        Repaint();
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd(), 0};
        TrackMouseEvent(&track);
    }

    void Click() {
        if (props_.checkBox) {
            state_.checked = !state_.checked;
            Repaint();
        }
        Raise(ids::event::Clicked);
    }

    const DibImage* ChosenImage() const {
        switch (ChooseButtonImage(props_, state_, out_.has_value(), in_.has_value(), disabled_.has_value())) {
            case ButtonImage::Out: return &*out_;
            case ButtonImage::In: return &*in_;
            case ButtonImage::Disabled: return &*disabled_;
            default: return nullptr;
        }
    }

    uint32_t TransparentColorOf(const DibImage* image) const {
        uint32_t stored = image == Pointer(out_)  ? props_.transColorOut
                          : image == Pointer(in_) ? props_.transColorIn
                                                  : props_.transColorDisabled;
        return stored == kColorNotSet ? image->topLeftColor() : stored;
    }

    void DrawImage(HDC dc, const DibImage& image, const Box& at) const {
        std::optional<COLORREF> key;
        if (!image.hasTransparency()) key = ToColor(TransparentColorOf(&image));
        image.DrawScaled(dc, at.left, at.top, at.width, at.height, FormDpi() != kTemplateDpi, key);
    }

    void PaintBackground(HDC dc, const RECT& client, uint32_t color) const {
        bool hot = state_.hovered || ButtonLooksPressed(props_, state_);
        if (props_.btnStyle == 2 && hot) {
            FillColor(dc, client, props_.bkColorOut);
            UniqueGdi<HBRUSH> fill(CreateSolidBrush(ToColor(color)));
            ScopedSelection brush(dc, fill.get());
            ScopedSelection pen(dc, GetStockObject(BLACK_PEN));
            RoundRect(dc, client.left, client.top, client.right, client.bottom, 8, 8);
            return;
        }
        FillColor(dc, client, color);
    }

    void PaintBorder(HDC dc, RECT client) const {
        switch (ChooseButtonBorder(props_, state_)) {
            case ButtonBorder::Raised: DrawEdge(dc, &client, EDGE_RAISED, BF_RECT); break;
            case ButtonBorder::PressedFrame: FrameRect(dc, &client, GetSysColorBrush(COLOR_3DSHADOW)); break;
            case ButtonBorder::ThinSunken: DrawEdge(dc, &client, BDR_SUNKENOUTER, BF_RECT); break;
            case ButtonBorder::ThinRaised: DrawEdge(dc, &client, BDR_RAISEDINNER, BF_RECT); break;
            default: break;
        }
    }

    void DrawCaption(HDC dc, const Box& box, uint32_t color) const {
        std::wstring text = WideFromGbk(props_.caption);
        HGDIOBJ oldFont = SelectObject(dc, font_.get());
        SetBkMode(dc, TRANSPARENT);
        RECT area = ToRect(box);
        RECT measured = area;
        DrawTextW(dc, text.c_str(), int(text.size()), &measured, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        int offset = (box.height - (measured.bottom - measured.top)) / 2;
        if (offset > 0) area.top += offset;
        UINT flags = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
        if (state_.disabled) {
            RECT raised = area;
            OffsetRect(&raised, 1, 1);
            SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
            DrawTextW(dc, text.c_str(), int(text.size()), &raised, flags);
            SetTextColor(dc, GetSysColor(COLOR_3DSHADOW));
        } else {
            SetTextColor(dc, ToColor(color));
        }
        DrawTextW(dc, text.c_str(), int(text.size()), &area, flags);
        SelectObject(dc, oldFont);
    }

    ImageButtonProps props_;
    ButtonState state_;
    std::optional<DibImage> in_, out_, disabled_;
    FontHandle font_;
};

}  // namespace

std::unique_ptr<Control> CreateImageButton(LoadedWindow& window, const UnitRecord& unit, Control* parent) {
    return std::make_unique<ImageButton>(window, unit, parent);
}

}  // namespace zorv::ui
