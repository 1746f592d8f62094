#include "runtime/runtime.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

TEST(SplitProgramPath, DirectoryAndFileName) {
    ProgramPath path = SplitProgramPath("C:\\Program Files (x86)\\zorv\\卸载.exe");
    EXPECT_EQ(path.directory, "C:\\Program Files (x86)\\zorv");
    EXPECT_EQ(path.fileName, "卸载.exe");
    ProgramPath root = SplitProgramPath("D:\\setup.exe");
    EXPECT_EQ(root.directory, "D:");
    EXPECT_EQ(root.fileName, "setup.exe");
    ProgramPath bare = SplitProgramPath("setup.exe");
    EXPECT_EQ(bare.directory, "");
    EXPECT_EQ(bare.fileName, "setup.exe");
}

TEST(SplitProgramPath, BackslashTrailBytesDoNotSplit) {
    // 0x5C is the trail byte of the double-byte character 95 5C.
    std::string name = "\x95\x5C.exe";
    ProgramPath path = SplitProgramPath("C:\\a\\" + name);
    EXPECT_EQ(path.directory, "C:\\a");
    EXPECT_EQ(path.fileName, name);
}

TEST(WindowsVersionValue, MajorInTheHighByteMinorInTheLow) {
    EXPECT_EQ(ComposeWindowsVersion(6, 1), 0x0601);
    EXPECT_EQ(ComposeWindowsVersion(10, 0), 0x0A00);
    EXPECT_EQ(ComposeWindowsVersion(5, 1), 0x0501);
    // Each part is cut to one byte, so a large minor cannot spill into major.
    EXPECT_EQ(ComposeWindowsVersion(0x106, 0x1FF), 0x06FF);
}

}  // namespace
}  // namespace zorv
