#include "ui/image_button_rules.h"

namespace zorv::ui {

namespace {
bool FlatStyle(const ImageButtonProps& props) { return props.btnStyle == 0 || props.btnStyle == 2; }
}  // namespace

bool ButtonLooksPressed(const ImageButtonProps& props, const ButtonState& state) {
    return state.held || (props.checkBox && state.checked);
}

ButtonImage ChooseButtonImage(const ImageButtonProps& props, const ButtonState& state, bool hasOut, bool hasIn,
                              bool hasDisabled) {
    ButtonImage wanted;
    if (state.disabled) {
        if (hasDisabled) return ButtonImage::Disabled;
        wanted = ButtonImage::In;
    } else if (props.checkBox) {
        wanted = ButtonLooksPressed(props, state) ? ButtonImage::In : ButtonImage::Out;
    } else {
        wanted = ButtonLooksPressed(props, state) || state.hovered ? ButtonImage::In : ButtonImage::Out;
    }
    if (wanted == ButtonImage::In && !hasIn) wanted = ButtonImage::Out;
    if (wanted == ButtonImage::Out && !hasOut) wanted = hasIn ? ButtonImage::In : ButtonImage::None;
    return wanted;
}

ButtonColors ChooseButtonColors(const ImageButtonProps& props, const ButtonState& state, uint32_t systemFace,
                                uint32_t systemText) {
    if (props.defaultColor) return {systemFace, systemText};
    if (state.hovered || ButtonLooksPressed(props, state)) return {props.bkColorIn, props.fgColorIn};
    if (state.focused) return {props.bkColorFocus, props.fgColorFocus};
    return {props.bkColorOut, props.fgColorOut};
}

Shift ButtonPressShift(const ImageButtonProps& props, const ButtonState& state) {
    if (!state.held || props.checkBox) return {};
    return props.pressStyle == 1 ? Shift{0, 2} : Shift{1, 1};
}

ButtonLayout LayoutButton(int32_t alignStyle, Box client, int imageWidth, int imageHeight, bool hasCaption) {
    ButtonLayout layout;
    int imageTop = client.top + (client.height - imageHeight) / 2;
    int centredLeft = client.left + (client.width - imageWidth) / 2;
    if (!hasCaption) {
        layout.image = Box{centredLeft, imageTop, imageWidth, imageHeight};
        return layout;
    }
    if (imageWidth <= 0 || imageHeight <= 0) {
        // No image: the caption has the whole box.  Padding it would cost a
        // caption that just fits (five 15-pixel characters in the 82-pixel
        // options link) its single line.
        layout.image = Box{centredLeft, imageTop, 0, 0};
        layout.caption = client;
        return layout;
    }
    const int pad = kButtonPadding;
    int gap = imageWidth > 0 ? pad : 0;
    switch (alignStyle) {
        case 1:  // image above, caption below it
            layout.image = Box{centredLeft, imageTop, imageWidth, imageHeight};
            layout.caption = Box{client.left + pad, imageTop + imageHeight, client.width - 2 * pad,
                                 client.bottom() - (imageTop + imageHeight)};
            break;
        case 2:  // caption left, image right
            layout.image = Box{client.right() - pad - imageWidth, imageTop, imageWidth, imageHeight};
            layout.caption = Box{client.left + pad, client.top, layout.image.left - gap - (client.left + pad),
                                 client.height};
            break;
        case 3:  // over each other
            layout.image = Box{centredLeft, imageTop, imageWidth, imageHeight};
            layout.caption = client;
            break;
        default:  // image left, caption right
            layout.image = Box{client.left + pad, imageTop, imageWidth, imageHeight};
            layout.caption = Box{layout.image.right() + gap, client.top,
                                 client.right() - pad - (layout.image.right() + gap), client.height};
            break;
    }
    if (layout.caption.width < 0) layout.caption.width = 0;
    if (layout.caption.height < 0) layout.caption.height = 0;
    return layout;
}

bool ButtonTracksHover(const ImageButtonProps& props, bool anyMouseButtonHeld, bool programActive) {
    return FlatStyle(props) && !anyMouseButtonHeld && programActive;
}

ButtonBorder ChooseButtonBorder(const ImageButtonProps& props, const ButtonState& state) {
    bool pressed = ButtonLooksPressed(props, state);
    if (props.btnStyle == 1) return pressed ? ButtonBorder::PressedFrame : ButtonBorder::Raised;
    if (!props.drawBorder) return ButtonBorder::None;
    if (pressed) return ButtonBorder::ThinSunken;
    if (state.hovered) return ButtonBorder::ThinRaised;
    return ButtonBorder::None;
}

bool ButtonDrawsFocus(const ImageButtonProps& props, const ButtonState& state) {
    return state.focused && (props.btnStyle == 1 || props.drawFocus);
}

}  // namespace zorv::ui
