// The engine against servers that do not answer as asked: header names in
// any case, a length header of another name, connections reset in the
// middle, a head that trickles in, a body longer than its length.
#include <algorithm>

#include "engine_harness.h"

namespace zorv::download::testing {
namespace {

using zorv::testing::NameCase;
using zorv::testing::Redirect;

class EngineFaults : public EngineTest {};

class HeaderSpelling : public EngineTest, public ::testing::WithParamInterface<NameCase> {};

// A redirect, then a file fetched by three connections: the Location, the
// Content-Length and every Content-Range are spelt as the server likes.
TEST_P(HeaderSpelling, LengthRangesAndRedirectAreReadInAnyCase) {
    HttpTestServer server;
    const std::string body = Pattern(200000);
    Reply moved = Redirect(302, "/files/b.bin");
    moved.nameCase = GetParam();
    Reply file = Body(body);
    file.nameCase = GetParam();
    server.Route("/a.bin", moved);
    server.Route("/files/b.bin", file);
    ScratchFolder folder;
    Recorder recorder;
    ASSERT_TRUE(RunTask(recorder, server.Url("/a.bin"), folder.File("b.bin"),
                        [](TaskParam& p) { p.ConnectionCount = 3; }));
    EXPECT_TRUE(SameBytes(ReadWhole(folder.File("b.bin")), body));
    EXPECT_EQ(recorder.Last(EV_FILE_LENGTH).value1, 200000);
    EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 0);
    std::vector<Request> requests = server.Requests();
    ASSERT_GE(requests.size(), 4u);  // the redirect, the file, two ranges at least
    EXPECT_EQ(requests[1].path, "/files/b.bin");
    for (size_t i = 2; i < requests.size(); ++i) EXPECT_TRUE(requests[i].HasHeader("Range")) << i;
    // The heads really came spelt that way.
    std::vector<std::string> heads = recorder.Texts(LEVEL_RECEIVED);
    std::string expected = GetParam() == NameCase::Lower ? "content-range: bytes" : "cOnTeNt-RaNgE: bytes";
    EXPECT_TRUE(std::any_of(heads.begin(), heads.end(),
                            [&](const std::string& head) { return head.find(expected) != std::string::npos; }));
}

INSTANTIATE_TEST_SUITE_P(Spellings, HeaderSpelling, ::testing::Values(NameCase::Lower, NameCase::Mixed),
                         [](const ::testing::TestParamInfo<NameCase>& info) {
                             return info.param == NameCase::Lower ? "Lower" : "Mixed";
                         });

TEST_F(EngineFaults, LengthHeaderOfAnotherNameIsNotTheLength) {
    HttpTestServer server;
    Reply reply;
    reply.raw = "HTTP/1.1 200 OK\r\nX-Original-Content-Length: 999\r\ncontent-length: 5000\r\n\r\n" + Pattern(5000);
    server.Route("/x.bin", reply);
    ScratchFolder folder;
    Recorder recorder;
    ASSERT_TRUE(RunTask(recorder, server.Url("/x.bin"), folder.File("x.bin")));
    EXPECT_EQ(recorder.Last(EV_FILE_LENGTH).value1, 5000);
    EXPECT_TRUE(SameBytes(ReadWhole(folder.File("x.bin")), Pattern(5000)));
}

TEST_F(EngineFaults, ResetsUntilTheAttemptsRunOutFailTheConnectionAndKeepWhatCame) {
    SetRetryPolicy(RetryPolicy{2, 20});
    HttpTestServer server;
    const std::string body = Pattern(200000);
    Reply reset = Body(body);
    reset.closeAtBodyByte = 20000;  // of every answer, the ranged ones too
    reset.closeWithReset = true;
    server.Route("/rst.bin", reset);
    ScratchFolder folder;
    Recorder recorder;
    ASSERT_TRUE(RunTask(recorder, server.Url("/rst.bin"), folder.File("rst.bin")));
    EXPECT_EQ(server.RequestCount(), 3u);
    std::vector<std::string> infos = recorder.Texts(LEVEL_INFO);
    EXPECT_EQ(std::count(infos.begin(), infos.end(), "等待0秒后重试"), 2);
    EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 1);
    EXPECT_EQ(recorder.Count(EV_TASK_FINISHED), 1);
    size_t done = static_cast<size_t>(recorder.Last(EV_CONNECTION_FAILED).value1);
    EXPECT_LE(done, 60000u);
    std::string file = ReadWhole(folder.File("rst.bin"));
    ASSERT_EQ(file.size(), body.size());
    EXPECT_TRUE(SameBytes(file.substr(0, done), body.substr(0, done)));
    EXPECT_TRUE(SameBytes(file.substr(done), std::string(body.size() - done, '\0')));
}

// Every byte of the head a quarter of a second after the one before: no
// silence reaches the time-out, the whole head would take half a minute.
TEST_F(EngineFaults, HeadThatTricklesInIsEndedByTheTimeOutAndAskedForAgain) {
    HttpTestServer server;
    const std::string body = Pattern(5000);
    Reply slow = Body(body);
    slow.headers = {"X-Padding: " + std::string(40, 'p')};
    for (size_t cut = 1; cut < 200; ++cut) slow.headCuts.push_back(cut);
    slow.pieceGapMs = 250;
    server.RouteOnce("/slow.bin", slow);
    server.Route("/slow.bin", Body(body));
    ScratchFolder folder;
    Recorder recorder;
    ASSERT_TRUE(RunTask(recorder, server.Url("/slow.bin"), folder.File("slow.bin"),
                        [](TaskParam& p) { p.ReceiveTimeoutMs = 1000; }));
    std::vector<Request> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[1].HasHeader("Range"));  // no file yet: the first request again
    EXPECT_TRUE(recorder.HasStatus("接收数据超时", LEVEL_ERROR));
    EXPECT_TRUE(SameBytes(ReadWhole(folder.File("slow.bin")), body));
    EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 0);
}

// The extra bytes come with the head for the short answer, in later passes
// for the long one.
TEST_F(EngineFaults, BodyLongerThanItsLengthEndsAtTheLength) {
    for (size_t length : {size_t{1000}, size_t{50000}}) {
        HttpTestServer server;
        Reply reply;
        reply.raw = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n" + Pattern(length + 30000);
        server.Route("/more.bin", reply);
        ScratchFolder folder;
        Recorder recorder;
        ASSERT_TRUE(RunTask(recorder, server.Url("/more.bin"), folder.File("more.bin")));
        EXPECT_TRUE(SameBytes(ReadWhole(folder.File("more.bin")), Pattern(length))) << length;
        EXPECT_EQ(recorder.BytesReported(), static_cast<int64_t>(length)) << length;
        EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 0) << length;
        EXPECT_EQ(recorder.Last(EV_TASK_FINISHED).value1, static_cast<int32_t>(length)) << length;
    }
}

}  // namespace
}  // namespace zorv::download::testing
