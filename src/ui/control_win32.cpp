#include <windowsx.h>

#include <cstring>

#include "runtime/codepage_win32.h"
#include "runtime/unique_handle_win32.h"
#include "ui/accessible_win32.h"
#include "ui/control_layout.h"
#include "ui/form_ids.h"
#include "ui/property_rules.h"
#include "ui/window_events.h"
#include "ui/window_win32.h"

namespace zorv::ui {

namespace {

constexpr wchar_t kControlClass[] = L"ZorvControl";
constexpr wchar_t kControlProp[] = L"ZorvControlObject";

COLORREF ToColor(uint32_t value) { return COLORREF(value & 0x00FFFFFF); }
bool IsSet(uint32_t color) { return color != kColorNotSet; }


RECT ClientRect(HWND hwnd) {
    RECT rect{};
    GetClientRect(hwnd, &rect);
    return rect;
}


// Picture box: background colour where the image does not cover, the image
// by its display mode.
class PictureBox : public Control {
public:
    PictureBox(LoadedWindow& window, const UnitRecord& unit, Control* parent) : Control(window, unit, parent) {
        const auto& props = std::get<PictureBoxProps>(unit.props);
        background_ = props.backgroundColor;
        mode_ = props.imageMode;
        image_ = DibImage::FromPng(props.image);
    }
    void Paint(HDC dc) override {
        RECT client = ClientRect(hwnd());
        // Laid out in template pixels, drawn at the form's scale.
        std::vector<Box> copies;
        if (image_) copies = PlaceImage(mode_, image_->width(), image_->height(), logical.width, logical.height);
        for (Box& copy : copies) copy = ToPhysical(copy);
        UniqueGdi<HRGN> uncovered(CreateRectRgn(0, 0, client.right, client.bottom));
        for (const Box& copy : copies) {
            UniqueGdi<HRGN> covered(CreateRectRgn(copy.left, copy.top, copy.right(), copy.bottom()));
            CombineRgn(uncovered.get(), uncovered.get(), covered.get(), RGN_DIFF);
        }
        if (IsSet(background_)) {
            UniqueGdi<HBRUSH> brush(CreateSolidBrush(ToColor(background_)));
            FillRgn(dc, uncovered.get(), brush.get());
            if (image_ && image_->hasTransparency()) PaintParentUnder(dc, copies);
        } else {
            PaintParentBehind(hwnd(), dc);
        }
        bool resample = FormDpi() != kTemplateDpi;
        for (const Box& copy : copies) image_->DrawScaled(dc, copy.left, copy.top, copy.width, copy.height, resample);
        if (GetFocus() == hwnd() && KeyboardCuesShown()) DrawFocusRect(dc, &client);
    }
    // A picture that reacts to a press and that the keyboard reaches (the
    // browse icon) is a button: Enter and Space press it where its middle is.
    bool PressByKey() override {
        if (unit().HandlerFor(ids::event::LeftButtonDown) == kNoHandler || !InKeyboardOrder()) return false;
        RECT client = ClientRect(hwnd());
        Raise(ids::event::LeftButtonDown, client.right / 2, client.bottom / 2, 0);
        return true;
    }
    AccessibleRole Role() const override {
        return unit().HandlerFor(ids::event::LeftButtonDown) != kNoHandler && InKeyboardOrder() ? AccessibleRole::PushButton
                                                                                                : AccessibleRole::None;
    }
    std::optional<LRESULT> Handle(UINT message, WPARAM, LPARAM) override {
        if (message == WM_SETFOCUS || message == WM_KILLFOCUS) InvalidateRect(hwnd(), nullptr, FALSE);
        return std::nullopt;
    }
    std::optional<int64_t> ReadOwnProperty(int number) override {
        if (number == kBackgroundProperty) return background_;
        return std::nullopt;
    }
    bool WriteOwnProperty(int number, int64_t value) override {
        if (number != kBackgroundProperty) return false;
        background_ = ColorFromProperty(value);
        InvalidateRect(hwnd(), nullptr, FALSE);
        return true;
    }

    static constexpr int kBackgroundProperty = 9;

private:
    bool InKeyboardOrder() const {
        for (Control* control : KeyboardControls(window()))
            if (control == this) return true;
        return false;
    }
    // Under the image copies the parent shows through transparent pixels.
    void PaintParentUnder(HDC dc, const std::vector<Box>& copies) {
        for (const Box& copy : copies) {
            int saved = SaveDC(dc);
            IntersectClipRect(dc, copy.left, copy.top, copy.right(), copy.bottom());
            PaintParentBehind(hwnd(), dc);
            RestoreDC(dc, saved);
        }
    }
    uint32_t background_;
    int32_t mode_;
    std::optional<DibImage> image_;
};

// Label: the whole area in the background colour, then the caption with a
// transparent background, unclipped.
class Label : public Control {
public:
    Label(LoadedWindow& window, const UnitRecord& unit, Control* parent) : Control(window, unit, parent) {
        props_ = std::get<LabelProps>(unit.props);
        font_ = FontFromLogFont(props_.font, FormDpi());
    }
    void Rescale() override { font_ = FontFromLogFont(props_.font, FormDpi()); }
    AccessibleRole Role() const override { return AccessibleRole::StaticText; }
    void Paint(HDC dc) override {
        RECT client = ClientRect(hwnd());
        if (IsSet(props_.backgroundColor)) FillColor(dc, client, props_.backgroundColor);
        else PaintParentBehind(hwnd(), dc);
        std::wstring text = WideFromGbk(props_.caption);
        HGDIOBJ oldFont = SelectObject(dc, font_.get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ToColor(props_.textColor));
        DrawTextW(dc, text.c_str(), int(text.size()), &client, DrawFlags());
        SelectObject(dc, oldFont);
    }
    UINT DrawFlags() const {
        UINT flags = DT_NOCLIP | DT_NOPREFIX;
        flags |= props_.horizontalAlign == 1 ? DT_CENTER : props_.horizontalAlign == 2 ? DT_RIGHT : DT_LEFT;
        if (props_.wordWrap) return flags | DT_WORDBREAK | DT_TOP;
        flags |= DT_SINGLELINE;
        return flags | (props_.verticalAlign == 1 ? DT_VCENTER : props_.verticalAlign == 2 ? DT_BOTTOM : DT_TOP);
    }
    std::optional<int64_t> ReadOwnProperty(int number) override {
        switch (number) {
            case 16: return props_.textColor;
            case 17: return props_.backgroundColor;
            case 24: return props_.horizontalAlign;
            case 25: return props_.wordWrap ? 1 : 0;
            case 26: return props_.verticalAlign;
            default: return std::nullopt;
        }
    }
    bool WriteOwnProperty(int number, int64_t value) override {
        switch (number) {
            case 16: props_.textColor = ColorFromProperty(value); break;
            case 17: props_.backgroundColor = ColorFromProperty(value); break;
            case 24: props_.horizontalAlign = int32_t(value); break;
            case 25: props_.wordWrap = value != 0; break;
            case 26: props_.verticalAlign = int32_t(value); break;
            default: return false;
        }
        InvalidateRect(hwnd(), nullptr, FALSE);
        return true;
    }
    std::optional<std::string> ReadOwnText(int number) override {
        if (number == ids::prop::Caption) return props_.caption;
        return std::nullopt;
    }
    bool WriteOwnText(int number, std::string_view text) override {
        if (number != ids::prop::Caption) return false;
        props_.caption = std::string(text);
        // Also the window text, so that tools outside the program (screen
        // readers, tests) read the caption as shown.
        SetWindowTextW(hwnd(), WideFromGbk(props_.caption).c_str());
        InvalidateRect(hwnd(), nullptr, FALSE);
        return true;
    }
    LRESULT Notify(int32_t a, int32_t b) override { return Raise(ids::event::Notification, a, b).value_or(0); }

private:
    LabelProps props_;
    FontHandle font_;
};

// Shape box: a rectangle outlined in the outline colour and filled with the
// fill colour (not set: the parent shows through).
class ShapeBox : public Control {
public:
    ShapeBox(LoadedWindow& window, const UnitRecord& unit, Control* parent) : Control(window, unit, parent) {
        props_ = std::get<ShapeBoxProps>(unit.props);
    }
    void Paint(HDC dc) override {
        RECT client = ClientRect(hwnd());
        if (IsSet(props_.fillColor)) FillColor(dc, client, props_.fillColor);
        else PaintParentBehind(hwnd(), dc);
        if (IsSet(props_.outlineColor)) {
            UniqueGdi<HBRUSH> brush(CreateSolidBrush(ToColor(props_.outlineColor)));
            FrameRect(dc, &client, brush.get());
        }
    }

private:
    ShapeBoxProps props_;
};

// Edit box: the system's single-line edit without border; typing is limited
// to the stored number of GBK bytes, text set by the program is not.
class EditBox : public Control {
public:
    EditBox(LoadedWindow& window, const UnitRecord& unit, Control* parent) : Control(window, unit, parent) {
        props_ = std::get<EditBoxProps>(unit.props);
        font_ = FontFromLogFont(props_.font, FormDpi());
        text_brush_.reset(CreateSolidBrush(ToColor(props_.backgroundColor)));
    }
    void Rescale() override {
        font_ = FontFromLogFont(props_.font, FormDpi());
        SendMessageW(hwnd(), WM_SETFONT, WPARAM(font_.get()), TRUE);
    }
    AccessibleRole Role() const override { return AccessibleRole::Text; }
    // Its window text is what it holds; the name is the one it was given.
    std::wstring AccessibleName() const override {
        return WideFromGbk(GivenAccessibleName(windowId(), unit().id));
    }
    const EditBoxProps& props() const { return props_; }
    HFONT font() const { return font_.get(); }
    HBRUSH brush() const { return text_brush_.get(); }
    std::string Text() const {
        int length = GetWindowTextLengthW(hwnd());
        std::wstring text(std::size_t(length) + 1, L'\0');
        text.resize(GetWindowTextW(hwnd(), text.data(), length + 1));
        return GbkFromWide(text);
    }
    std::optional<std::string> ReadOwnText(int number) override {
        if (number == ids::prop::Caption) return Text();
        return std::nullopt;
    }
    bool WriteOwnText(int number, std::string_view text) override {
        if (number != ids::prop::Caption) return false;
        SetWindowTextW(hwnd(), WideFromGbk(text).c_str());
        return true;
    }
    // True when typing the character would pass the byte limit.
    bool CharExceedsLimit(wchar_t typed) const {
        if (props_.textLimit <= 0 || typed < L' ') return false;
        DWORD start = 0, end = 0;
        SendMessageW(hwnd(), EM_GETSEL, WPARAM(&start), LPARAM(&end));
        int length = GetWindowTextLengthW(hwnd());
        std::wstring text(std::size_t(length) + 1, L'\0');
        text.resize(GetWindowTextW(hwnd(), text.data(), length + 1));
        if (end > text.size()) end = DWORD(text.size());
        if (start > end) start = end;
        text.replace(start, end - start, 1, typed);
        return GbkFromWide(text).size() > std::size_t(props_.textLimit);
    }
    WNDPROC systemProc = nullptr;

private:
    EditBoxProps props_;
    FontHandle font_;
    UniqueGdi<HBRUSH> text_brush_;
};

LRESULT CALLBACK EditWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* edit = reinterpret_cast<EditBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!edit) return DefWindowProcW(hwnd, message, wParam, lParam);
    WNDPROC systemProc = edit->systemProc;
    if (std::optional<LRESULT> taken = HandleFormKey(edit, edit->window(), message, wParam, lParam)) return *taken;
    switch (message) {
        case WM_GETOBJECT:
            if (std::optional<LRESULT> answer =
                    AnswerAccessibleObject(hwnd, wParam, lParam, edit->Role(), edit->AccessibleName()))
                return *answer;
            break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            SetKeyboardCues(false);
            break;
        case WM_CHAR:
            if (edit->CharExceedsLimit(wchar_t(wParam))) {
                MessageBeep(0);
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, edit->cursorId ? MAKEINTRESOURCEW(edit->cursorId) : IDC_ARROW));
                return TRUE;
            }
            break;
        case WM_NCDESTROY:
            RemovePropW(hwnd, kControlProp);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, LONG_PTR(systemProc));
            return CallWindowProcW(systemProc, hwnd, message, wParam, lParam);
        default:
            break;
    }
    // Raise the unit's event after the system's own handling, so that a
    // handler sees the new focus or text.
    LRESULT result = CallWindowProcW(systemProc, hwnd, message, wParam, lParam);
    RaiseInputEvent(edit->unit(), edit->windowId(), message, wParam, lParam);
    return result;
}

// The child window at the control's physical place inside its parent.
HWND CreateChildWindow(Control& control, HWND parent, const wchar_t* cls, const std::wstring& text, DWORD extraStyle) {
    const UnitRecord& unit = control.unit();
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | extraStyle;
    if (unit.visible()) style |= WS_VISIBLE;
    if (unit.stateFlags & kUnitTabStop) style |= WS_TABSTOP;
    RECT rect = PhysicalControlRect(control);
    return CreateWindowExW(0, cls, text.c_str(), style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The window text a control starts with: what tools outside the program
// (screen readers, tests) read as its name.  The caption of a label or a
// button, or else the name it was given; the edit box's text is set apart.
std::wstring InitialWindowText(const LoadedWindow& window, const UnitRecord& unit) {
    std::string caption;
    if (const auto* label = std::get_if<LabelProps>(&unit.props)) caption = label->caption;
    if (const auto* button = std::get_if<ImageButtonProps>(&unit.props)) caption = button->caption;
    if (caption.empty() && unit.type != UnitType::EditBox) caption = GivenAccessibleName(window.id(), unit.id);
    return WideFromGbk(caption);
}

std::unique_ptr<Control> MakeControlObject(LoadedWindow& window, const UnitRecord& unit, Control* parent) {
    switch (unit.type) {
        case UnitType::PictureBox: return std::make_unique<PictureBox>(window, unit, parent);
        case UnitType::Label: return std::make_unique<Label>(window, unit, parent);
        case UnitType::ShapeBox: return std::make_unique<ShapeBox>(window, unit, parent);
        case UnitType::EditBox: return std::make_unique<EditBox>(window, unit, parent);
        case UnitType::ImageButton: return CreateImageButton(window, unit, parent);
        default: return nullptr;
    }
}

bool PropsMatchType(const UnitRecord& unit) {
    switch (unit.type) {
        case UnitType::PictureBox: return std::holds_alternative<PictureBoxProps>(unit.props);
        case UnitType::Label: return std::holds_alternative<LabelProps>(unit.props);
        case UnitType::ShapeBox: return std::holds_alternative<ShapeBoxProps>(unit.props);
        case UnitType::EditBox: return std::holds_alternative<EditBoxProps>(unit.props);
        case UnitType::ImageButton: return std::holds_alternative<ImageButtonProps>(unit.props);
        default: return false;
    }
}

void SetUpEdit(EditBox& edit) {
    HWND hwnd = edit.hwnd();
    SendMessageW(hwnd, WM_SETFONT, WPARAM(edit.font()), FALSE);
    SetWindowTextW(hwnd, WideFromGbk(edit.props().text).c_str());
    if (edit.props().textLimit > 0) SendMessageW(hwnd, EM_LIMITTEXT, WPARAM(edit.props().textLimit), 0);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(&edit));
    edit.systemProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, LONG_PTR(EditWindowProc)));
}

void PaintBuffered(Control& control) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(control.hwnd(), &paint);
    RECT client = ClientRect(control.hwnd());
    {
        UniqueMemoryDc buffer(CreateCompatibleDC(dc));
        UniqueGdi<HBITMAP> bitmap(
            CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)));
        ScopedSelection selected(buffer.get(), bitmap.get());
        control.Paint(buffer.get());
        BitBlt(dc, 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
    }
    EndPaint(control.hwnd(), &paint);
}

}  // namespace

void FillColor(HDC dc, const RECT& area, uint32_t color) {
    UniqueGdi<HBRUSH> brush(CreateSolidBrush(ToColor(color)));
    FillRect(dc, &area, brush.get());
}

Control* ControlFromHwnd(HWND hwnd) {
    return hwnd ? static_cast<Control*>(GetPropW(hwnd, kControlProp)) : nullptr;
}

// The system's default GUI font (made for the system's DPI) at the DPI.
FontHandle DefaultFontAt(int dpi) {
    if (dpi == kTemplateDpi) return FontHandle();
    LOGFONTW logFont{};
    if (!GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(logFont), &logFont)) return FontHandle();
    HDC screen = GetDC(nullptr);
    int systemDpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kTemplateDpi;
    if (screen) ReleaseDC(nullptr, screen);
    if (systemDpi <= 0 || systemDpi == dpi) return FontHandle();
    logFont.lfHeight = MulDiv(logFont.lfHeight, dpi, systemDpi);
    logFont.lfWidth = MulDiv(logFont.lfWidth, dpi, systemDpi);
    return FontHandle(CreateFontIndirectW(&logFont));
}

FontHandle FontFromLogFont(const std::optional<LogFontBytes>& font, int dpi) {
    if (!font) return DefaultFontAt(dpi);
    const uint8_t* bytes = font->data();
    LOGFONTW logFont{};
    std::memcpy(&logFont.lfHeight, bytes + 0, 4);
    std::memcpy(&logFont.lfWidth, bytes + 4, 4);
    std::memcpy(&logFont.lfEscapement, bytes + 8, 4);
    std::memcpy(&logFont.lfOrientation, bytes + 12, 4);
    std::memcpy(&logFont.lfWeight, bytes + 16, 4);
    logFont.lfItalic = bytes[20];
    logFont.lfUnderline = bytes[21];
    logFont.lfStrikeOut = bytes[22];
    logFont.lfCharSet = bytes[23];
    logFont.lfOutPrecision = bytes[24];
    logFont.lfClipPrecision = bytes[25];
    logFont.lfQuality = bytes[26];
    logFont.lfPitchAndFamily = bytes[27];
    const char* face = reinterpret_cast<const char*>(bytes + 28);
    std::wstring wideFace = WideFromGbk(std::string_view(face, strnlen(face, 32)));
    wcsncpy(logFont.lfFaceName, wideFace.c_str(), LF_FACESIZE - 1);
    // Drawn at the form's scale from the font itself, not by enlarging what
    // it draws at 96 DPI: text stays sharp at any scale.
    logFont.lfHeight = ScaleLength(logFont.lfHeight, dpi);
    logFont.lfWidth = ScaleLength(logFont.lfWidth, dpi);
    return FontHandle(CreateFontIndirectW(&logFont));
}

Control::Control(LoadedWindow& window, const UnitRecord& unit, Control* parent)
    : logical{unit.left, unit.top, unit.width, unit.height}, window_(window), unit_(unit), parent_(parent) {
    cursorId = unit.cursor;
    tag = unit.tag;
}

uint32_t Control::windowId() const { return window_.id(); }

std::optional<int> Control::Raise(int32_t event, int32_t a, int32_t b, int32_t c) const {
    return DeliverEvent(window_.id(), unit_, event, a, b, c);
}

int32_t ModifierBits() {
    int32_t bits = 0;
    if (GetKeyState(VK_CONTROL) < 0) bits |= 1;
    if (GetKeyState(VK_SHIFT) < 0) bits |= 2;
    if (GetKeyState(VK_MENU) < 0) bits |= 4;
    return bits;
}

void RaiseInputEvent(const UnitRecord& unit, uint32_t windowId, UINT message, WPARAM wParam, LPARAM lParam) {
    namespace ev = ids::event;
    int32_t x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    auto mouse = [&](int32_t event) { DeliverEvent(windowId, unit, event, x, y, ModifierBits()); };
    auto key = [&](int32_t event) { DeliverEvent(windowId, unit, event, int32_t(wParam), 0, ModifierBits()); };
    switch (message) {
        case WM_LBUTTONDOWN: mouse(ev::LeftButtonDown); break;
        case WM_LBUTTONUP: mouse(ev::LeftButtonUp); break;
        case WM_LBUTTONDBLCLK: mouse(ev::DoubleClick); break;
        case WM_RBUTTONDOWN: mouse(ev::RightButtonDown); break;
        case WM_RBUTTONUP: mouse(ev::RightButtonUp); break;
        case WM_MOUSEMOVE: mouse(ev::MouseMove); break;
        case WM_SETFOCUS: DeliverEvent(windowId, unit, ev::FocusGained); break;
        case WM_KILLFOCUS: DeliverEvent(windowId, unit, ev::FocusLost); break;
        case WM_KEYDOWN: key(ev::KeyDown); break;
        case WM_KEYUP: key(ev::KeyUp); break;
        case WM_CHAR: key(ev::Char); break;
        case WM_MOUSEWHEEL:
            DeliverEvent(windowId, unit, ev::Wheel, GET_WHEEL_DELTA_WPARAM(wParam), 0, ModifierBits());
            break;
        default: break;
    }
}

void PaintParentBehind(HWND child, HDC dc) {
    HWND parent = GetParent(child);
    RECT client = ClientRect(child);
    Control* parentControl = ControlFromHwnd(parent);
    if (!parentControl) {
        LoadedWindow* window = WindowFromHwnd(parent);
        const UnitRecord* unit = window ? window->record->WindowUnit() : nullptr;
        uint32_t color = unit ? std::get<WindowProps>(unit->props).backgroundColor : kColorNotSet;
        if (IsSet(color)) FillColor(dc, client, color);
        else FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    POINT origin{0, 0};
    MapWindowPoints(child, parent, &origin, 1);
    POINT oldOrigin;
    OffsetViewportOrgEx(dc, -origin.x, -origin.y, &oldOrigin);
    parentControl->Paint(dc);
    SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
}

LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* control = ControlFromHwnd(hwnd);
    if (!control) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) SetKeyboardCues(false);
    if (std::optional<LRESULT> taken = HandleFormKey(control, control->window(), message, wParam, lParam))
        return *taken;
    if (message == WM_GETOBJECT)
        if (std::optional<LRESULT> answer =
                AnswerAccessibleObject(hwnd, wParam, lParam, control->Role(), control->AccessibleName()))
            return *answer;
    if (std::optional<LRESULT> own = control->Handle(message, wParam, lParam)) return *own;
    switch (message) {
        case WM_PAINT:
            PaintBuffered(*control);
            return 0;
        case WM_PRINTCLIENT:
            control->Paint(HDC(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, control->cursorId ? MAKEINTRESOURCEW(control->cursorId) : IDC_ARROW));
                return TRUE;
            }
            break;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            if (auto* edit = dynamic_cast<EditBox*>(ControlFromHwnd(HWND(lParam)))) {
                SetTextColor(HDC(wParam), ToColor(edit->props().textColor));
                SetBkColor(HDC(wParam), ToColor(edit->props().backgroundColor));
                return LRESULT(edit->brush());
            }
            break;
        case kNotifyMessage:
            return control->Notify(int32_t(wParam), int32_t(lParam));
        case WM_NCDESTROY:
            RemovePropW(hwnd, kControlProp);
            break;
        default:
            RaiseInputEvent(control->unit(), control->windowId(), message, wParam, lParam);
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::unique_ptr<Control> CreateControl(LoadedWindow& window, const UnitRecord& unit, Control* parent) {
    if (!PropsMatchType(unit)) return nullptr;
    RegisterFormClass(kControlClass, ControlWindowProc);
    std::unique_ptr<Control> control = MakeControlObject(window, unit, parent);
    if (!control) return nullptr;
    bool isEdit = unit.type == UnitType::EditBox;
    DWORD extra = isEdit ? ES_AUTOHSCROLL | ES_LEFT : 0;
    HWND parentHandle = parent ? parent->hwnd() : window.hwnd;
    HWND hwnd = CreateChildWindow(*control, parentHandle, isEdit ? L"EDIT" : kControlClass,
                                  InitialWindowText(window, unit), extra);
    if (!hwnd) return nullptr;
    control->SetHwnd(hwnd);
    SetPropW(hwnd, kControlProp, HANDLE(control.get()));
    if (isEdit) SetUpEdit(static_cast<EditBox&>(*control));
    // Earlier units lie above later ones.
    SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return control;
}

}  // namespace zorv::ui
