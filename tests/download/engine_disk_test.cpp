// The target file on a disk without room or without write access: the task
// fails with its status text, and nothing crashes.
#include "engine_harness.h"
#include "small_drive.h"

namespace zorv::download::testing {
namespace {

const char kCreateFailed[] = "创建文件错误，超出最大支持下载长度或磁盘不可写或磁盘没有空间或同名文件已存在";

class EngineDisk : public EngineTest {};

TEST_F(EngineDisk, FullDiskFailsTheTaskWithItsStatusText) {
    SmallDrive drive(SmallDrive::kTiny);
    if (!drive.Ready()) GTEST_SKIP() << drive.Why();
    HttpTestServer server;
    const std::string body = Pattern(8 * SmallDrive::kTinyBytes);
    server.Route("/big.bin", Body(body));
    Recorder recorder;
    ASSERT_TRUE(RunTask(recorder, server.Url("/big.bin"), drive.File("big.bin")));
    EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 1);
    EXPECT_EQ(recorder.Count(EV_TASK_FINISHED), 1);
    EXPECT_EQ(server.RequestCount(), 1u);  // a full disk is not retried
    // A tmpfs leaves the file sparse until it is written: the write that finds
    // no room fails, and what was written before it stays.
    EXPECT_TRUE(recorder.HasStatus("写入文件错误，磁盘不可写或磁盘没有空间", LEVEL_ERROR));
    int64_t reached = recorder.Last(EV_CONNECTION_FAILED).value1;
    EXPECT_GT(reached, 0);
    EXPECT_LE(reached, SmallDrive::kTinyBytes);
    // Only what is in the file is reported: the bytes of the write that
    // found no room never add up to the length.
    EXPECT_EQ(recorder.BytesReported(), reached);
    std::string file = ReadWhole(drive.File("big.bin"));
    EXPECT_TRUE(SameBytes(file.substr(0, static_cast<size_t>(reached)), body.substr(0, static_cast<size_t>(reached))));
}

TEST_F(EngineDisk, ReadOnlyFolderFailsTheCreationWithItsStatusText) {
    SmallDrive drive(SmallDrive::kReadOnly);
    if (!drive.Ready()) GTEST_SKIP() << drive.Why();
    HttpTestServer server;
    server.Route("/x.bin", Body(Pattern(30000)));
    Recorder recorder;
    ASSERT_TRUE(RunTask(recorder, server.Url("/x.bin"), drive.File("x.bin")));
    EXPECT_TRUE(recorder.HasStatus(kCreateFailed, LEVEL_ERROR));
    EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 1);
    EXPECT_EQ(recorder.Count(EV_TASK_FINISHED), 1);
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_FALSE(std::filesystem::exists(drive.File("x.bin")));
}

}  // namespace
}  // namespace zorv::download::testing
