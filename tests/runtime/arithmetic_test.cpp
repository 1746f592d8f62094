#include "runtime/arithmetic.h"

#include <gtest/gtest.h>

#include <cmath>

#include "fatal_capture.h"

namespace zorv {
namespace {

using testing::FatalMessageOf;

TEST(Remainder, ChainsFmodWithTheDividendsSign) {
    EXPECT_DOUBLE_EQ(Remainder(10, 3), 1);
    EXPECT_DOUBLE_EQ(Remainder(-10, 3), -1);
    EXPECT_DOUBLE_EQ(Remainder(10, -3), 1);
    EXPECT_DOUBLE_EQ(Remainder(5.5, 2), 1.5);
    EXPECT_DOUBLE_EQ(Remainder(100, {30, 7}), 3);  // (100 mod 30) mod 7
}

TEST(Remainder, ZeroDivisorIsFatal) {
    EXPECT_EQ(FatalMessageOf([] { Remainder(1, 0); }), "不能求余数于零");
    EXPECT_EQ(FatalMessageOf([] { Remainder(1, {2, 0.0}); }), "不能求余数于零");
    EXPECT_EQ(FatalMessageOf([] { Remainder(1, -0.0); }), "不能求余数于零");
}

TEST(Bits, AndOrShiftAndRgb) {
    EXPECT_EQ(BitAnd(0x0F0F, 0x00FF), 0x000F);
    EXPECT_EQ(BitAnd({-1, 0x70, 0x3C}), 0x30);
    EXPECT_EQ(BitOr(0x0100, 0x0001), 0x0101);
    EXPECT_EQ(BitOr({1, 2, 4, 8}), 15);
    EXPECT_EQ(ShiftRight(-16, 2), -4);
    EXPECT_EQ(ShiftRight(256, 4), 16);
    EXPECT_EQ(ShiftRight(256, 36), 16);  // n & 31
    EXPECT_EQ(ShiftRight(-1, 31), -1);
    EXPECT_EQ(MakeRgb(0x12, 0x34, 0x56), 0x563412);
    EXPECT_EQ(MakeRgb(0x1FF, -1, 0x100), 0x00FFFF);
}

TEST(RoundTo, HalfAwayFromZero) {
    EXPECT_EQ(RoundTo(2.5), 3);
    EXPECT_EQ(RoundTo(-2.5), -3);
    EXPECT_EQ(RoundTo(2.4999), 2);
    EXPECT_EQ(RoundTo(0.0), 0);
    EXPECT_DOUBLE_EQ(RoundTo(1.005, 2), 1.01);  // 100.49999... + 1e-12 rounds up
    EXPECT_DOUBLE_EQ(RoundTo(-1.2345, 3), -1.235);
    EXPECT_DOUBLE_EQ(RoundTo(1250, -2), 1300);
    EXPECT_DOUBLE_EQ(RoundTo(-1249, -2), -1200);
}

TEST(RoundTo, ExtremeScalesStayFinite) {
    EXPECT_DOUBLE_EQ(RoundTo(1.5, 400), 1.5);
    EXPECT_EQ(RoundTo(5e300, -400), 0);
    EXPECT_FALSE(std::signbit(RoundTo(-0.2)));
    EXPECT_DOUBLE_EQ(RoundTo(1e300, 10), 1e300);
    EXPECT_TRUE(std::isnan(RoundTo(std::nan(""))));
}

TEST(Exp, IsTheNaturalExponential) {
    EXPECT_DOUBLE_EQ(Exp(0), 1);
    EXPECT_NEAR(Exp(1), 2.718281828459045, 1e-15);
}

}  // namespace
}  // namespace zorv
