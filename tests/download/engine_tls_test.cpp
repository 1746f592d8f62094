// The engine over HTTPS, end to end against the real nginx of the ctest
// fixture tls_servers (certificates of a CA made at test time): a file by
// one and by four connections, a stopped task continued, redirects between
// http and https, a CONNECT proxy, the servers whose certificate or protocol
// is refused (the task ends with the reason, nothing is retried), and a
// stream cut or reset mid-body that the reconnect completes.
#include <string>

#include "download/segments.h"
#include "engine_harness.h"
#include "support/cut_relay.h"
#include "support/tls_servers.h"

namespace zorv::download::testing {
namespace {

using zorv::testing::CutRelay;
using zorv::testing::Redirect;
using zorv::testing::TheTlsServers;
using zorv::testing::TlsFileByte;

class EngineTls : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_NE(TheTlsServers().Port("good"), 0) << "no server list: run under the tls_servers fixture";
    }
    static std::string Url(uint16_t port, const std::string& path = "/file.bin") {
        return "https://localhost:" + std::to_string(port) + path;
    }
    static std::string GoodUrl(const std::string& path = "/file.bin") { return Url(TheTlsServers().Port("good"), path); }
};

// The served file, byte for byte; reported by the first difference.
::testing::AssertionResult IsTheServedFile(const std::string& bytes) {
    if (static_cast<int64_t>(bytes.size()) != TheTlsServers().fileSize)
        return ::testing::AssertionFailure() << bytes.size() << " bytes instead of " << TheTlsServers().fileSize;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] != TlsFileByte(static_cast<int64_t>(i))) return ::testing::AssertionFailure() << "differs at " << i;
    return ::testing::AssertionSuccess();
}

int CountTexts(Recorder& recorder, int32_t level, const std::string& part) {
    int count = 0;
    for (const std::string& text : recorder.Texts(level)) count += text.find(part) != std::string::npos;
    return count;
}

int SecureSessions(Recorder& recorder) { return CountTexts(recorder, LEVEL_INFO, "安全连接已建立 (TLS 1."); }

class EngineTlsConnections : public EngineTls, public ::testing::WithParamInterface<int> {};

// Every connection has its own TLS session; the further ones ask for their
// segments with range requests inside it.
TEST_P(EngineTlsConnections, FetchTheIdenticalFile) {
    const int connections = GetParam();
    ScratchFolder folder;
    Recorder recorder;
    ASSERT_TRUE(RunTask(recorder, GoodUrl(), folder.File("file.bin"),
                        [&](TaskParam& p) { p.ConnectionCount = connections; }));
    EXPECT_TRUE(IsTheServedFile(ReadWhole(folder.File("file.bin"))));
    EXPECT_EQ(recorder.Count(EV_CONNECTION_STARTED), connections);
    EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 0);
    EXPECT_TRUE(recorder.Texts(LEVEL_ERROR).empty());
    // Each request in a session of its own; all but the first ask for a
    // range (a connection done with its segment may take one more, which
    // a connection that started late would have had).
    const int requests = CountTexts(recorder, LEVEL_SENT, "GET /file.bin HTTP/1.1\r\n");
    EXPECT_GE(requests, connections);
    EXPECT_EQ(SecureSessions(recorder), requests);
    EXPECT_EQ(CountTexts(recorder, LEVEL_SENT, "\r\nRange: bytes="), requests - 1);
    EXPECT_EQ(recorder.Last(EV_TASK_FINISHED).value1, TheTlsServers().fileSize);
}
INSTANTIATE_TEST_SUITE_P(OneAndFour, EngineTlsConnections, ::testing::Values(1, 4));

// A task stopped half way continues over TLS from its resume data, directly
// and through a CONNECT proxy (whose tunnel the record keeps).
class StoppedOverTls : public EngineTls, public ::testing::WithParamInterface<bool> {};

TEST_P(StoppedOverTls, ContinuesToTheIdenticalFile) {
    const bool proxied = GetParam();
    CutRelay proxy(TheTlsServers().Port("good"), CutRelay::Options{-1, CutRelay::Cut::kNone, true});
    ScratchFolder folder;
    const std::string target = folder.File("file.bin");
    Recorder first;
    std::string resume;
    {
        TaskParam param = ParamFor(GoodUrl(), target, first);
        param.ConnectionCount = 2;
        param.SpeedLimit = 256 * 1024;  // passes of a second: the stop comes long before the end
        if (proxied) param.Proxy = proxy.HostPort();
        Download download;
        ASSERT_TRUE(StartTask(download, param));
        ASSERT_TRUE(first.WaitForBytes(1));
        ASSERT_TRUE(StopTaskKeepResume(download, resume));
        ASSERT_TRUE(first.WaitFinished());
    }
    std::optional<ResumeRecord> record = ReadResumeData(resume);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->protocol, kHttps);
    EXPECT_EQ(record->tunnel, proxied);
    ASSERT_LT(DoneSum(record->table), TheTlsServers().fileSize);
    const size_t tunnelsBefore = proxy.ProxyRequests().size();

    Recorder second;
    TaskParam param = ParamFor("", target, second);
    Download download;
    ASSERT_TRUE(StartTaskFromResume(download, param, resume));
    ASSERT_TRUE(second.WaitFinished());
    EXPECT_TRUE(IsTheServedFile(ReadWhole(target)));
    // Every request of the continued task is a range request in a session
    // of its own, one at least for each unfinished segment.
    const int continued = CountTexts(second, LEVEL_SENT, "\r\nRange: bytes=");
    EXPECT_GE(continued, UnfinishedCount(record->table));
    EXPECT_EQ(SecureSessions(second), continued);
    if (proxied) {
        ASSERT_EQ(proxy.ProxyRequests().size(), tunnelsBefore + static_cast<size_t>(continued));
        for (const std::string& request : proxy.ProxyRequests())
            EXPECT_EQ(request.rfind("CONNECT localhost:" + std::to_string(TheTlsServers().Port("good")) +
                                        " HTTP/1.1\r\n",
                                    0),
                      0u)
                << request;
    } else {
        EXPECT_EQ(proxy.Clients(), 0);
    }
}
INSTANTIATE_TEST_SUITE_P(DirectAndThroughAProxy, StoppedOverTls, ::testing::Bool());

// http -> https -> http -> https: each Location switches the scheme, and
// the last answer comes over TLS.
TEST_F(EngineTls, RedirectsSwitchBetweenHttpAndHttps) {
    HttpTestServer plain;
    const std::string back = "/to-port/" + std::to_string(plain.Port()) + "/back";
    plain.Route("/start", Redirect(302, GoodUrl(back)));
    plain.Route("/back", Redirect(301, GoodUrl()));
    ScratchFolder folder;
    Recorder recorder;
    ASSERT_TRUE(RunTask(recorder, plain.Url("/start"), folder.File("file.bin")));
    EXPECT_TRUE(IsTheServedFile(ReadWhole(folder.File("file.bin"))));
    EXPECT_EQ(plain.RequestsFor("/start").size(), 1u);
    EXPECT_EQ(plain.RequestsFor("/back").size(), 1u);
    EXPECT_EQ(SecureSessions(recorder), 2);
    EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 0);
}

// Whatever the reason, a server that is not to be trusted ends the task
// with the reason at once: no reconnect, no file; so does a proxy that
// refuses the tunnel.
TEST_F(EngineTls, RefusedServersAndTunnelsEndTheTaskWithTheirReasonWithoutRetry) {
    CutRelay refusing(TheTlsServers().Port("good"), CutRelay::Options{-1, CutRelay::Cut::kNone, true, 407});
    const struct {
        const char* server;
        std::string text;
        bool throughRefusingProxy;
    } cases[] = {
        {"untrusted", "服务器 [localhost] 的证书颁发机构不受信任", false},
        {"wronghost", "服务器 [localhost] 的证书不是颁发给该服务器名称的", false},
        {"expired", "服务器 [localhost] 的证书已过期或尚未生效", false},
        {"tls10", "服务器 [localhost] 不支持 TLS 1.2 或更高版本", false},
        {"good", "代理服务器拒绝连接 [localhost:" + std::to_string(TheTlsServers().Port("good")) + "], 返回号[407]", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server);
        ScratchFolder folder;
        Recorder recorder;
        ASSERT_TRUE(RunTask(recorder, Url(TheTlsServers().Port(c.server)), folder.File("file.bin"), [&](TaskParam& p) {
            if (c.throughRefusingProxy) p.Proxy = refusing.HostPort();
        }));
        EXPECT_TRUE(recorder.HasStatus(c.text, LEVEL_ERROR)) << ::testing::PrintToString(recorder.Texts(LEVEL_ERROR));
        EXPECT_EQ(CountTexts(recorder, LEVEL_INFO, "后重试"), 0) << "retried";
        EXPECT_EQ(recorder.Count(EV_CONNECTION_STARTED), 1);
        EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 1);
        EXPECT_EQ(recorder.Count(EV_FILE_LENGTH), 0);
        EXPECT_FALSE(std::filesystem::exists(folder.File("file.bin")));
    }
    EXPECT_EQ(refusing.ProxyRequests().size(), 1u);
}

// The first stream is cut (or reset) well inside the body; the reconnect
// asks for the rest with a range request in a new TLS session.
TEST_F(EngineTls, ACutOrAResetMidBodyIsCompletedByTheReconnect) {
    for (CutRelay::Cut cut : {CutRelay::Cut::kClose, CutRelay::Cut::kReset}) {
        SCOPED_TRACE(cut == CutRelay::Cut::kClose ? "close" : "reset");
        CutRelay relay(TheTlsServers().Port("good"), 300 * 1024, cut);
        ASSERT_TRUE(relay.Listening());
        ScratchFolder folder;
        Recorder recorder;
        ASSERT_TRUE(RunTask(recorder, Url(relay.Port()), folder.File("file.bin")));
        EXPECT_TRUE(relay.CutMade());
        EXPECT_TRUE(IsTheServedFile(ReadWhole(folder.File("file.bin"))));
        EXPECT_EQ(relay.Clients(), 2);
        EXPECT_EQ(SecureSessions(recorder), 2);
        EXPECT_EQ(CountTexts(recorder, LEVEL_SENT, "\r\nRange: bytes="), 1);
        EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 0);
    }
}

}  // namespace
}  // namespace zorv::download::testing
