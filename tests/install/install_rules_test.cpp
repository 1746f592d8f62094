#include "install/install_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zorv::install {
namespace {

using Texts = std::vector<std::string>;

// "誠" is D5 5C in GBK: its trail byte is a backslash.
const std::string kTrailBackslashChar = "誠";

TEST(InstallFolder, CompletesWithTheProductFolderOnlyWhenTheExactSuffixIsMissing) {
    EXPECT_EQ(CompleteInstallFolder(kDefaultInstallFolder), kDefaultInstallFolder);
    EXPECT_EQ(CompleteInstallFolder("D:\\Games"), "D:\\Games\\zorv");
    EXPECT_EQ(CompleteInstallFolder("D:\\zorv"), "D:\\zorv");
    EXPECT_EQ(CompleteInstallFolder("D:\\Games/zorv"), "D:\\Games/zorv");
    // Case counts, and so does the separator in front of the name.
    EXPECT_EQ(CompleteInstallFolder("D:\\Games\\ZORV"), "D:\\Games\\ZORV\\zorv");
    EXPECT_EQ(CompleteInstallFolder("D:\\myzorv"), "D:\\myzorv\\zorv");
    // Texts shorter than the suffix, a trailing backslash, the empty text.
    EXPECT_EQ(CompleteInstallFolder("D"), "D\\zorv");
    EXPECT_EQ(CompleteInstallFolder("zorv"), "zorv\\zorv");
    EXPECT_EQ(CompleteInstallFolder("D:\\Games\\"), "D:\\Games\\\\zorv");
    EXPECT_EQ(CompleteInstallFolder(""), "");
    // A backslash that is the second half of a character is no separator.
    EXPECT_EQ(CompleteInstallFolder("D:\\" + kTrailBackslashChar + "zorv"),
              "D:\\" + kTrailBackslashChar + "zorv\\zorv");
}

TEST(InstallFolder, PickerResultAndCaption) {
    EXPECT_EQ(FolderFromPicker(""), "C:\\Program Files (x86)\\zorv");
    EXPECT_EQ(FolderFromPicker("D:\\Apps"), "D:\\Apps\\zorv");
    EXPECT_EQ(FolderFromPicker("D:\\"), "D:\\\\zorv");
    EXPECT_EQ(InstallPathCaption("D:\\Apps\\zorv"), "当前安装路径 D:\\Apps\\zorv");
}

TEST(FolderPathSteps, CreatesEveryLevelOutermostFirst) {
    EXPECT_EQ(FolderPathSteps("D:\\a/b\\c\\"), (Texts{"D:\\a", "D:\\a\\b", "D:\\a\\b\\c"}));
    EXPECT_EQ(FolderPathSteps("C:/Program Files (x86)/zorv/"),
              (Texts{"C:\\Program Files (x86)", "C:\\Program Files (x86)\\zorv"}));
    // The last part without a backslash after it is not a folder.
    EXPECT_EQ(FolderPathSteps("D:\\a\\b"), (Texts{"D:\\a"}));
    // Doubled backslashes (a second run appends another one) add no level.
    EXPECT_EQ(FolderPathSteps("D:\\Games\\\\zorv\\\\"), (Texts{"D:\\Games", "D:\\Games\\zorv"}));
    EXPECT_EQ(FolderPathSteps("C:\\"), Texts{});
}

TEST(FolderPathSteps, KeepsDoubleByteNamesWhole) {
    const std::string name = kTrailBackslashChar + "表";
    EXPECT_EQ(FolderPathSteps("D:\\" + name + "\\"), (Texts{"D:\\" + name}));
    EXPECT_EQ(FolderPathSteps("D:\\" + kTrailBackslashChar + "\\zorv\\"),
              (Texts{"D:\\" + kTrailBackslashChar, "D:\\" + kTrailBackslashChar + "\\zorv"}));
}

TEST(ExtractAllBetween, RightMarkerServesAsTheNextLeftMarker) {
    EXPECT_EQ(ExtractAllBetween("<a><b>", "<", ">"), (Texts{"a", "b"}));
    EXPECT_EQ(ExtractAllBetween("|a|b||c|", "|", "|"), (Texts{"a", "b", "c"}));
    // Two-byte markers side by side: the empty middle is skipped.
    EXPECT_EQ(ExtractAllBetween("\\\\x\\\\\\\\y\\\\", "\\\\", "\\\\"), (Texts{"x", "y"}));
    EXPECT_EQ(ExtractAllBetween("no markers", "[", "]"), Texts{});
    EXPECT_EQ(ExtractAllBetween("abc", "", "c"), Texts{});
}

TEST(ExtractAllBetween, QuoteWordMarkersAndOptions) {
    const std::string text = "a=\"one\" b=\"two\" c=\"three\"";
    EXPECT_EQ(ExtractAllBetween(text, "=#引号", "#引号"), (Texts{"one", "two", "three"}));
    EXPECT_EQ(ExtractAllBetween(text, "=#引号", "#引号", true, 0, true, true), (Texts{"=\"one\"", "=\"two\"", "=\"three\""}));
    // The start position skips what lies before it.
    EXPECT_EQ(ExtractAllBetween(text, "=#引号", "#引号", true, 9), (Texts{"two", "three"}));
    // Prefix and suffix go inside the markers; an entry of maxLength bytes
    // or more is dropped.
    EXPECT_EQ(ExtractAllBetween(text, "=#引号", "#引号", true, 0, false, false, "(", ")"),
              (Texts{"(one)", "(two)", "(three)"}));
    EXPECT_EQ(ExtractAllBetween(text, "=#引号", "#引号", true, 0, false, false, {}, {}, 4), (Texts{"one", "two"}));
    EXPECT_EQ(ExtractAllBetween(text, "=#引号", "#引号", true, 0, true, true, {}, {}, 6), Texts{});
    // A prefix makes an empty middle an entry.
    EXPECT_EQ(ExtractAllBetween("[]", "[", "]", true, 0, false, false, "p"), (Texts{"p"}));
}

TEST(ExtractAllBetween, IgnoringCaseFoldsSingleByteLettersOnly) {
    EXPECT_EQ(ExtractAllBetween("<B>x</b><b>y</B>", "<b>", "</b>", false), (Texts{"x", "y"}));
    EXPECT_EQ(ExtractAllBetween("<B>x</b>", "<b>", "</b>", true), Texts{});
    // 丄 (81 41) and 乤 (81 61) differ only by the case of their trail byte.
    EXPECT_EQ(ExtractAllBetween("丄x乤y乤", "乤", "乤", false), (Texts{"y"}));
    // A marker byte inside a double-byte character is no marker.
    EXPECT_EQ(ExtractAllBetween("\\" + kTrailBackslashChar + "\\", "\\", "\\"), (Texts{kTrailBackslashChar}));
}

TEST(DownloadProgress, PercentRoundsHalfUpAfterTheSmallNudge) {
    EXPECT_EQ(ProgressPercentText(1, 8), "13");    // 12.5
    EXPECT_EQ(ProgressPercentText(29, 200), "15");  // 14.499999999999998 in double
    EXPECT_EQ(ProgressPercentText(2, 3), "67");
    EXPECT_EQ(ProgressPercentText(994, 1000), "99");
    // From 99.5 % on the text is "100", which the progress report leaves out.
    EXPECT_EQ(ProgressPercentText(995, 1000), "100");
    // Sizes beyond 32 bits.
    EXPECT_EQ(ProgressPercentText(int64_t{3} << 32, int64_t{8} << 32), "38");
    EXPECT_EQ(ProgressPercentText(int64_t{5'000'000'000}, int64_t{10'000'000'000}), "50");
    // No known length, no message.
    EXPECT_EQ(ProgressPercentText(10, 0), "");
    EXPECT_EQ(ProgressPercentText(10, -1), "");
    EXPECT_EQ(ProgressMessage("37"), "正在下载新版本，进度：37 %");
}

TEST(DownloadProgress, CompleteOnlyWithAKnownLengthFullyReceived) {
    EXPECT_TRUE(IsDownloadComplete(1234, 1234));
    EXPECT_FALSE(IsDownloadComplete(1233, 1234));
    EXPECT_FALSE(IsDownloadComplete(0, 0));
    EXPECT_TRUE(IsDownloadComplete(int64_t{5} << 32, int64_t{5} << 32));
}

TEST(PanelAnimation, EasingApproachesFromOneSideAndTheLastWriteIsExact) {
    // Growing 0 -> 964 in 22 steps as the frame line does.
    const std::vector<int32_t> expected{96,  182, 260, 330, 393, 450, 501, 547, 588, 625, 658,
                                        688, 715, 739, 761, 781, 799, 815, 829, 842, 854, 865};
    int32_t value = 0;
    std::vector<int32_t> seen;
    for (int i = 0; i < 22; ++i) {
        int32_t next = EaseStep(value, 964);
        EXPECT_GE(next, value);
        EXPECT_LE(next, 964);
        value = next;
        seen.push_back(value);
    }
    EXPECT_EQ(seen, expected);
    value = 964;  // the final exact write
    EXPECT_EQ(EaseStep(value, 964), 964);

    // Near the target truncation stalls below it instead of passing it.
    EXPECT_EQ(EaseStep(955, 964), 955);
    // Shrinking stops at or above the target.
    EXPECT_EQ(EaseStep(700, 0), 630);
    EXPECT_EQ(EaseStep(1, 0), 0);
    EXPECT_EQ(EaseStep(0, -10), -1);
    // No overflow of the difference on extreme values.
    EXPECT_EQ(EaseStep(INT32_MIN, INT32_MAX), -1717986918);
}

TEST(PanelPlacement, CentredAndLoweredTruncatingTowardZero) {
    Point p = CentredPanelPosition(100, 50, 1425, 962, 964, 700, 35);
    EXPECT_EQ(p.x, 330);  // 100 + 230.5
    EXPECT_EQ(p.y, 216);  // 50 + 131 + 35
    // Left of the primary screen: -100.5 is truncated to -100, not floored.
    p = CentredPanelPosition(-101, -200, 965, 701, 964, 700, 0);
    EXPECT_EQ(p.x, -100);
    EXPECT_EQ(p.y, -199);
    // A panel larger than the window.
    p = CentredPanelPosition(0, 0, 100, 100, 301, 301, 35);
    EXPECT_EQ(p.x, -100);
    EXPECT_EQ(p.y, -65);
}

TEST(CommandLine, ArgumentsAfterTheProgramPath) {
    EXPECT_EQ(ArgumentsOf("\"C:\\Program Files (x86)\\zorv\\卸载.exe\"  /S"), "/S");
    EXPECT_EQ(ArgumentsOf("C:\\zorv\\卸载.exe /S /x=\"a b\" "), "/S /x=\"a b\" ");
    EXPECT_EQ(ArgumentsOf("  setup.exe\t/S"), "/S");
    EXPECT_EQ(ArgumentsOf("\"C:\\a b\\setup.exe\""), "");
    EXPECT_EQ(ArgumentsOf(""), "");
    // A quoted path holding blanks is one token.
    EXPECT_EQ(ArgumentsOf("\"C:\\a b\\setup.exe\" x"), "x");
}

TEST(CommandLine, QuietUninstallIsTheSlashSOptionWithAtMostALog) {
    EXPECT_TRUE(IsQuietUninstall("\"C:\\Program Files (x86)\\zorv\\卸载.exe\" /S"));
    EXPECT_TRUE(IsQuietUninstall("卸载.exe /s "));
    EXPECT_TRUE(IsQuietUninstall("卸载.exe \"/S\""));
    EXPECT_FALSE(IsQuietUninstall("\"C:\\Program Files (x86)\\zorv\\卸载.exe\""));
    EXPECT_FALSE(IsQuietUninstall("卸载.exe /S /S"));
    EXPECT_FALSE(IsQuietUninstall("卸载.exe /S /X"));
    // A log may be asked for beside it, before or after.
    EXPECT_TRUE(IsQuietUninstall("卸载.exe /S \"/LOG=C:\\Logs\\u.log\""));
    EXPECT_TRUE(IsQuietUninstall("卸载.exe /log=u.log /s"));
    EXPECT_FALSE(IsQuietUninstall("卸载.exe /LOG=u.log"));
    // The program path itself is no argument, even when it looks like one.
    EXPECT_FALSE(IsQuietUninstall("/S"));
}

TEST(CommandLine, ProductUrlOption) {
    EXPECT_EQ(ProductUrlFromCommandLine("setup.exe /URL=http://mirror.test/zorv.exe"), "http://mirror.test/zorv.exe");
    EXPECT_EQ(ProductUrlFromCommandLine("setup.exe /url=\"http://mirror.test/a b.exe\""), "http://mirror.test/a b.exe");
    EXPECT_EQ(ProductUrlFromCommandLine("\"C:\\a b\\setup.exe\" /x \"/Url=http://m.test/z.exe\" /S"), "http://m.test/z.exe");
    EXPECT_EQ(ProductUrlFromCommandLine("setup.exe /URL=HTTP://M.TEST/z.exe"), "HTTP://M.TEST/z.exe");
    EXPECT_EQ(ProductUrlFromCommandLine("setup.exe /URL=https://mirror.test/zorv.exe"), "https://mirror.test/zorv.exe");
    EXPECT_EQ(ProductUrlFromCommandLine("setup.exe \"/URL=HTTPS://m.test/a b.exe\""), "HTTPS://m.test/a b.exe");
    // Other schemes, an empty address, no option.
    EXPECT_EQ(ProductUrlFromCommandLine("setup.exe /URL=https://"), "");
    EXPECT_EQ(ProductUrlFromCommandLine("setup.exe /URL=httpx://m.test/z.exe"), "");
    EXPECT_EQ(ProductUrlFromCommandLine("setup.exe /URL=ftp://mirror.test/zorv.exe"), "");
    EXPECT_EQ(ProductUrlFromCommandLine("setup.exe /URL=http://"), "");
    EXPECT_EQ(ProductUrlFromCommandLine("setup.exe /S"), "");
    EXPECT_EQ(ProductUrlFromCommandLine("/URL=http://m.test/z.exe"), "");
    // The option must be the whole argument's start, not a part of it.
    EXPECT_EQ(ProductUrlFromCommandLine("setup.exe x/URL=http://m.test/z.exe"), "");
}

TEST(CommandLine, SilentInstallOptionsInAnyOrderAndCase) {
    SilentInstallOptions options = SilentInstallOptionsOf(
        L"\"C:\\a b\\zorv-setup.exe\" /url=http://m/z.exe /noshortcuts \"/Dir=D:\\Program Files\\Apps\" /s /LOG=x.log");
    EXPECT_TRUE(options.silent);
    EXPECT_TRUE(options.noShortcuts);
    EXPECT_FALSE(options.start);
    EXPECT_TRUE(options.folderGiven);
    EXPECT_EQ(options.folder, L"D:\\Program Files\\Apps");
    // The folder's quotes may also enclose only the value.
    EXPECT_EQ(SilentInstallOptionsOf(L"setup.exe /S /DIR=\"D:\\a b\" /START").folder, L"D:\\a b");
    EXPECT_TRUE(SilentInstallOptionsOf(L"setup.exe /S /DIR=\"D:\\a b\" /START").start);
    // An empty folder is given (and refused later); no /S, no silence.
    EXPECT_TRUE(SilentInstallOptionsOf(L"setup.exe /S /DIR=").folderGiven);
    EXPECT_FALSE(SilentInstallOptionsOf(L"setup.exe /DIR=D:\\x").silent);
    EXPECT_FALSE(SilentInstallOptionsOf(L"/S").silent);
    EXPECT_FALSE(SilentInstallOptionsOf(L"setup.exe /SILENT").silent);
}

TEST(CommandLine, LogFileKeepsEveryCharacterOfItsPath) {
    EXPECT_EQ(LogFileFromCommandLine(L"setup.exe /S \"/LOG=C:\\Users\\\u0141ukasz\\\uB2E4\uC6B4\uB85C\uB4DC\\setup.log\""),
              L"C:\\Users\\\u0141ukasz\\\uB2E4\uC6B4\uB85C\uB4DC\\setup.log");
    EXPECT_EQ(LogFileFromCommandLine(L"setup.exe /log=\"D:\\a b\\x.log\" /S"), L"D:\\a b\\x.log");
    EXPECT_EQ(LogFileFromCommandLine(L"setup.exe /S"), L"");
    EXPECT_EQ(LogFileFromCommandLine(L"/LOG=x.log"), L"");
}

}  // namespace
}  // namespace zorv::install
