// The form's scale: which DPI a screen gets, and template pixels on the
// physical grid.
#include "ui/form_scale.h"

#include <gtest/gtest.h>

namespace zorv::ui {
namespace {

// The start window's room on every side: its shadow's 30 + 1 template
// pixels and 8 more (as the window layer asks).
constexpr int kBorder = 39;

struct Screen {
    int monitorDpi, width, height, expected;
};

TEST(FormScale, TheFormTakesTheLargestScaleThatFitsAndNeverMoreThanTheDpi) {
    const Screen screens[] = {
        {96, 1600, 1000, 96},    // the tests' usual screen: scale 1, as before
        {96, 1366, 768, 75},     // a laptop: shrunk until 902 + 2 × 39 rows fit 768
        {192, 3840, 2160, 192},  // 4K at 200 %: exactly twice
        {192, 2560, 1440, 141},  // 200 % where twice does not fit
        {120, 3840, 2160, 120},  // room to spare: never larger than the monitor asks
        {96, 320, 240, kMinFormDpi},
    };
    for (const Screen& s : screens) {
        int dpi = FitFormDpi(s.monitorDpi, s.width, s.height, 1365, 902, kBorder);
        EXPECT_EQ(dpi, s.expected) << s.width << "x" << s.height << " at " << s.monitorDpi;
        if (dpi == kMinFormDpi) continue;
        EXPECT_LE(ScaleLength(1365 + 2 * kBorder, dpi), s.width);
        EXPECT_LE(ScaleLength(902 + 2 * kBorder, dpi), s.height);
        if (dpi < s.monitorDpi) {  // one step larger would not fit
            EXPECT_TRUE(ScaleLength(1365 + 2 * kBorder, dpi + 1) > s.width ||
                        ScaleLength(902 + 2 * kBorder, dpi + 1) > s.height);
        }
    }
}

TEST(FormScale, UnitsThatMeetInTemplatePixelsMeetOnTheScreenAtEveryScale) {
    // The identity at 96, negative values (font heights) included.
    EXPECT_EQ(ScaleSpan({-7, 13}, kTemplateDpi), (Span{-7, 13}));
    EXPECT_EQ(ScaleLength(-15, 192), -30);
    EXPECT_EQ(ScaleLength(-15, 120), -19);  // -18.75 to the nearest
    for (int dpi = kMinFormDpi; dpi <= 288; ++dpi) {
        // The options panel docked at the main window's bottom edge, and two
        // neighbours side by side: no gap, no overlap.
        Span main = ScaleSpan({0, 902}, dpi), panel = ScaleSpan({902 - 250, 250}, dpi);
        EXPECT_EQ(panel.start + panel.length, main.start + main.length) << dpi;
        Span left = ScaleSpan({3, 600}, dpi), right = ScaleSpan({603, 762}, dpi);
        EXPECT_EQ(left.start + left.length, right.start) << dpi;
        // Template pixels come back from the screen as they went, wherever a
        // physical pixel is at least a template pixel.
        if (dpi < kTemplateDpi) continue;
        for (int x : {-1365, -35, -1, 0, 1, 35, 652, 1365, 32627})
            EXPECT_EQ(UnscaleLength(ScaleLength(x, dpi), dpi), x) << x << " at " << dpi;
    }
}

}  // namespace
}  // namespace zorv::ui
