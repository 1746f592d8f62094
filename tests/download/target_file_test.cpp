// The target file of a task: created at its full length, never over an
// existing file, reopened for a continued task only at its exact length, and
// written at any offset only within its length.
#include "download/os_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace zorv::download::os {
namespace {

class TargetFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("zorv_target_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    std::filesystem::path folder_;
};

TEST_F(TargetFileTest, BlocksLandAtTheirOffsetsInAnyOrderAndTheRestStaysZero) {
    std::string path = Path("out.bin");
    {
        std::unique_ptr<TargetFile> file = CreateTargetFile(path, 100000);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->Length(), 100000);
        EXPECT_EQ(std::filesystem::file_size(path), 100000u);  // full length at once
        std::string tail(20480, 't');
        std::string head(50000, 'h');
        ASSERT_TRUE(file->WriteAt(100000 - 20480, tail.data(), tail.size()));
        ASSERT_TRUE(file->WriteAt(0, head.data(), head.size()));
        ASSERT_TRUE(file->WriteAt(50000, "x", 1));
        ASSERT_TRUE(file->WriteAt(100000, "", 0));  // nothing at the very end is still inside
    }
    std::string bytes = Read(path);
    ASSERT_EQ(bytes.size(), 100000u);
    EXPECT_EQ(bytes.substr(0, 50000), std::string(50000, 'h'));
    EXPECT_EQ(bytes[50000], 'x');
    EXPECT_EQ(bytes.substr(50001, 100000 - 20480 - 50001), std::string(100000 - 20480 - 50001, '\0'));
    EXPECT_EQ(bytes.substr(100000 - 20480), std::string(20480, 't'));
}

TEST_F(TargetFileTest, WritesOutsideTheLengthAreRefusedAndChangeNothing) {
    std::string path = Path("small.bin");
    {
        std::unique_ptr<TargetFile> file = CreateTargetFile(path, 10);
        ASSERT_TRUE(file);
        EXPECT_FALSE(file->WriteAt(5, "abcdef", 6));  // one byte past the end
        EXPECT_FALSE(file->WriteAt(-1, "a", 1));
        EXPECT_FALSE(file->WriteAt(11, "", 0));
        EXPECT_FALSE(file->WriteAt(INT64_MAX, "a", 1));  // no wrap-around of offset + size
        EXPECT_TRUE(file->WriteAt(4, "abcdef", 6));
    }
    EXPECT_EQ(Read(path), std::string(4, '\0') + "abcdef");
}

TEST_F(TargetFileTest, AnExistingFileIsNeverReplacedAndAnEmptyLengthMakesAnEmptyFile) {
    std::string path = Path("there.bin");
    {
        std::ofstream(path, std::ios::binary) << "old";
    }
    EXPECT_FALSE(CreateTargetFile(path, 1000));
    EXPECT_EQ(Read(path), "old");
    EXPECT_EQ(ExistingFileSize(path), 3);

    EXPECT_TRUE(CreateTargetFile(Path("empty.bin"), 0));
    EXPECT_EQ(ExistingFileSize(Path("empty.bin")), 0);
    EXPECT_FALSE(CreateTargetFile(Path("empty.bin"), 0));
    EXPECT_FALSE(OpenTargetFile(Path("empty.bin"), 0));  // nothing to continue
    EXPECT_FALSE(CreateTargetFile(Path("missing-folder/x.bin"), 10));
    EXPECT_FALSE(ExistingFileSize(Path("missing-folder/x.bin")));
}

TEST_F(TargetFileTest, AnExistingFileIsContinuedInPlaceOnlyAtItsExactLength) {
    std::string path = Path("part.bin");
    {
        std::ofstream(path, std::ios::binary) << std::string(1000, 'a');
    }
    EXPECT_FALSE(OpenTargetFile(path, 999));
    EXPECT_FALSE(OpenTargetFile(path, 1001));
    EXPECT_FALSE(OpenTargetFile(path, 0));
    EXPECT_EQ(std::filesystem::file_size(path), 1000u);  // neither cut nor extended
    {
        std::unique_ptr<TargetFile> file = OpenTargetFile(path, 1000);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->Length(), 1000);
        ASSERT_TRUE(file->WriteAt(500, "bcd", 3));
        EXPECT_FALSE(file->WriteAt(999, "xy", 2));
    }
    EXPECT_EQ(Read(path), std::string(500, 'a') + "bcd" + std::string(497, 'a'));  // the rest is kept

    EXPECT_FALSE(OpenTargetFile(Path("missing.bin"), 10));
    EXPECT_FALSE(std::filesystem::exists(Path("missing.bin")));
    std::filesystem::create_directory(Path("folder"));
    EXPECT_FALSE(OpenTargetFile(Path("folder"), 4096));
}

}  // namespace
}  // namespace zorv::download::os
