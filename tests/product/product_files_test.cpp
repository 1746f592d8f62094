#include "product/product_files.h"

#include <gtest/gtest.h>

#include <string>

namespace zorv::product {
namespace {

// "誠" is D5 5C in GBK: its trail byte is a backslash.
const std::string kTrailBackslashChar = "誠";

TEST(DirectoryOf, EndsAtTheLastRealBackslash) {
    EXPECT_EQ(DirectoryOf("C:\\Program Files (x86)\\zorv\\zorv.exe"), "C:\\Program Files (x86)\\zorv\\");
    EXPECT_EQ(DirectoryOf("D:\\zorv\\\\zorv.exe"), "D:\\zorv\\\\");
    EXPECT_EQ(DirectoryOf("D:\\" + kTrailBackslashChar + "x"), "D:\\");
    EXPECT_EQ(DirectoryOf("D:/zorv/zorv.exe"), "");
}

TEST(ProductFolder, LastComponentMustBeTheShortName) {
    EXPECT_TRUE(IsProductFolder("C:\\Program Files (x86)\\zorv"));
    EXPECT_TRUE(IsProductFolder("D:/Games/zorv"));
    EXPECT_FALSE(IsProductFolder("D:\\myzorv"));
    EXPECT_FALSE(IsProductFolder("D:\\Zorv"));
    EXPECT_FALSE(IsProductFolder("zorv"));
    EXPECT_FALSE(IsProductFolder("D:\\zorv\\"));
    EXPECT_FALSE(IsProductFolder(""));
    // The 5C trail byte of 誠 is no separator: the last component is 誠zorv.
    EXPECT_FALSE(IsProductFolder("D:\\" + kTrailBackslashChar + "zorv"));
}

TEST(PathJoins, TrailingSeparatorsGoButNeverHalfACharacter) {
    EXPECT_EQ(WithoutTrailingSeparators("D:\\zorv\\\\/"), "D:\\zorv");
    EXPECT_EQ(WithoutTrailingSeparators("D:\\zorv"), "D:\\zorv");
    EXPECT_EQ(WithoutTrailingSeparators("\\"), "");
    // The folder ends in a character whose second byte is 5C: it stays whole.
    EXPECT_EQ(WithoutTrailingSeparators("D:\\" + kTrailBackslashChar), "D:\\" + kTrailBackslashChar);
    EXPECT_EQ(WithoutTrailingSeparators("D:\\" + kTrailBackslashChar + "\\\\"), "D:\\" + kTrailBackslashChar);
    EXPECT_EQ(FileInFolder("D:\\" + kTrailBackslashChar, kProductFile), "D:\\" + kTrailBackslashChar + "\\zorv.exe");
    EXPECT_EQ(FileInFolder("C:\\Program Files (x86)\\zorv\\\\", kUninstallerFile),
              "C:\\Program Files (x86)\\zorv\\卸载.exe");
}

}  // namespace
}  // namespace zorv::product
