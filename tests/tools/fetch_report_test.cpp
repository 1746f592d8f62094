// What zorv-fetch prints and how it judges the end of a task.
#include <gtest/gtest.h>

#include <thread>

#include "download/download.h"
#include "fetch_report.h"
#include "terminal.h"

namespace zorv::fetch {
namespace {

TEST(FetchReport, StatusLines) {
    EXPECT_EQ(StatusLine(1, "connected", LEVEL_INFO), "status info #1: connected");
    EXPECT_EQ(StatusLine(2, "oops", LEVEL_ERROR), "status error #2: oops");
    EXPECT_EQ(StatusLine(0, "x", 0x1001), "status 4097 #0: x");
    // A request head: one block, lines indented, CR LF gone, no trailing blank lines.
    EXPECT_EQ(StatusLine(1, "GET /f HTTP/1.1\r\nHost: h\r\n\r\n", LEVEL_SENT),
              "status sent #1:\n  GET /f HTTP/1.1\n  Host: h");
    EXPECT_EQ(StatusLine(3, "HTTP/1.1 200 OK\r\n", LEVEL_RECEIVED), "status received #3: HTTP/1.1 200 OK");
}

TEST(FetchReport, EventLines) {
    EXPECT_EQ(EventLine(EV_FILE_LENGTH, 0, 1000, 0), "event FILE_LENGTH #0 value1=1000 value2=0");
    EXPECT_EQ(EventLine(EV_SEGMENT_STARTED, 2, 500, 1000), "event SEGMENT_STARTED #2 value1=500 value2=1000");
    EXPECT_EQ(EventLine(99, 1, -1, 0), "event EVENT_99 #1 value1=-1 value2=0");
    EXPECT_EQ(EventName(EV_TASK_FINISHED), "TASK_FINISHED");
    EXPECT_EQ(EventName(EV_TARGET_EXISTS), "TARGET_EXISTS");
}

TEST(FetchReport, ProgressAndDoneLines) {
    EXPECT_EQ(ProgressLine(500000, 2000000, 1000), "500000 / 2000000 bytes (25.0%), 0.50 MB/s");
    EXPECT_EQ(ProgressLine(1234, -1, 2000), "1234 bytes, 0.00 MB/s");
    EXPECT_EQ(ProgressLine(0, 10, 0), "0 / 10 bytes (0.0%), 0.00 MB/s");
    EXPECT_EQ(DoneLine(10000000, 2500), "done 10000000 bytes in 2.500 s, 4.00 MB/s");
    // A transfer faster than the clock's step is not divided by zero.
    EXPECT_EQ(DoneLine(1000, 0), "done 1000 bytes in 0.000 s, 1.00 MB/s");
}

TEST(FetchReport, ProgressAtMostOncePerInterval) {
    ProgressThrottle throttle(200);
    EXPECT_TRUE(throttle.Due(0));
    EXPECT_FALSE(throttle.Due(50));
    EXPECT_FALSE(throttle.Due(199));
    EXPECT_TRUE(throttle.Due(200));
    EXPECT_FALSE(throttle.Due(399));
    EXPECT_TRUE(throttle.Due(1000));
}

TEST(FetchReport, SuccessNeedsEveryByteOfAKnownLength) {
    TaskRecord record;
    record.OnEvent(EV_FILE_LENGTH, 1, 300, 0);
    record.OnEvent(EV_BYTES_RECEIVED, 1, 100, 0);
    record.OnEvent(EV_BYTES_RECEIVED, 2, 200, 0);
    EXPECT_FALSE(record.Finished());
    EXPECT_EQ(record.Conclude(10).line, "failed: the task did not finish");
    record.OnEvent(EV_TASK_FINISHED, 0, 300, 0);
    Verdict verdict = record.Conclude(1000);
    EXPECT_TRUE(verdict.success);
    EXPECT_EQ(verdict.line, "done 300 bytes in 1.000 s, 0.00 MB/s");
}

TEST(FetchReport, FinishedShortOfTheLengthIsAFailure) {
    // The engine reports the total length at the end even when a connection
    // failed; the bytes actually received decide.
    TaskRecord record;
    record.OnEvent(EV_FILE_LENGTH, 1, 1000, 0);
    record.OnEvent(EV_BYTES_RECEIVED, 1, 400, 0);
    record.OnStatus(1, "connection lost", LEVEL_ERROR);
    record.OnStatus(1, "reconnecting", LEVEL_INFO);
    record.OnEvent(EV_TASK_FINISHED, 0, 1000, 0);
    Verdict verdict = record.Conclude(5);
    EXPECT_FALSE(verdict.success);
    EXPECT_EQ(verdict.line, "failed: received 400 of 1000 bytes (last error: connection lost)");
}

TEST(FetchReport, OtherFailures) {
    TaskRecord noLength;
    noLength.OnStatus(1, "no size", LEVEL_ERROR);
    noLength.OnEvent(EV_TASK_FINISHED, 0, 0, 0);
    EXPECT_EQ(noLength.Conclude(1).line, "failed: no file length (last error: no size)");

    TaskRecord empty;  // an empty file whose length came is complete
    empty.OnEvent(EV_FILE_LENGTH, 1, 0, 0);
    empty.OnEvent(EV_TASK_FINISHED, 0, 0, 0);
    EXPECT_EQ(empty.Conclude(1).line, "done 0 bytes in 0.001 s, 0.00 MB/s");

    TaskRecord refused;
    refused.MarkStartFailed();
    EXPECT_FALSE(refused.Conclude(0).success);
    EXPECT_EQ(refused.Conclude(0).line.rfind("failed: the task did not start", 0), 0u);

    TaskRecord refusedResume;
    refusedResume.MarkStartFailed("resume data refused");
    EXPECT_EQ(refusedResume.Conclude(0).line, "failed: the task did not start (resume data refused)");

    // A continued task: the bytes done before count towards the length.
    TaskRecord continued;
    continued.StartFrom(600);
    continued.OnEvent(EV_FILE_LENGTH, 0, 1000, 0);
    continued.OnEvent(EV_BYTES_RECEIVED, 1, 400, 0);
    continued.OnEvent(EV_TASK_FINISHED, 0, 1000, 0);
    EXPECT_TRUE(continued.Conclude(1000).success) << continued.Conclude(1000).line;
    EXPECT_EQ(continued.Bytes(), 1000);
    TaskRecord continuedShort;
    continuedShort.StartFrom(600);
    continuedShort.OnEvent(EV_FILE_LENGTH, 0, 1000, 0);
    continuedShort.OnEvent(EV_BYTES_RECEIVED, 1, 399, 0);
    continuedShort.OnEvent(EV_TASK_FINISHED, 0, 1000, 0);
    EXPECT_EQ(continuedShort.Conclude(1).line, "failed: received 999 of 1000 bytes");

    TaskRecord exists;
    exists.OnEvent(EV_TARGET_EXISTS, 1, 77, 100);
    exists.OnEvent(EV_TASK_FINISHED, 0, 100, 0);
    EXPECT_EQ(exists.Conclude(1).line, "failed: the target exists already (77 bytes); not overwritten");

    TaskRecord stopped;
    stopped.OnEvent(EV_FILE_LENGTH, 1, 1000, 0);
    stopped.OnEvent(EV_BYTES_RECEIVED, 1, 250, 0);
    stopped.MarkStopped(300, "96 bytes of resume data in r.bin");
    stopped.OnEvent(EV_TASK_FINISHED, 0, 250, 0);
    EXPECT_EQ(stopped.Conclude(400).line,
              "failed: stopped after 300 ms with 250 of 1000 bytes; 96 bytes of resume data in r.bin");
}

TEST(FetchReport, WaitFinishedSeesTheEventFromAnotherThread) {
    TaskRecord record;
    EXPECT_FALSE(record.WaitFinished(1));
    std::thread master([&] { record.OnEvent(EV_TASK_FINISHED, 0, 0, 0); });
    EXPECT_TRUE(record.WaitFinished(10000));
    master.join();
    EXPECT_TRUE(record.Finished());
}

#ifndef _WIN32
TEST(FetchReport, EngineTextsShownAsUtf8) {
    // The literal is compiled to GBK bytes, as the engine's texts are.
    EXPECT_EQ(TerminalText("正在连接 [1.2.3.4:80]"), reinterpret_cast<const char*>(u8"正在连接 [1.2.3.4:80]"));
    EXPECT_EQ(TerminalText("plain"), "plain");
    // A lead byte without its trail byte is shown as "?".
    EXPECT_EQ(TerminalText(std::string("ab\xD5", 3)), "ab?");
}
#endif

}  // namespace
}  // namespace zorv::fetch
