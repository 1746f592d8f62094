#include "runtime/text_commands.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

TEST(TextCut, LeftRightMidClampToTheText) {
    EXPECT_EQ(TextLeft("abcdef", 2), "ab");
    EXPECT_EQ(TextLeft("abc", 10), "abc");
    EXPECT_EQ(TextLeft("abc", 0), "");
    EXPECT_EQ(TextLeft("abc", -3), "");
    EXPECT_EQ(TextRight("C:\\zorv", 4), "zorv");
    // A run directory shorter than the count comes back whole.
    EXPECT_EQ(TextRight("C:", 4), "C:");
    EXPECT_EQ(TextRight("abc", -1), "");
    EXPECT_EQ(TextMid("abcdef", 2, 3), "bcd");
    EXPECT_EQ(TextMid("abcdef", 5, 10), "ef");
    EXPECT_EQ(TextMid("abcdef", 6, 1), "f");
    EXPECT_EQ(TextMid("abcdef", 7, 1), "");
    EXPECT_EQ(TextMid("abcdef", 0, 2), "");
    EXPECT_EQ(TextMid("abcdef", 2, 0), "");
}

TEST(TextFind, FindsOnlyAtCharacterBoundaries) {
    EXPECT_EQ(TextFind("C:\\zorv\\卸载.exe", "卸载"), 9);
    // "械卸载" would contain the bytes of "卸载"? Build a name whose bytes hold
    // D0 B6 D4 D8 across two other characters: xD0 | B6D4 | D8x.
    std::string straddling = "\xB0\xD0\xB6\xD4\xD8\xB0";
    ASSERT_NE(straddling.find("卸载"), std::string::npos);
    EXPECT_EQ(TextFind(straddling, "卸载"), -1);
    EXPECT_EQ(TextFindLast(straddling, "卸载"), -1);
}

TEST(TextFind, StartPositionAndMisses) {
    EXPECT_EQ(TextFind("abcabc", "bc"), 2);
    EXPECT_EQ(TextFind("abcabc", "bc", 3), 5);
    EXPECT_EQ(TextFind("abcabc", "bc", 0), 2);
    EXPECT_EQ(TextFind("abcabc", "bc", 6), -1);
    EXPECT_EQ(TextFind("abcabc", "bc", 7), -1);
    EXPECT_EQ(TextFind("abc", "abcd"), -1);
    EXPECT_EQ(TextFind("", "a"), -1);
    EXPECT_EQ(TextFind("abc", "c", 3), 3);
}

TEST(TextFind, EmptyNeedleIsFoundWhereTheSearchBegins) {
    EXPECT_EQ(TextFind("abc", ""), 1);
    EXPECT_EQ(TextFind("abc", "", 2), 2);
    EXPECT_EQ(TextFind("", ""), -1);
    EXPECT_EQ(TextFindLast("abc", ""), 1);
    EXPECT_EQ(TextFindLast("abc", "", 1), -1);
}

TEST(TextFind, IgnoreCaseFoldsAsciiButNotTrailBytes) {
    EXPECT_EQ(TextFind("Setup.EXE", "exe", std::nullopt, true), 7);
    EXPECT_EQ(TextFind("Setup.EXE", "exe", std::nullopt, false), -1);
    // 81 41 and 81 61 are two different characters whose trail bytes are
    // 'A' and 'a'.
    EXPECT_EQ(TextFind("\x81\x41", "\x81\x61", std::nullopt, true), -1);
    EXPECT_EQ(TextFind("x\x81\x41", "X\x81\x41", std::nullopt, true), 1);
}

TEST(TextFindLast, LimitsTheRegionToTheBytesBeforeStart) {
    EXPECT_EQ(TextFindLast("abcabc", "bc"), 5);
    // Region "abcab": the second "bc" does not lie wholly inside.
    EXPECT_EQ(TextFindLast("abcabc", "bc", 6), 2);
    EXPECT_EQ(TextFindLast("abcabc", "bc", 7), 5);
    EXPECT_EQ(TextFindLast("abcabc", "bc", 100), 5);
    EXPECT_EQ(TextFindLast("abcabc", "bc", 1), -1);
    EXPECT_EQ(TextFindLast("abcabc", "bc", -5), -1);
    EXPECT_EQ(TextFindLast("a\\b卸\\c", "\\"), 6);
    EXPECT_EQ(TextFindLast("ABab", "ab", std::nullopt, true), 3);
}

TEST(TextReplace, CountStartAndCaseRules) {
    EXPECT_EQ(TextReplace("a-b-c", "-", "+"), "a+b+c");
    EXPECT_EQ(TextReplace("a-b-c", "-"), "abc");
    EXPECT_EQ(TextReplace("a-b-c-d", "-", "+", 1, 2), "a+b+c-d");
    EXPECT_EQ(TextReplace("a-b-c", "-", "+", 1, 0), "a-b-c");
    EXPECT_EQ(TextReplace("a-b-c", "-", "+", 3), "a-b+c");
    EXPECT_EQ(TextReplace("a-b-c", "-", "+", 6), "a-b-c");
    EXPECT_EQ(TextReplace("a-b-c", "", "+"), "a-b-c");
    EXPECT_EQ(TextReplace("", "-", "+"), "");
    EXPECT_EQ(TextReplace("aAa", "a", "x", 1, -1, true), "xAx");
    EXPECT_EQ(TextReplace("aAa", "a", "x", 1, -1, false), "xxx");
    // The scan jumps past a replacement, so "aaa" holds one "aa".
    EXPECT_EQ(TextReplace("aaa", "aa", "b"), "ba");
    EXPECT_EQ(TextReplace("zorv\\zorv", "zorv", "卸载"), "卸载\\卸载");
}

TEST(TextReplace, NeverSplitsADoubleByteCharacter) {
    // B6D4 is inside "\xD0\xB6\xD4\xD8" ("卸载") only across the two characters.
    EXPECT_EQ(TextReplace("卸载", "\xB6\xD4", "X"), "卸载");
}

TEST(TextSmall, LowerCharAndSpace) {
    EXPECT_EQ(TextToLower("ZORV.Exe"), "zorv.exe");
    // The trail byte 0x41 ('A') of 81 41 stays as it is.
    EXPECT_EQ(TextToLower("A\x81\x41Z"), "a\x81\x41z");
    EXPECT_EQ(CharFromCode(65), "A");
    EXPECT_EQ(CharFromCode(0x141), "A");
    EXPECT_EQ(CharFromCode(0), "");
    EXPECT_EQ(CharFromCode(256), "");
    EXPECT_EQ(CharFromCode(0xD0), "\xD0");
    EXPECT_EQ(SpaceText(3), "   ");
    EXPECT_EQ(SpaceText(0), "");
    EXPECT_EQ(SpaceText(-2), "");
}

}  // namespace
}  // namespace zorv
