#include "download/target_name.h"

#include <gtest/gtest.h>

#include "download/texts.h"

namespace zorv::download {
namespace {

TEST(TargetName, AutomaticRenamingNumbersThePartBeforeTheFirstDot) {
    EXPECT_EQ(NextAutoName("C:\\zorv\\zorv.exe"), "C:\\zorv\\zorv(1).exe");
    EXPECT_EQ(NextAutoName("C:\\zorv\\zorv(1).exe"), "C:\\zorv\\zorv(2).exe");
    EXPECT_EQ(NextAutoName("C:\\zorv\\zorv(41).exe"), "C:\\zorv\\zorv(42).exe");
    EXPECT_EQ(NextAutoName("C:\\d\\a.b.exe"), "C:\\d\\a(1).b.exe");
    EXPECT_EQ(NextAutoName("C:\\d\\readme"), "C:\\d\\readme(1)");
    EXPECT_EQ(NextAutoName("/tmp/x/f.bin"), "/tmp/x/f(1).bin");
    // Only a number of one or two digits counts as an earlier renaming.
    EXPECT_EQ(NextAutoName("C:\\d\\v(123).exe"), "C:\\d\\v(123)(1).exe");
    EXPECT_EQ(NextAutoName("C:\\d\\v(ab).exe"), "C:\\d\\v(ab)(1).exe");
    // The folder's own dots and parentheses are left alone.
    EXPECT_EQ(NextAutoName("C:\\my.dir(2)\\zorv.exe"), "C:\\my.dir(2)\\zorv(1).exe");
    EXPECT_FALSE(NextAutoName("C:\\d\\zorv(99).exe"));
}

TEST(TargetName, FolderTargets) {
    EXPECT_TRUE(NamesFolder("C:\\zorv\\"));
    EXPECT_TRUE(NamesFolder("/tmp/zorv/"));
    EXPECT_FALSE(NamesFolder("C:\\zorv\\zorv.exe"));
    EXPECT_FALSE(NamesFolder(""));
}

TEST(TargetName, NameFromPathIsDecodedAndKeepsItsQuery) {
    EXPECT_EQ(NameFromRequestPath("/pub/zorv%20setup+1.exe"), "zorv setup 1.exe");
    EXPECT_EQ(NameFromRequestPath("http://h/pub/zorv.exe"), "zorv.exe");
    EXPECT_EQ(NameFromRequestPath("/pub/100%.exe"), "100%.exe");
    EXPECT_EQ(NameFromRequestPath("/pub/a%4"), "a%4");
    EXPECT_EQ(NameFromRequestPath("/pub/%zz.exe"), "%zz.exe");
    // "?" cannot be part of a Windows file name.
    EXPECT_EQ(NameFromRequestPath("/get.php?id=3"), kFallbackFileName);
}

TEST(TargetName, UnsafeNamesFallBack) {
    for (const char* path : {"/pub/", "/pub/%2E%2E%5Cwin.ini", "/pub/..", "/pub/c%3A%5Cx.exe", "/a%2Fb.exe",
                             "/con.txt", "/NUL", "/LPT1.exe"})
        EXPECT_EQ(NameFromRequestPath(path), kFallbackFileName) << path;
    EXPECT_EQ(UsableServerName("setup.exe"), "setup.exe");
    EXPECT_EQ(UsableServerName("中文名.exe"), "中文名.exe");
    // Names are text: UTF-8 is converted, GBK kept, other bytes are no name.
    EXPECT_EQ(UsableServerName("\xE4\xB8\xAD\xE6\x96\x87\xE5\x90\x8D.exe"), "中文名.exe");
    EXPECT_EQ(NameFromRequestPath("/pub/%E4%B8%AD%E6%96%87%E5%90%8D.exe"), "中文名.exe");
    EXPECT_EQ(NameFromRequestPath("/pub/%D6%D0%CE%C4%C3%FB.exe"), "中文名.exe");
    EXPECT_EQ(NameFromRequestPath("/pub/%FF%FE.exe"), kFallbackFileName);
    for (const char* name : {"", "..\\evil.exe", "dir/evil.exe", "C:evil.exe", "a..b", "x\x01.exe", "com3.log"})
        EXPECT_EQ(UsableServerName(name), "") << name;
}

TEST(StatusTexts, TimeStampDropsTrailingZeroParts) {
    EXPECT_EQ(TimeStampText({2026, 12, 8, 23, 5, 9}), "2026年12月8日23时5分9秒");
    EXPECT_EQ(TimeStampText({2026, 1, 2, 3, 4, 0}), "2026年1月2日3时4分");
    EXPECT_EQ(TimeStampText({2026, 1, 2, 3, 0, 0}), "2026年1月2日3时");
    EXPECT_EQ(TimeStampText({2026, 1, 2, 0, 0, 0}), "2026年1月2日");
    // A zero hour still shows when minutes or seconds do not.
    EXPECT_EQ(TimeStampText({2026, 1, 2, 0, 7, 0}), "2026年1月2日0时7分");
}

TEST(StatusTexts, LineBreaksAreRemovedAndFormattingHasNoLengthLimit) {
    EXPECT_EQ(StripLineBreaks("http://h/a\r\n.exe\n"), "http://h/a.exe");
    std::string long_text(5000, 'x');
    EXPECT_EQ(FormatText("重定向到 [%s]", long_text.c_str()).size(), long_text.size() + 11);
}

}  // namespace
}  // namespace zorv::download
