// The file commands against the real file system, on Chinese (GBK) names.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/runtime.h"
#include "windows_test_support.h"

namespace zorv {
namespace {

using testing::Exists;
using testing::ForceDelete;
using testing::PutFile;
using testing::ReadWholeFile;
using testing::ScratchFolder;

std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The name of the single entry of a folder, as the system spells it.
std::wstring OnlyEntry(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    std::wstring found;
    int count = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            found = name;
            ++count;
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    return count == 1 ? found : L"(" + std::to_wstring(count) + L" entries)";
}

TEST(RunDirectory, SplitsTheProgramPathOfThisProcess) {
    wchar_t module[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::string full = GbkFromWide(std::wstring_view(module, length));
    EXPECT_EQ(GetRunDirectory() + "\\" + GetExeFileName(), full);
    EXPECT_NE(GetRunDirectory().back(), '\\');
    EXPECT_EQ(GetExeFileName().find('\\'), std::string::npos);
}

TEST(MakeDirectory, CreatesOneLevelAtATime) {
    ScratchFolder scratch("目录测试");
    std::string nested = scratch / "安装\\程序\\数据";
    EXPECT_FALSE(MakeDirectory(nested));  // parents missing
    EXPECT_FALSE(Exists(nested));
    EXPECT_TRUE(MakeDirectory(scratch / "安装"));
    EXPECT_TRUE(MakeDirectory(scratch / "安装\\程序"));
    EXPECT_TRUE(MakeDirectory(nested));
    EXPECT_TRUE(GetFileAttributesW(WideFromGbk(nested).c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(MakeDirectory(nested));  // exists already
    // The name is the Chinese one, not the GBK bytes read in another code page.
    EXPECT_EQ(OnlyEntry(scratch.wide()), L"\u5b89\u88c5");
    EXPECT_EQ(OnlyEntry(scratch.wide() + L"\\\u5b89\u88c5"), L"\u7a0b\u5e8f");
}

TEST(MakeDirectory, NameWithABackslashTrailByte) {
    // "癨" is B0 5C: its trail byte is a backslash, which must not split the
    // name into a folder and a file.
    ScratchFolder scratch("尾字节");
    std::string name = scratch / "\xB0\x5C\xB0\x5C";
    EXPECT_TRUE(MakeDirectory(name));
    EXPECT_EQ(OnlyEntry(scratch.wide()), WideFromGbk("\xB0\x5C\xB0\x5C"));
}

class RemoveDirectoryTreeTest : public ::testing::Test {
protected:
    ScratchFolder scratch_{"删除测试"};

    // scratch\树\{顶层.txt, 子目录\{深处.txt, 更深\末端.txt}, 空目录}
    std::string BuildTree() {
        std::string root = scratch_ / "树";
        EXPECT_TRUE(CreateDirectoryW(WideFromGbk(root).c_str(), nullptr));
        EXPECT_TRUE(CreateDirectoryW(WideFromGbk(root + "\\子目录").c_str(), nullptr));
        EXPECT_TRUE(CreateDirectoryW(WideFromGbk(root + "\\子目录\\更深").c_str(), nullptr));
        EXPECT_TRUE(CreateDirectoryW(WideFromGbk(root + "\\空目录").c_str(), nullptr));
        EXPECT_TRUE(PutFile(root + "\\顶层.txt", "top"));
        EXPECT_TRUE(PutFile(root + "\\子目录\\深处.txt", "deep"));
        EXPECT_TRUE(PutFile(root + "\\子目录\\更深\\末端.txt", "deeper"));
        return root;
    }
};

TEST_F(RemoveDirectoryTreeTest, DeletesEverythingDepthFirst) {
    std::string root = BuildTree();
    EXPECT_TRUE(RemoveDirectoryTree(root));
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(Exists(scratch_.path()));
}

TEST_F(RemoveDirectoryTreeTest, LeadingBlanksAndATrailingBackslash) {
    std::string root = BuildTree();
    EXPECT_TRUE(RemoveDirectoryTree("   " + root + "\\"));
    EXPECT_FALSE(Exists(root));
}

TEST_F(RemoveDirectoryTreeTest, DottedAndRelativePathsNameTheFolderTheyResolveTo) {
    std::string root = BuildTree();
    EXPECT_TRUE(RemoveDirectoryTree(root + "\\子目录\\更深\\.."));
    EXPECT_FALSE(Exists(root + "\\子目录"));
    EXPECT_TRUE(Exists(root + "\\顶层.txt"));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(scratch_.wide().c_str()));
    bool removed = RemoveDirectoryTree("树");
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(removed);
    EXPECT_FALSE(Exists(root));
}

TEST_F(RemoveDirectoryTreeTest, ReadOnlyFileStaysWithItsDirectories) {
    std::string root = BuildTree();
    std::string kept = root + "\\子目录\\更深\\末端.txt";
    ASSERT_TRUE(SetFileAttributesW(WideFromGbk(kept).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(RemoveDirectoryTree(root));
    // The read-only file and the directories that hold it stay, unchanged;
    // everything else is gone.
    EXPECT_TRUE(Exists(kept));
    EXPECT_EQ(ReadWholeFile(kept), "deeper");
    EXPECT_TRUE(GetFileAttributesW(WideFromGbk(kept).c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(Exists(root + "\\顶层.txt"));
    EXPECT_FALSE(Exists(root + "\\子目录\\深处.txt"));
    EXPECT_FALSE(Exists(root + "\\空目录"));
    EXPECT_EQ(OnlyEntry(WideFromGbk(root)), WideFromGbk("子目录"));
    EXPECT_EQ(OnlyEntry(WideFromGbk(root + "\\子目录")), WideFromGbk("更深"));
}

TEST_F(RemoveDirectoryTreeTest, MissingDirectoryAndAFile) {
    EXPECT_FALSE(RemoveDirectoryTree(scratch_ / "没有"));
    std::string file = scratch_ / "文件.txt";
    ASSERT_TRUE(PutFile(file, "x"));
    EXPECT_FALSE(RemoveDirectoryTree(file));
    EXPECT_TRUE(Exists(file));
}

// A drive root the test may aim at safely: a drive letter mapped onto an
// empty scratch folder, named by ZORV_SCRATCH_DRIVE ("Y:").  The ctest entry
// RemoveDirectoryTree.DriveRootsOfAScratchDrive (scratch-drive-run) provides
// it under Wine; without it the test is skipped, since a root that were not
// refused would be emptied.
std::wstring ScratchDrive() {
    wchar_t drive[8] = {};
    DWORD length = GetEnvironmentVariableW(L"ZORV_SCRATCH_DRIVE", drive, 8);
    if (length != 2 || drive[1] != L':') return {};
    return drive;
}

TEST(ScratchDrive, RemoveDirectoryTreeRefusesEmptyPathsAndDriveRoots) {
    std::wstring drive = ScratchDrive();
    if (drive.empty()) GTEST_SKIP() << "no scratch drive (ZORV_SCRATCH_DRIVE)";
    std::string upper = GbkFromWide(drive);
    std::string lower = upper;
    lower[0] = static_cast<char>(lower[0] - 'A' + 'a');
    // Each spelling of the root meets a fresh tree; a root that were not
    // refused would take the tree with it.
    auto refused = [&](const std::string& path) {
        MakeDirectory(upper + "\\树");
        if (!PutFile(upper + "\\顶层.txt", "top") || !PutFile(upper + "\\树\\深处.txt", "deep")) return false;
        bool result = RemoveDirectoryTree(path);
        return !result && Exists(upper + "\\顶层.txt") && Exists(upper + "\\树\\深处.txt");
    };
    for (const std::string& path : {std::string(), std::string("   "), upper, lower, upper + "\\", lower + "\\",
                                    upper + "/", "  " + upper + "\\"}) {
        EXPECT_TRUE(refused(path)) << "\"" << path << "\"";
    }
    // Other spellings of the same root are no less the root.
    for (const std::string& path : {upper + "\\\\", upper + "\\/", upper + "\\.", upper + "\\.\\",
                                    upper + "\\..", upper + "\\树\\..", upper + "\\树\\..\\", upper + "\\ ",
                                    "\\\\?\\" + upper + "\\", "\\\\?\\" + upper + "\\树\\.."}) {
        EXPECT_TRUE(refused(path)) << "\"" << path << "\"";
    }
    // A folder on that drive is no root: it goes.
    EXPECT_TRUE(RemoveDirectoryTree(lower + "\\树"));
    EXPECT_FALSE(Exists(upper + "\\树"));
    DeleteFileW(WideFromGbk(upper + "\\顶层.txt").c_str());
}

TEST(CopyFileOver, CopiesAndReplacesTheTarget) {
    ScratchFolder scratch("复制测试");
    std::string source = scratch / "源文件.bin";
    std::string target = scratch / "目标.bin";
    std::string content("\x00\x01\xFF\r\n 安装", 10);
    ASSERT_TRUE(PutFile(source, content));
    EXPECT_TRUE(CopyFileOver(source, target));
    EXPECT_EQ(ReadWholeFile(target), content);
    ASSERT_TRUE(PutFile(source, "shorter"));
    EXPECT_TRUE(CopyFileOver(source, target));
    EXPECT_EQ(ReadWholeFile(target), "shorter");
    EXPECT_FALSE(CopyFileOver(scratch / "没有.bin", target));
    EXPECT_EQ(ReadWholeFile(target), "shorter");
    EXPECT_FALSE(CopyFileOver(source, scratch / "没有目录\\目标.bin"));
}

TEST(WriteBytesToFile, WritesEveryPartInOrderAndTruncates) {
    ScratchFolder scratch("写入测试");
    std::string file = scratch / "卸载说明.txt";
    ASSERT_TRUE(PutFile(file, std::string(5000, 'x')));
    std::string first("\xD0\xB6\xD4\xD8\x00", 5);
    EXPECT_TRUE(WriteBytesToFile(file, {Bytes(first), Bytes(""), Bytes("\r\nend")}));
    EXPECT_EQ(ReadWholeFile(file), first + "\r\nend");
    EXPECT_EQ(OnlyEntry(scratch.wide()), L"\u5378\u8f7d\u8bf4\u660e.txt");
    EXPECT_TRUE(WriteBytesToFile(file, ByteSet{}));
    EXPECT_EQ(ReadWholeFile(file), "");
}

TEST(WriteBytesToFile, FileErrorsGiveFalse) {
    ScratchFolder scratch("写入失败");
    EXPECT_FALSE(WriteBytesToFile(scratch / "没有目录\\a.txt", Bytes("x")));
    EXPECT_FALSE(WriteBytesToFile(scratch.path(), Bytes("x")));  // a directory
    std::string locked = scratch / "占用.txt";
    ASSERT_TRUE(PutFile(locked, "old"));
    HANDLE holder = CreateFileW(WideFromGbk(locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteBytesToFile(locked, Bytes("new")));
    CloseHandle(holder);
    EXPECT_EQ(ReadWholeFile(locked), "old");
}

TEST(ReadIniValue, ReadsValuesAndDefaults) {
    ScratchFolder scratch("配置测试");
    std::string ini = scratch / "up.ini";
    ASSERT_TRUE(PutFile(ini, "[update]\r\nversion=1.2.3\r\nurl = http://example.invalid/a \r\n[empty]\r\n"));
    EXPECT_EQ(ReadIniValue(ini, "update", "version"), "1.2.3");
    EXPECT_EQ(ReadIniValue(ini, "update", "url"), "http://example.invalid/a");
    EXPECT_EQ(ReadIniValue(ini, "update", "missing"), "");
    EXPECT_EQ(ReadIniValue(ini, "update", "missing", "默认"), "默认");
    EXPECT_EQ(ReadIniValue(scratch / "没有.ini", "update", "version", "默认"), "默认");
    // Leading characters up to 0x20 of file, section and key are skipped.
    EXPECT_EQ(ReadIniValue(" \t" + ini, "\x01 update", "\r\nversion"), "1.2.3");
    // Empty after skipping: empty, whatever the default.
    EXPECT_EQ(ReadIniValue("  ", "update", "version", "默认"), "");
    EXPECT_EQ(ReadIniValue(ini, " \t", "version", "默认"), "");
    EXPECT_EQ(ReadIniValue(ini, "update", "", "默认"), "");
}

TEST(ReadIniValue, ChineseSectionKeyAndValueOfAGbkFile) {
    // An ini file without a byte-order mark holds GBK text, as the program's
    // own texts do, whatever the system's ANSI code page (1252 in the Wine
    // test runs).
    ScratchFolder scratch("配置国标");
    std::string ini = scratch / "up.ini";
    ASSERT_TRUE(PutFile(ini, "[更新信息]\r\n下载地址 = http://example.invalid/中文/zorv.exe\r\n说明=\"  引号内 \"\r\n"));
    EXPECT_EQ(ReadIniValue(ini, "更新信息", "下载地址"), "http://example.invalid/中文/zorv.exe");
    EXPECT_EQ(ReadIniValue(ini, "更新信息", "说明"), "  引号内 ");
    EXPECT_EQ(ReadIniValue(ini, "更新信息", "没有", "默认"), "默认");
    EXPECT_EQ(ReadIniValue(ini, "其他", "下载地址", "默认"), "默认");
}

TEST(ReadIniValue, ChineseValuesOfAUnicodeFile) {
    // GBK texts come back exactly from a file the system reads as UTF-16.
    ScratchFolder scratch("配置中文");
    std::wstring content = L"\xFEFF[\u5b89\u88c5]\r\n\u76ee\u5f55=C:\\\u7a0b\u5e8f\\zorv\r\n";
    std::string bytes(reinterpret_cast<const char*>(content.data()), content.size() * sizeof(wchar_t));
    std::string ini = scratch / "设置.ini";
    ASSERT_TRUE(PutFile(ini, bytes));
    EXPECT_EQ(ReadIniValue(ini, "安装", "目录"), "C:\\程序\\zorv");
}

TEST(ReadIniValue, LongValuesAreCutAtTheBuffer) {
    ScratchFolder scratch("配置长值");
    std::string ini = scratch / "long.ini";
    ASSERT_TRUE(PutFile(ini, "[a]\r\nk=" + std::string(12000, 'v') + "\r\n"));
    EXPECT_EQ(ReadIniValue(ini, "a", "k"), std::string(10239, 'v'));
}

}  // namespace
}  // namespace zorv
