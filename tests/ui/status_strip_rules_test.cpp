#include "ui/status_strip_rules.h"

#include <gtest/gtest.h>

namespace zorv::ui {
namespace {

TEST(StatusCountdown, CounterShowsSecondsWithOneDecimal) {
    EXPECT_EQ(CountdownText(250), "2.5");
    EXPECT_EQ(CountdownText(10000), "100.0");
    EXPECT_EQ(CountdownText(9999), "100.0");
    EXPECT_EQ(CountdownText(9994), "99.9");
    EXPECT_EQ(CountdownText(15), "0.2");
    EXPECT_EQ(CountdownText(5), "0.1");
    EXPECT_EQ(CountdownText(0), "0.0");
    EXPECT_EQ(CountdownText(-2), "0.0");
}

TEST(StatusCountdown, FadesOverTheLastOnePointEightSeconds) {
    EXPECT_EQ(FadeOpacity(181), 255);
    EXPECT_EQ(FadeOpacity(180), 255);
    EXPECT_EQ(FadeOpacity(179), 254);
    EXPECT_EQ(FadeOpacity(0), 75);
    EXPECT_EQ(FadeOpacity(-2), 73);
    EXPECT_EQ(FadeOpacity(-1000), 0);
    EXPECT_EQ(CountdownStepFor(181), 1);
    EXPECT_EQ(CountdownStepFor(180), 3);
    // A new message shown during a fade counts down at the normal pace.
    EXPECT_EQ(CountdownStepFor(5000), 1);
}

}  // namespace
}  // namespace zorv::ui
