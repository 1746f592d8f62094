#include "runtime/ini_text.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

constexpr std::string_view kFile =
    "; comment\r\n"
    "top=before any section\r\n"
    "[更新信息]\r\n"
    "  下载地址  =  http://example.invalid/a  \r\n"
    "Version=1.2\r\n"
    "empty=\r\n"
    "bare\r\n"
    "quoted=\"  spaced  \"\r\n"
    "single='x'\r\n"
    "half=\"open\r\n"
    "Version=second key of the name\r\n"
    "[ Other ]\n"
    "Version=3\n"
    "[更新信息]\n"
    "late=in the second section of the name\n";

TEST(IniText, ValuesOfTheNamedSectionAndKey) {
    EXPECT_EQ(FindIniValue(kFile, "更新信息", "下载地址"), "http://example.invalid/a");
    EXPECT_EQ(FindIniValue(kFile, "更新信息", "version"), "1.2");  // ASCII case folded, first key counts
    EXPECT_EQ(FindIniValue(kFile, " 更新信息 ", " Version "), "1.2");
    EXPECT_EQ(FindIniValue(kFile, "OTHER", "Version"), "3");       // blanks inside the brackets dropped
    EXPECT_EQ(FindIniValue(kFile, "更新信息", "empty"), "");
    EXPECT_EQ(FindIniValue(kFile, "更新信息", "bare"), "");
}

TEST(IniText, OnePairOfMatchingQuotesGoes) {
    EXPECT_EQ(FindIniValue(kFile, "更新信息", "quoted"), "  spaced  ");
    EXPECT_EQ(FindIniValue(kFile, "更新信息", "single"), "x");
    EXPECT_EQ(FindIniValue(kFile, "更新信息", "half"), "\"open");
}

TEST(IniText, MissingSectionsAndKeys) {
    EXPECT_EQ(FindIniValue(kFile, "更新信息", "top"), std::nullopt);   // before any section
    EXPECT_EQ(FindIniValue(kFile, "更新信息", "late"), std::nullopt);  // second section of the name
    EXPECT_EQ(FindIniValue(kFile, "没有", "Version"), std::nullopt);
    EXPECT_EQ(FindIniValue("", "a", "b"), std::nullopt);
}

TEST(IniText, DoubleByteNamesAreComparedExactly) {
    // Trail bytes in the ASCII range ("癨" is B0 5C, "癆" B0 41) are not
    // case-folded and do not end a name: "]" (5D) after a lead byte is part
    // of the character "盷" (B1 5D), not the closing bracket.
    std::string file = "[\xB1\x5D]\nk=section with a bracket trail byte\n[A\xB0\x5C]\nk=1\n[\xB0\x41]\nk=2\n";
    EXPECT_EQ(FindIniValue(file, "\xB1\x5D", "k"), "section with a bracket trail byte");
    EXPECT_EQ(FindIniValue(file, "a\xB0\x5C", "k"), "1");
    EXPECT_EQ(FindIniValue(file, "\xB0\x41", "k"), "2");
    EXPECT_EQ(FindIniValue(file, "\xB0\x61", "k"), std::nullopt);  // "癆" and "癮" differ
    // "=" never is a trail byte, but a double-byte key with an ASCII-range
    // trail byte keeps it.
    EXPECT_EQ(FindIniValue("[s]\n\xB0\x5C=v\n", "s", "\xB0\x5C"), "v");
}

}  // namespace
}  // namespace zorv
