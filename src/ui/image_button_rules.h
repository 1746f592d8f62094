#pragma once
// The image button's decisions: which image, which colours, where image and
// caption go, when hovering is tracked.  Portable; the Windows control
// (image_button_win32) draws what these rules choose.
#include <cstdint>

#include "ui/control_layout.h"
#include "ui/form_template.h"

namespace zorv::ui {

struct ButtonState {
    bool hovered = false;
    bool held = false;  // a mouse button went down on it and is still down
    bool checked = false;
    bool focused = false;
    bool disabled = false;
};

enum class ButtonImage { None, Out, In, Disabled };

// Held, or checked in check-box mode.
bool ButtonLooksPressed(const ImageButtonProps& props, const ButtonState& state);

// The image to draw, given which images exist: disabled → PicDisabled, else
// PicIn; check-box mode → PicIn when it looks pressed, else PicOut; other
// buttons → PicIn when pressed or hovered, else PicOut.  A missing PicIn or
// PicOut falls back to the other.
ButtonImage ChooseButtonImage(const ImageButtonProps& props, const ButtonState& state, bool hasOut, bool hasIn,
                              bool hasDisabled);

// Background and caption colours (COLORREF).  With DefaultColor the system's
// button face and text colours given here are used in every state.
struct ButtonColors {
    uint32_t background = 0;
    uint32_t caption = 0;
};
ButtonColors ChooseButtonColors(const ImageButtonProps& props, const ButtonState& state, uint32_t systemFace,
                                uint32_t systemText);

// Offset of image and caption: the PressStyle shift while held outside
// check-box mode, else none.
struct Shift {
    int dx = 0, dy = 0;
};
Shift ButtonPressShift(const ImageButtonProps& props, const ButtonState& state);

constexpr int kButtonPadding = 4;  // gap between the edge, the image and the caption

// Image and caption boxes inside the client box for AlignStyle 0 (image left),
// 1 (image above), 2 (image right), 3 (over each other).  The image is always
// centred vertically, and horizontally when there is no caption; without an
// image the caption has the whole client box.
struct ButtonLayout {
    Box image;
    Box caption;
};
ButtonLayout LayoutButton(int32_t alignStyle, Box client, int imageWidth, int imageHeight, bool hasCaption);

// Hovering is tracked only in the flat styles (0 and 2), while no mouse
// button is held and the program has an active window.
bool ButtonTracksHover(const ImageButtonProps& props, bool anyMouseButtonHeld, bool programActive);

// Style 1 always draws its edge; the flat styles only with DrawBorder, and
// then only while it looks pressed (sunken) or is hovered (raised).
enum class ButtonBorder { None, Raised, PressedFrame, ThinSunken, ThinRaised };
ButtonBorder ChooseButtonBorder(const ImageButtonProps& props, const ButtonState& state);

// The dotted focus rectangle: focused and either style 1 or DrawFocus.
bool ButtonDrawsFocus(const ImageButtonProps& props, const ButtonState& state);

}  // namespace zorv::ui
