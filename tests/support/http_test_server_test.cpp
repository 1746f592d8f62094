// The scripted loopback server that the download tests rely on, driven by a
// raw socket client so that every byte on the wire is checked.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/http_test_server.h"
#include "support/raw_client.h"

namespace zorv::testing {
namespace {

std::string Get(const std::string& target, const std::string& more = std::string()) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + more + "Connection: close\r\n\r\n";
}

std::string BodyOf(const std::string& response) {
    size_t end = response.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : response.substr(end + 4);
}

std::string HeadOf(const std::string& response) {
    size_t end = response.find("\r\n\r\n");
    return end == std::string::npos ? response : response.substr(0, end + 4);
}

std::string Numbers(size_t length) {
    std::string text;
    for (size_t i = 0; text.size() < length; ++i) text += std::to_string(i) + ",";
    text.resize(length);
    return text;
}

TEST(HttpTestServerParsing, ByteRanges) {
    int64_t first = -1;
    int64_t last = -1;
    EXPECT_TRUE(ParseByteRange("bytes=3-", 10, first, last));
    EXPECT_EQ(first, 3);
    EXPECT_EQ(last, 9);
    EXPECT_TRUE(ParseByteRange("bytes=2-5", 10, first, last));
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 5);
    EXPECT_TRUE(ParseByteRange("bytes=8-100", 10, first, last));  // end cut to the body
    EXPECT_EQ(last, 9);
    EXPECT_FALSE(ParseByteRange("bytes=10-", 10, first, last));   // starts at the end
    EXPECT_FALSE(ParseByteRange("bytes=5-2", 10, first, last));
    EXPECT_FALSE(ParseByteRange("bytes=-5", 10, first, last));    // suffix form not offered
    EXPECT_FALSE(ParseByteRange("items=1-2", 10, first, last));
    EXPECT_FALSE(ParseByteRange("bytes=1x-", 10, first, last));
}

TEST(HttpTestServerParsing, RequestHeads) {
    Request request;
    ASSERT_TRUE(ParseRequestHead("GET http://Host.example:81/a/b.exe?x=1 HTTP/1.1\r\nHost: h\r\n"
                                 "range:  bytes=1-\r\nX-Empty:\r\n\r\n",
                                 request));
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "http://Host.example:81/a/b.exe?x=1");
    EXPECT_EQ(request.path, "/a/b.exe?x=1");
    EXPECT_EQ(request.version, "HTTP/1.1");
    EXPECT_EQ(request.Header("Range"), "bytes=1-");
    EXPECT_TRUE(request.HasHeader("x-empty"));
    EXPECT_EQ(request.Header("X-Empty"), "");
    EXPECT_FALSE(request.HasHeader("Cookie"));

    ASSERT_TRUE(ParseRequestHead("GET http://host HTTP/1.0\r\n\r\n", request));
    EXPECT_EQ(request.path, "/");
    EXPECT_FALSE(ParseRequestHead("GET /x\r\n\r\n", request));
    EXPECT_FALSE(ParseRequestHead("GET /x HTTP/1.1\r\nno colon here\r\n\r\n", request));
}

TEST(HttpTestServer, FixedBodyAndExactRecord) {
    HttpTestServer server;
    ASSERT_TRUE(server.Listening());
    ASSERT_NE(server.Port(), 0);
    server.Route("/file.bin", Body("hello body"));
    std::string request = "GET /file.bin HTTP/1.1\r\nHost: " + server.HostPort() +
                          "\r\nAccept: */*\r\nConnection: close\r\n\r\n";
    std::string response = Exchange(server.Port(), request);
    EXPECT_EQ(response,
              "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n"
              "hello body");
    ASSERT_EQ(server.RawRequests(), std::vector<std::string>{request});
    EXPECT_EQ(server.Requests()[0].Header("Host"), server.HostPort());
    EXPECT_EQ(server.Url("/x"), "http://127.0.0.1:" + std::to_string(server.Port()) + "/x");
}

TEST(HttpTestServer, UnknownTargetsAndErrorStatuses) {
    HttpTestServer server;
    server.Route("/gone", Status(403));
    server.Route("/broken", Status(500, "oops"));
    server.Route("/bad", Status(400));
    EXPECT_EQ(HeadOf(Exchange(server.Port(), Get("/nothing-here"))).substr(0, 22), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(HeadOf(Exchange(server.Port(), Get("/gone"))).substr(0, 22), "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(HeadOf(Exchange(server.Port(), Get("/bad"))).substr(0, 24), "HTTP/1.1 400 Bad Request");
    std::string broken = Exchange(server.Port(), Get("/broken"));
    EXPECT_EQ(broken.substr(0, 34), "HTTP/1.1 500 Internal Server Error");
    EXPECT_EQ(BodyOf(broken), "oops");
    // A request that is no request gets 400 and the connection closes.
    EXPECT_EQ(HeadOf(Exchange(server.Port(), "nonsense\r\n\r\n")).substr(0, 24), "HTTP/1.1 400 Bad Request");
}

TEST(HttpTestServer, RangesAnsweredWith206) {
    HttpTestServer server;
    server.Route("/r", Body("0123456789"));
    std::string open = Exchange(server.Port(), Get("/r", "Range: bytes=3-\r\n"));
    EXPECT_EQ(HeadOf(open),
              "HTTP/1.1 206 Partial Content\r\nContent-Length: 7\r\nContent-Range: bytes 3-9/10\r\n"
              "Accept-Ranges: bytes\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(BodyOf(open), "3456789");
    std::string closed = Exchange(server.Port(), Get("/r", "Range: bytes=2-5\r\n"));
    EXPECT_NE(closed.find("Content-Range: bytes 2-5/10\r\n"), std::string::npos);
    EXPECT_EQ(BodyOf(closed), "2345");
    std::string beyond = Exchange(server.Port(), Get("/r", "Range: bytes=10-\r\n"));
    EXPECT_EQ(beyond.substr(0, 12), "HTTP/1.1 416");
    EXPECT_NE(beyond.find("Content-Range: bytes */10\r\n"), std::string::npos);
    EXPECT_EQ(BodyOf(beyond), "");
}

TEST(HttpTestServer, IgnoredRangeGivesWholeBody) {
    HttpTestServer server;
    Reply reply = Body("0123456789");
    reply.ignoreRange = true;
    server.Route("/r", reply);
    std::string response = Exchange(server.Port(), Get("/r", "Range: bytes=4-\r\n"));
    EXPECT_EQ(response.substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_EQ(response.find("Content-Range"), std::string::npos);
    EXPECT_NE(response.find("Content-Length: 10\r\n"), std::string::npos);
    EXPECT_EQ(BodyOf(response), "0123456789");
}

TEST(HttpTestServer, BodyWithoutLengthAndChunked) {
    HttpTestServer server;
    Reply plain = Body("until the close");
    plain.framing = Framing::CloseDelimited;
    server.Route("/plain", plain);
    Reply chunked = Body("abcdefghij");
    chunked.framing = Framing::Chunked;
    chunked.chunkSize = 4;
    server.Route("/chunked", chunked);

    std::string first = Exchange(server.Port(), Get("/plain"));
    EXPECT_EQ(first.find("Content-Length"), std::string::npos);
    EXPECT_EQ(BodyOf(first), "until the close");

    std::string second = Exchange(server.Port(), Get("/chunked", "Range: bytes=2-\r\n"));
    EXPECT_EQ(second.substr(0, 15), "HTTP/1.1 200 OK");  // chunked answers ignore ranges
    EXPECT_NE(second.find("Transfer-Encoding: chunked\r\n"), std::string::npos);
    EXPECT_EQ(second.find("Content-Length"), std::string::npos);
    EXPECT_EQ(BodyOf(second), "4\r\nabcd\r\n4\r\nefgh\r\n2\r\nij\r\n0\r\n\r\n");
}

TEST(HttpTestServer, RedirectsCookiesAndOneShotAnswers) {
    HttpTestServer server;
    server.Route("/dir/a.exe", Redirect(302, "b.exe", {"Set-Cookie: id=42; path=/"}));
    server.Route("/loop1", Redirect(301, server.Url("/loop2")));
    server.Route("/loop2", Redirect(301, server.Url("/loop1")));
    server.RouteOnce("/flaky", Status(500));
    server.RouteOnce("/flaky", Redirect(302, "/elsewhere"));
    server.Route("/flaky", Body("finally"));

    std::string relative = Exchange(server.Port(), Get("/dir/a.exe"));
    EXPECT_EQ(relative,
              "HTTP/1.1 302 Found\r\nContent-Length: 0\r\nLocation: b.exe\r\nSet-Cookie: id=42; path=/\r\n"
              "Connection: close\r\n\r\n");
    EXPECT_NE(Exchange(server.Port(), Get("/loop1")).find("Location: " + server.Url("/loop2") + "\r\n"),
              std::string::npos);
    EXPECT_NE(Exchange(server.Port(), Get("/loop2")).find("Location: " + server.Url("/loop1") + "\r\n"),
              std::string::npos);

    EXPECT_EQ(Exchange(server.Port(), Get("/flaky")).substr(0, 12), "HTTP/1.1 500");
    EXPECT_EQ(Exchange(server.Port(), Get("/flaky")).substr(0, 12), "HTTP/1.1 302");
    EXPECT_EQ(BodyOf(Exchange(server.Port(), Get("/flaky"))), "finally");
    EXPECT_EQ(BodyOf(Exchange(server.Port(), Get("/flaky"))), "finally");
    EXPECT_EQ(server.RequestsFor("/flaky").size(), 4u);
}

TEST(HttpTestServer, ProxyRequestsKeepTheirAbsoluteTarget) {
    HttpTestServer server;
    server.Route("/file", Body("by path"));
    server.Route("http://special.invalid/file", Body("by url"));
    std::string proxied = "GET http://mirror.invalid/file HTTP/1.1\r\nHost: mirror.invalid\r\n"
                          "User-Agent: t\r\nProxy-Connection: Keep-Alive\r\n\r\n";
    RawClient client(server.Port());
    ASSERT_TRUE(client.Send(proxied));
    // The client asked to keep the connection: the answer ends by its length.
    std::string expected = "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nAccept-Ranges: bytes\r\n"
                           "Connection: keep-alive\r\n\r\nby path";
    EXPECT_EQ(client.ReadExactly(expected.size(), 5000), expected);
    EXPECT_EQ(BodyOf(Exchange(server.Port(), Get("http://special.invalid/file"))), "by url");
    ASSERT_TRUE(server.WaitForRequests(2, 5000));
    std::vector<Request> requests = server.Requests();
    EXPECT_EQ(requests[0].raw, proxied);
    EXPECT_EQ(requests[0].target, "http://mirror.invalid/file");
    EXPECT_EQ(requests[0].path, "/file");
}

TEST(HttpTestServer, KeepAliveServesSeveralRequestsOnOneConnection) {
    HttpTestServer server;
    server.Route("/a", Body("AA"));
    server.Route("/b", Body("BBB"));
    RawClient client(server.Port());
    std::string first = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";
    std::string second = "GET /b HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    ASSERT_TRUE(client.Send(first + second));  // both at once: split by the server
    std::string all = client.ReadAll(5000);
    EXPECT_NE(all.find("Connection: keep-alive\r\n\r\nAA"), std::string::npos);
    EXPECT_NE(all.find("Connection: close\r\n\r\nBBB"), std::string::npos);
    EXPECT_EQ(server.RawRequests(), (std::vector<std::string>{first, second}));
    EXPECT_EQ(server.ConnectionsAccepted(), 1);
}

TEST(HttpTestServer, RequestBodiesAreRecorded) {
    HttpTestServer server;
    server.Route("/up", Status(200, "ok"));
    std::string request = "POST /up HTTP/1.1\r\nContent-Length: 5\r\nConnection: close\r\n\r\nABCDE";
    EXPECT_EQ(BodyOf(Exchange(server.Port(), request)), "ok");
    EXPECT_EQ(server.RawRequests(), std::vector<std::string>{request});
}

TEST(HttpTestServer, HeadRequestHasNoBody) {
    HttpTestServer server;
    server.Route("/f", Body("12345"));
    std::string response = Exchange(server.Port(), "HEAD /f HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_NE(response.find("Content-Length: 5\r\n"), std::string::npos);
    EXPECT_EQ(BodyOf(response), "");
}

TEST(HttpTestServer, HeadSentInSeparatePieces) {
    HttpTestServer server;
    Reply reply = Body("xyz");
    reply.headCuts = {5, 20};
    reply.pieceGapMs = 400;  // long enough for the client to take each piece alone
    server.Route("/split", reply);
    RawClient client(server.Port());
    ASSERT_TRUE(client.Send(Get("/split")));
    EXPECT_EQ(client.ReadSome(5000), "HTTP/");
    EXPECT_EQ(client.ReadSome(5000), "1.1 200 OK\r\nCon");
    std::string rest = client.ReadAll(5000);
    EXPECT_EQ("HTTP/1.1 200 OK\r\nCon" + rest,
              "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\nxyz");
}

TEST(HttpTestServer, OversizedHeadAndRawAnswers) {
    HttpTestServer server;
    Reply big = Body("b");
    big.headers.push_back("X-Filler: " + std::string(5000, 'f'));
    server.Route("/big", big);
    Reply raw;
    raw.raw = "HTTP/1.0 200 OK\r\nContent-length: 2\r\n\r\nhi";
    server.Route("/raw", raw);
    std::string response = Exchange(server.Port(), Get("/big"));
    EXPECT_GT(HeadOf(response).size(), 5000u);
    EXPECT_EQ(BodyOf(response), "b");
    EXPECT_EQ(Exchange(server.Port(), Get("/raw")), raw.raw);
}

TEST(HttpTestServer, CloseInTheMiddleOfTheBody) {
    HttpTestServer server;
    std::string body = Numbers(100000);
    Reply reply = Body(body);
    reply.closeAtBodyByte = 70001;
    server.Route("/cut", reply);
    RawClient client(server.Port());
    ASSERT_TRUE(client.Send(Get("/cut")));
    bool closed = false;
    std::string response = client.ReadAll(5000, &closed);
    EXPECT_TRUE(closed);
    EXPECT_NE(response.find("Content-Length: 100000\r\n"), std::string::npos);
    EXPECT_EQ(BodyOf(response), body.substr(0, 70001));
}

TEST(HttpTestServer, PausesAndTrickleKeepTheBodyIntact) {
    HttpTestServer server;
    std::string body = Numbers(3000);
    Reply paused = Body(body);
    paused.pauseAtBodyByte = 1234;
    paused.pauseMs = 50;
    server.Route("/paused", paused);
    Reply slow = Body(body);
    slow.trickleBytes = 97;
    slow.trickleGapMs = 1;
    server.Route("/slow", slow);
    EXPECT_EQ(BodyOf(Exchange(server.Port(), Get("/paused"))), body);

    EXPECT_EQ(Exchange(server.Port(), Get("/slow")),
              "HTTP/1.1 200 OK\r\nContent-Length: 3000\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n" + body);
}

TEST(HttpTestServer, StallThenCloseSendsNothing) {
    HttpTestServer server;
    Reply reply = Body("never");
    reply.stallBeforeHeadMs = 100;
    reply.closeAfterStall = true;
    server.Route("/stall", reply);
    RawClient client(server.Port());
    ASSERT_TRUE(client.Send(Get("/stall")));
    bool closed = false;
    EXPECT_EQ(client.ReadAll(5000, &closed), "");
    EXPECT_TRUE(closed);
    EXPECT_EQ(server.RequestCount(), 1u);  // the request was read before the silence
}

TEST(HttpTestServer, SilentConnectionsAreNeverAnswered) {
    HttpTestServer server;
    server.Route("/x", Body("x"));
    server.SetSilentConnections(true, 200);
    RawClient client(server.Port());
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.Send(Get("/x")));
    bool closed = false;
    EXPECT_EQ(client.ReadAll(5000, &closed), "");
    EXPECT_TRUE(closed);
    EXPECT_EQ(server.RequestCount(), 0u);
    server.SetSilentConnections(false);
    EXPECT_EQ(BodyOf(Exchange(server.Port(), Get("/x"))), "x");
}

TEST(HttpTestServer, ManyConnectionsAtOnce) {
    constexpr int kClients = 8;
    HttpTestServer server;
    std::string body = Numbers(200000);
    // Each answer waits until every client's request is in, which only
    // happens when the server reads all connections at the same time.
    server.Route("/big", Handler([&](const Request&) {
                     Reply reply = Body(body);
                     if (!server.WaitForRequests(kClients, 20000)) reply = Status(500);
                     return reply;
                 }));
    std::vector<std::string> bodies(kClients);
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i] {
            std::string range = "Range: bytes=" + std::to_string(i * 25000) + "-" +
                                std::to_string(i * 25000 + 24999) + "\r\n";
            bodies[i] = BodyOf(Exchange(server.Port(), Get("/big", range), 20000));
        });
    }
    for (auto& client : clients) client.join();
    for (int i = 0; i < kClients; ++i) EXPECT_EQ(bodies[i], body.substr(i * 25000, 25000)) << i;
    EXPECT_EQ(server.ConnectionsAccepted(), kClients);
    EXPECT_EQ(server.MostConcurrentConnections(), kClients);
    EXPECT_TRUE(server.WaitForIdle(5000));
}

TEST(HttpTestServer, ShutdownWhileClientsAreConnected) {
    RawClient reading(0);
    {
        HttpTestServer server;
        Reply slow = Body(std::string(100000, 's'));
        slow.trickleBytes = 10;
        slow.trickleGapMs = 50;
        server.Route("/slow", slow);
        server.Route("/wait", Handler([](const Request&) { return Body("late"); }));
        reading = RawClient(server.Port());
        ASSERT_TRUE(reading.Send(Get("/slow")));
        EXPECT_FALSE(reading.ReadSome(5000).empty());
        RawClient idle(server.Port());  // connected, never sends anything
        ASSERT_TRUE(idle.Connected());
        ASSERT_TRUE(server.WaitForRequests(1, 5000));
    }  // the destructor must end both connections and return
    bool closed = false;
    std::string rest = reading.ReadAll(5000, &closed);
    EXPECT_TRUE(closed);
    EXPECT_LT(rest.size(), 100000u);
}

}  // namespace
}  // namespace zorv::testing
