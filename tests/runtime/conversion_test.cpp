#include "runtime/conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zorv {
namespace {

TEST(ToInteger, NumbersKeepOrTruncate) {
    EXPECT_EQ(ToInteger(int64_t{0x1'2345'6789}), 0x23456789);
    EXPECT_EQ(ToInteger(int64_t{-1}), -1);
    EXPECT_EQ(ToInteger(2.9), 2);
    EXPECT_EQ(ToInteger(-2.9), -2);
    EXPECT_EQ(ToInteger(2.5f), 2);
    EXPECT_EQ(ToInteger(true), 1);
    EXPECT_EQ(ToInteger(int16_t{-7}), -7);
    EXPECT_EQ(ToInteger(uint8_t{200}), 200);
    EXPECT_EQ(ToInteger(2147483647.9), 2147483647);
    EXPECT_EQ(ToInteger(-2147483648.5), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ToInteger(1e20), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ToInteger(std::nan("")), std::numeric_limits<int32_t>::min());
}

TEST(ToInteger, TextFollowsAtoiAfterHalfWidthForms) {
    EXPECT_EQ(ToInteger("  42abc"), 42);
    EXPECT_EQ(ToInteger("\t-17"), -17);
    EXPECT_EQ(ToInteger("+8"), 8);
    EXPECT_EQ(ToInteger("abc"), 0);
    EXPECT_EQ(ToInteger(""), 0);
    EXPECT_EQ(ToInteger("- 5"), 0);
    // Full-width "１２３" and a full-width minus and blank.
    EXPECT_EQ(ToInteger("１２３"), 123);
    EXPECT_EQ(ToInteger("　－４５"), -45);
    EXPECT_EQ(ToInteger(std::string("７")), 7);
}

TEST(ToInteger, TextOutOfRangeSaturates) {
    EXPECT_EQ(ToInteger("2147483647"), 2147483647);
    EXPECT_EQ(ToInteger("-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ToInteger("2147483648"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ToInteger("99999999999999999999999"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ToInteger("-99999999999999999999999"), std::numeric_limits<int32_t>::min());
}

TEST(HalfWidth, OnlyFullWidthFormsChange) {
    EXPECT_EQ(HalfWidthText("ＡＢｃ！＿"), "ABc!_");
    EXPECT_EQ(HalfWidthText("卸载Ａ"), "卸载A");
    // A3 as a trail byte (B0 A3) is not a full-width form.
    EXPECT_EQ(HalfWidthText("\xB0\xA3\xC1"), "\xB0\xA3\xC1");
}

TEST(ToText, Numbers) {
    EXPECT_EQ(ToText(2.5), "2.5");
    EXPECT_EQ(ToText(100.0), "100");
    EXPECT_EQ(ToText(0.1), "0.1");
    EXPECT_EQ(ToText(1.0 / 3.0), "0.3333333333333");
    EXPECT_EQ(ToText(1e20), "1e+20");
    EXPECT_EQ(ToText(0.1f), "0.1");
    EXPECT_EQ(ToText(3.14159265f), "3.14159");
    EXPECT_EQ(ToText(1234567.0f), "1.23457e+06");
    EXPECT_EQ(ToText(0.0f), "0");
    EXPECT_EQ(ToText(uint8_t{255}), "255");
    EXPECT_EQ(ToText(int16_t{-300}), "-300");
    EXPECT_EQ(ToText(int32_t{-2147483647 - 1}), "-2147483648");
    EXPECT_EQ(ToText(int64_t{-9000000000}), "-9000000000");
}

TEST(ToText, BoolTextAndByteSet) {
    EXPECT_EQ(ToText(true), "真");
    EXPECT_EQ(ToText(false), "假");
    // A literal stays a text and is not taken as a bool.
    EXPECT_EQ(ToText("abc"), "abc");
    EXPECT_EQ(ToText(ByteSet{'a', 'b', 0, 'c'}), "ab");
    EXPECT_EQ(ToText(ByteSet{}), "");
}

TEST(ToText, DateTimeDropsTrailingZeroParts) {
    // 2024-03-05 is day 45356.
    EXPECT_EQ(ToText(DateTime{45356.0}), "2024年3月5日");
    EXPECT_EQ(ToText(DateTime{45356.0 + 14.0 / 24}), "2024年3月5日14时");
    EXPECT_EQ(ToText(DateTime{45356.0 + (14 * 60 + 5) / 1440.0}), "2024年3月5日14时5分");
    EXPECT_EQ(ToText(DateTime{45356.0 + (14 * 3600 + 9) / 86400.0}), "2024年3月5日14时0分9秒");
    EXPECT_EQ(ToText(DateTime{0.0}), "1899年12月30日");
    // Negative dates count back, their fraction still the time of day.
    EXPECT_EQ(ToText(DateTime{-1.25}), "1899年12月29日6时");
    EXPECT_EQ(ToText(DateTime{60.0}), "1900年2月28日");
    EXPECT_EQ(ToText(DateTime{61.0}), "1900年3月1日");
}

TEST(CalendarFromOleDate, RoundsToTheSecondAcrossMidnight) {
    CalendarTime time = CalendarFromOleDate(45356.0 + 86399.9 / 86400.0);
    EXPECT_EQ(time.day, 6);
    EXPECT_EQ(time.hour, 0);
    EXPECT_EQ(time.second, 0);
    CalendarTime leap = CalendarFromOleDate(45351.0);
    EXPECT_EQ(leap.month, 2);
    EXPECT_EQ(leap.day, 29);
}

TEST(ToByteSet, LittleEndianBytesOfEachType) {
    EXPECT_EQ(ToByteSet("ab"), (ByteSet{'a', 'b'}));
    EXPECT_EQ(ToByteSet(std::string("卸")), (ByteSet{0xD0, 0xB6}));
    EXPECT_EQ(ToByteSet(int32_t{0x01020304}), (ByteSet{4, 3, 2, 1}));
    EXPECT_EQ(ToByteSet(int16_t{-2}), (ByteSet{0xFE, 0xFF}));
    EXPECT_EQ(ToByteSet(uint8_t{7}), (ByteSet{7}));
    EXPECT_EQ(ToByteSet(int64_t{1}), (ByteSet{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ToByteSet(true), (ByteSet{1, 0, 0, 0}));
    EXPECT_EQ(ToByteSet(1.0), (ByteSet{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ(ToByteSet(1.0f), (ByteSet{0, 0, 0x80, 0x3F}));
    EXPECT_EQ(ToByteSet(DateTime{1.0}), ToByteSet(1.0));
    EXPECT_EQ(ToByteSet(ByteSet{1, 2}), (ByteSet{1, 2}));
}

}  // namespace
}  // namespace zorv
