#include "ui/image_button_rules.h"

#include <gtest/gtest.h>

namespace zorv::ui {
namespace {

ImageButtonProps CheckBoxProps() {
    ImageButtonProps props;
    props.checkBox = true;
    return props;
}

TEST(ImageButtonImage, CheckBoxShowsInOnlyWhenCheckedOrHeld) {
    ImageButtonProps props = CheckBoxProps();
    ButtonState state;
    EXPECT_EQ(ChooseButtonImage(props, state, true, true, false), ButtonImage::Out);
    state.hovered = true;
    EXPECT_EQ(ChooseButtonImage(props, state, true, true, false), ButtonImage::Out);
    state.checked = true;
    EXPECT_EQ(ChooseButtonImage(props, state, true, true, false), ButtonImage::In);
    state.hovered = false;
    EXPECT_EQ(ChooseButtonImage(props, state, true, true, false), ButtonImage::In);
    state = ButtonState{.held = true};
    EXPECT_EQ(ChooseButtonImage(props, state, true, true, false), ButtonImage::In);
}

TEST(ImageButtonImage, PlainButtonSwapsOnHoverAndFallsBack) {
    ImageButtonProps props;
    ButtonState state;
    EXPECT_EQ(ChooseButtonImage(props, state, true, true, false), ButtonImage::Out);
    state.hovered = true;
    EXPECT_EQ(ChooseButtonImage(props, state, true, true, false), ButtonImage::In);
    // Only PicOut (the install buttons): the same image when hovered.
    EXPECT_EQ(ChooseButtonImage(props, state, true, false, false), ButtonImage::Out);
    // Only PicIn: used in every state.
    EXPECT_EQ(ChooseButtonImage(props, ButtonState{}, false, true, false), ButtonImage::In);
    EXPECT_EQ(ChooseButtonImage(props, ButtonState{}, false, false, false), ButtonImage::None);
    // Checked means nothing outside check-box mode.
    EXPECT_EQ(ChooseButtonImage(props, ButtonState{.checked = true}, true, true, false), ButtonImage::Out);
    // Disabled: PicDisabled, else PicIn, else PicOut.
    ButtonState disabled{.disabled = true};
    EXPECT_EQ(ChooseButtonImage(props, disabled, true, true, true), ButtonImage::Disabled);
    EXPECT_EQ(ChooseButtonImage(props, disabled, true, true, false), ButtonImage::In);
    EXPECT_EQ(ChooseButtonImage(props, disabled, true, false, false), ButtonImage::Out);
}

TEST(ImageButtonColors, StatePicksTheColourPair) {
    ImageButtonProps props;
    props.fgColorOut = 1, props.bkColorOut = 2, props.fgColorIn = 3, props.bkColorIn = 4;
    props.fgColorFocus = 5, props.bkColorFocus = 6;
    auto colors = [&](ButtonState state) {
        ButtonColors c = ChooseButtonColors(props, state, 100, 101);
        return std::pair{c.caption, c.background};
    };
    EXPECT_EQ(colors({}), std::pair(1u, 2u));
    EXPECT_EQ(colors({.focused = true}), std::pair(5u, 6u));
    EXPECT_EQ(colors({.hovered = true, .focused = true}), std::pair(3u, 4u));
    EXPECT_EQ(colors({.held = true}), std::pair(3u, 4u));
    EXPECT_EQ(colors({.checked = true}), std::pair(1u, 2u));  // not a check box
    props.checkBox = true;
    EXPECT_EQ(colors({.checked = true}), std::pair(3u, 4u));
    props.defaultColor = true;
    EXPECT_EQ(colors({.hovered = true}), std::pair(101u, 100u));
}

TEST(ImageButtonLayout, AlignStylesAndPressShift) {
    Box client{0, 0, 152, 40};
    ButtonLayout left = LayoutButton(0, client, 24, 24, true);
    EXPECT_EQ(left.image, Box(4, 8, 24, 24));
    EXPECT_EQ(left.caption, Box(32, 0, 116, 40));
    ButtonLayout right = LayoutButton(2, client, 24, 24, true);
    EXPECT_EQ(right.image, Box(124, 8, 24, 24));
    EXPECT_EQ(right.caption, Box(4, 0, 116, 40));
    ButtonLayout above = LayoutButton(1, Box{0, 0, 60, 100}, 20, 20, true);
    EXPECT_EQ(above.image, Box(20, 40, 20, 20));
    EXPECT_EQ(above.caption, Box(4, 60, 52, 40));
    ButtonLayout over = LayoutButton(3, client, 24, 24, true);
    EXPECT_EQ(over.image, Box(64, 8, 24, 24));
    EXPECT_EQ(over.caption, client);
    // No caption: centred whatever the style; an image larger than the box
    // starts outside it.
    EXPECT_EQ(LayoutButton(0, Box{0, 0, 32, 32}, 32, 32, false).image, Box(0, 0, 32, 32));
    EXPECT_EQ(LayoutButton(2, Box{0, 0, 263, 104}, 231, 108, false).image, Box(16, -2, 231, 108));
    // A caption squeezed out by a wide image gets no room rather than a negative one.
    EXPECT_EQ(LayoutButton(0, Box{0, 0, 30, 10}, 40, 10, true).caption.width, 0);
    // A caption without an image has the whole box in every style: the
    // options link's 82 pixels hold its five 15-pixel characters on one line.
    for (int32_t style = 0; style <= 3; ++style) {
        EXPECT_EQ(LayoutButton(style, Box{0, 0, 82, 32}, 0, 0, true).caption, Box(0, 0, 82, 32)) << style;
    }

    ImageButtonProps props;
    EXPECT_EQ(ButtonPressShift(props, {.held = true}).dx, 1);
    EXPECT_EQ(ButtonPressShift(props, {.held = true}).dy, 1);
    props.pressStyle = 1;
    EXPECT_EQ(ButtonPressShift(props, {.held = true}).dx, 0);
    EXPECT_EQ(ButtonPressShift(props, {.held = true}).dy, 2);
    EXPECT_EQ(ButtonPressShift(props, {.hovered = true}).dy, 0);
    props.checkBox = true;
    EXPECT_EQ(ButtonPressShift(props, {.held = true}).dy, 0);
}

TEST(ImageButtonRules, HoverTrackingBorderAndFocus) {
    ImageButtonProps props;
    EXPECT_TRUE(ButtonTracksHover(props, false, true));
    EXPECT_FALSE(ButtonTracksHover(props, true, true));
    EXPECT_FALSE(ButtonTracksHover(props, false, false));
    props.btnStyle = 2;
    EXPECT_TRUE(ButtonTracksHover(props, false, true));
    props.btnStyle = 1;
    EXPECT_FALSE(ButtonTracksHover(props, false, true));

    EXPECT_EQ(ChooseButtonBorder(props, {}), ButtonBorder::Raised);
    EXPECT_EQ(ChooseButtonBorder(props, {.held = true}), ButtonBorder::PressedFrame);
    EXPECT_TRUE(ButtonDrawsFocus(props, {.focused = true}));
    props.btnStyle = 0;
    EXPECT_EQ(ChooseButtonBorder(props, {.hovered = true}), ButtonBorder::None);
    EXPECT_FALSE(ButtonDrawsFocus(props, {.focused = true}));
    props.drawBorder = props.drawFocus = true;
    EXPECT_EQ(ChooseButtonBorder(props, {.hovered = true}), ButtonBorder::ThinRaised);
    EXPECT_EQ(ChooseButtonBorder(props, {.held = true}), ButtonBorder::ThinSunken);
    EXPECT_EQ(ChooseButtonBorder(props, {}), ButtonBorder::None);
    EXPECT_TRUE(ButtonDrawsFocus(props, {.focused = true}));
    EXPECT_FALSE(ButtonDrawsFocus(props, {}));
}

}  // namespace
}  // namespace zorv::ui
