#include "download/http.h"

#include <gtest/gtest.h>

namespace zorv::download {
namespace {

RequestData Direct() {
    SplitUrlResult split = SplitUrl("http://dl.example.com:8080/files/zorv.exe");
    return InitialRequestData("http://dl.example.com:8080/files/zorv.exe", split, "", "");
}

TEST(HttpRequest, DirectFormIsByteExact) {
    std::optional<std::string> request = BuildRequest(Direct(), "");
    ASSERT_TRUE(request);
    EXPECT_EQ(*request,
              "GET /files/zorv.exe HTTP/1.1\r\n"
              "Host: dl.example.com:8080\r\n"
              "Accept: */*\r\n"
              "Referer: http://dl.example.com:8080/files\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
              "Pragma: no-cache\r\n"
              "Cache-Control: no-cache\r\n"
              "Connection: close\r\n\r\n");
}

TEST(HttpRequest, ExtraLineSitsBeforePragmaAndSpacesAreEncoded) {
    RequestData data = Direct();
    data.path = "/my files/a b.exe";
    data.referer = "http://elsewhere/";
    std::optional<std::string> request = BuildRequest(data, RangeLine(33333));
    ASSERT_TRUE(request);
    EXPECT_EQ(*request,
              "GET /my%20files/a%20b.exe HTTP/1.1\r\n"
              "Host: dl.example.com:8080\r\n"
              "Accept: */*\r\n"
              "Referer: http://elsewhere/\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
              "Range: bytes=33333-\r\n"
              "Pragma: no-cache\r\n"
              "Cache-Control: no-cache\r\n"
              "Connection: close\r\n\r\n");
}

TEST(HttpRequest, ProxyFormCarriesWholeUrlAndNoAcceptRefererOrPragma) {
    std::string url = "http://dl.example.com/zorv.exe";
    RequestData data = InitialRequestData(url, SplitUrl(url), "10.0.0.1:3128", "http://ref/");
    EXPECT_EQ(data.path, url);
    std::optional<std::string> request = BuildRequest(data, "");
    ASSERT_TRUE(request);
    EXPECT_EQ(*request,
              "GET http://dl.example.com/zorv.exe HTTP/1.1\r\n"
              "Host: dl.example.com\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
              "Proxy-Connection: Keep-Alive\r\n\r\n");
    // A range request through the proxy keeps its Range line.
    std::optional<std::string> ranged = BuildRequest(data, RangeLine(7));
    ASSERT_TRUE(ranged);
    EXPECT_NE(ranged->find("User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
                           "Range: bytes=7-\r\nProxy-Connection: Keep-Alive\r\n\r\n"),
              std::string::npos);
}

// Direct and through a proxy: the Host line is the host and port alone.
TEST(HttpRequest, HostLineLeavesOutTheUserInformation) {
    std::string url = "http://me:pw@dl.example.com:8080/zorv.exe";
    for (const char* proxy : {"", "10.0.0.1:3128"}) {
        std::optional<std::string> request = BuildRequest(InitialRequestData(url, SplitUrl(url), proxy, ""), "");
        ASSERT_TRUE(request) << proxy;
        EXPECT_NE(request->find(" HTTP/1.1\r\nHost: dl.example.com:8080\r\n"), std::string::npos) << *request;
    }
}

TEST(HttpRequest, RequestThatDoesNotFitItsBufferIsRefusedNotCut) {
    RequestData data = Direct();
    data.path = "/" + std::string(700, 'p');
    EXPECT_TRUE(BuildRequest(data, "").has_value());
    data.referer = std::string(300, 'r');
    EXPECT_FALSE(BuildRequest(data, "").has_value());
    data.referer.clear();
    data.path = "/" + std::string(1100, 'p');
    EXPECT_FALSE(BuildRequest(data, "").has_value());
    // Spaces grow to three bytes each: 400 of them no longer fit.
    data.path = "/" + std::string(400, ' ');
    EXPECT_FALSE(BuildRequest(data, "").has_value());
}

TEST(HttpRequest, DefaultRefererIsUrlUpToItsLastSlash) {
    EXPECT_EQ(DefaultReferer("http://h/a/b.exe"), "http://h/a");
    EXPECT_EQ(DefaultReferer("http://h/"), "http://h");
    EXPECT_EQ(DefaultReferer("http://h/" + std::string(1100, 'x') + "/y"), "");
    std::string url = "http://h/z.exe";
    EXPECT_EQ(InitialRequestData(url, SplitUrl(url), "", "given").referer, "given");
}

TEST(HttpHead, FoundFromEarliestVersionToEmptyLine) {
    std::string bytes = "junkHTTP/1.0 200 OK\r\nA: b\r\n\r\nbody";
    std::optional<HeadSpan> span = FindHead(bytes.data(), bytes.size());
    ASSERT_TRUE(span);
    EXPECT_EQ(span->begin, 4u);
    EXPECT_EQ(bytes.substr(span->end), "body");
    std::string partial = "HTTP/1.1 200 OK\r\nA: b\r\n\r";
    EXPECT_FALSE(FindHead(partial.data(), partial.size()));
    std::string noVersion = "HTTP/2 200\r\n\r\n";
    EXPECT_FALSE(FindHead(noVersion.data(), noVersion.size()));
    // Only the bytes received count, not what lies behind them.
    EXPECT_FALSE(FindHead(bytes.data(), 25));
}

TEST(HttpHead, OkAnswerGivesLengthAndHeaderValues) {
    HttpResponseInfo info = ParseHead(
        "HTTP/1.1 200 OK\r\nServer: tiny\r\nContent-length: 1234\r\nContent-Type: application/x\r\n"
        "Set-Cookie: a=1; path=/\r\nAccept-Ranges: bytes\r\nConnection: close\r\n"
        "Content-Disposition: attachment; filename=\"setup.exe\"\r\n\r\n");
    EXPECT_EQ(info.status, 200);
    EXPECT_EQ(info.contentLength, 1234);
    EXPECT_EQ(info.server, "tiny");
    EXPECT_EQ(info.contentType, "application/x");
    EXPECT_EQ(info.setCookie, "a=1; path=/");
    EXPECT_EQ(info.acceptRanges, "bytes");
    EXPECT_EQ(info.connection, "close");
    EXPECT_EQ(info.disposition, "attachment; filename=\"setup.exe\"");
    EXPECT_EQ(DispositionFileName(info.disposition), "setup.exe");
}

TEST(HttpHead, LengthMissingOrOnOtherStatusesIsUnknown) {
    EXPECT_EQ(ParseHead("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n").contentLength, -1);
    HttpResponseInfo partial = ParseHead(
        "HTTP/1.1 206 Partial Content\r\nContent-Length: 10\r\nContent-Range: bytes 90-99/100\r\nVia: p\r\n\r\n");
    EXPECT_EQ(partial.status, 206);
    EXPECT_EQ(partial.contentLength, -1);
    EXPECT_EQ(partial.rangeStart, 90);
    EXPECT_EQ(partial.via, "p");
    HttpResponseInfo missing = ParseHead("HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\nServer: x\r\n\r\n");
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.contentLength, -1);
    EXPECT_EQ(missing.server, "");
}

// What a range answer says of itself: the first byte before the "/", the
// file's length after it ("*" when the server does not know it).
TEST(HttpHead, ContentRangeGivesItsStartAndTheFilesLength) {
    struct Case {
        const char* value;
        int64_t start, total;
    } cases[] = {
        {"bytes 30000-59999/60000", 30000, 60000},
        {"bytes=5-9/10", 5, 10},
        {"bytes 30000-59999/*", 30000, -1},
        {"bytes */60000", -1, 60000},
        {"bytes 7-9", 7, -1},
    };
    for (const Case& c : cases) {
        HttpResponseInfo info = ParseHead(std::string("HTTP/1.1 206 Partial\r\nContent-Range: ") + c.value + "\r\n\r\n");
        EXPECT_TRUE(info.hasContentRange) << c.value;
        EXPECT_EQ(info.rangeStart, c.start) << c.value;
        EXPECT_EQ(info.rangeTotal, c.total) << c.value;
    }
    HttpResponseInfo none = ParseHead("HTTP/1.1 206 Partial\r\nContent-Length: 10\r\n\r\n");
    EXPECT_FALSE(none.hasContentRange);
    EXPECT_EQ(none.rangeStart, -1);
    EXPECT_EQ(none.rangeTotal, -1);
}

// Header names match whole and in any case, as HTTP means them; a longer
// name that ends like a known one is another header.
TEST(HttpHead, HeaderNamesMatchWholeInAnyCase) {
    HttpResponseInfo lower = ParseHead("HTTP/1.1 200 OK\r\nX-Original-Content-Length: 999\r\n"
                                       "content-length: 1234\r\nserver:tiny\r\n\r\n");
    EXPECT_EQ(lower.contentLength, 1234);
    EXPECT_EQ(lower.server, "tiny");
    EXPECT_EQ(ParseHead("HTTP/1.1 200 OK\r\nX-Original-Content-Length: 999\r\n\r\n").contentLength, -1);
    HttpResponseInfo range = ParseHead("HTTP/1.1 206 Partial\r\ncontent-RANGE: bytes 90-99/100\r\n\r\n");
    EXPECT_TRUE(range.hasContentRange);
    EXPECT_EQ(range.rangeStart, 90);
    EXPECT_FALSE(ParseHead("HTTP/1.1 206 Partial\r\nX-Content-Range: bytes 90-99/100\r\n\r\n").hasContentRange);
    HttpResponseInfo moved = ParseHead("HTTP/1.1 302 Found\r\nlocation: /b.exe\r\n\r\n");
    EXPECT_TRUE(moved.hasLocation);
    EXPECT_EQ(moved.location, "/b.exe");
    // The status line is no header, even when it reads like one.
    EXPECT_FALSE(ParseHead("HTTP/1.1 302 Location: x\r\n\r\n").hasLocation);
}

TEST(HttpHead, RedirectGivesLocationAndEmptyLocationCountsAsNone) {
    HttpResponseInfo info = ParseHead("HTTP/1.1 302 Found\r\nLocation: b.exe\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(info.status, 302);
    EXPECT_TRUE(info.hasLocation);
    EXPECT_EQ(info.location, "b.exe");
    EXPECT_EQ(info.contentLength, 0);
    EXPECT_FALSE(ParseHead("HTTP/1.1 301 Moved\r\nLocation: \r\n\r\n").hasLocation);
}

TEST(HttpHead, DispositionNameQuotedOrBare) {
    EXPECT_EQ(DispositionFileName("attachment; filename=plain.exe\r"), "plain.exe");
    EXPECT_EQ(DispositionFileName("attachment; filename=\"a b.exe\"; size=3\r"), "a b.exe");
    EXPECT_EQ(DispositionFileName("inline\r"), "");
}

HttpResponseInfo Moved(const std::string& location, const std::string& cookie = "") {
    HttpResponseInfo info;
    info.status = 302;
    info.location = location;
    info.hasLocation = true;
    info.setCookie = cookie;
    return info;
}

TEST(HttpRedirect, RelativeLocationReplacesLastPathPart) {
    RequestData data = Direct();
    data.path = "/dir/a.exe";
    ASSERT_TRUE(ApplyRedirect(data, Moved("b.exe", "sid=42; path=/")));
    EXPECT_EQ(data.path, "/dir/b.exe");
    EXPECT_EQ(data.host, "dl.example.com:8080");
    EXPECT_EQ(data.port, 8080);
    EXPECT_EQ(data.referer, "http://dl.example.com:8080");
    EXPECT_EQ(data.extra, "Cookie: sid=42\r\n");
    // A later redirect without a cookie keeps the one set before.
    ASSERT_TRUE(ApplyRedirect(data, Moved("c.exe")));
    EXPECT_EQ(data.path, "/dir/c.exe");
    EXPECT_EQ(data.extra, "Cookie: sid=42\r\n");
}

TEST(HttpRedirect, LocationFromTheRootIsNotJoinedToTheFolder) {
    RequestData data = Direct();
    data.path = "/dir/a.exe";
    ASSERT_TRUE(ApplyRedirect(data, Moved("/other/b.exe")));
    EXPECT_EQ(data.path, "/other/b.exe");
    EXPECT_EQ(data.referer, "http://dl.example.com:8080/other");
}

TEST(HttpRedirect, AbsoluteLocationMovesHostAndPort) {
    RequestData data = Direct();
    ASSERT_TRUE(ApplyRedirect(data, Moved("http://mirror.example.net:81/pub/zorv.exe")));
    EXPECT_EQ(data.host, "mirror.example.net:81");
    EXPECT_EQ(data.port, 81);
    EXPECT_EQ(data.path, "/pub/zorv.exe");
    EXPECT_EQ(data.referer, "http://mirror.example.net:81/pub");
    // Without a port the new host is asked on the HTTP port, not the old one.
    ASSERT_TRUE(ApplyRedirect(data, Moved("http://cdn.example.org/z.exe")));
    EXPECT_EQ(data.port, 80);
    EXPECT_EQ(data.host, "cdn.example.org");
}

TEST(HttpRedirect, ThroughProxyPathsStayWholeUrls) {
    std::string url = "http://h.example/dir/a.exe";
    RequestData data = InitialRequestData(url, SplitUrl(url), "proxy:8000", "");
    ASSERT_TRUE(ApplyRedirect(data, Moved("b.exe")));
    EXPECT_EQ(data.path, "http://h.example/dir/b.exe");
    ASSERT_TRUE(ApplyRedirect(data, Moved("http://x.example/y/z.exe")));
    EXPECT_EQ(data.path, "http://x.example/y/z.exe");
    EXPECT_EQ(data.host, "x.example");
}

// A Location of the other scheme switches the next request to it, with
// that scheme's port; a relative or scheme-relative one keeps the scheme.
TEST(HttpRedirect, HttpAndHttpsLocationsSwitchTheSchemeBothWays) {
    RequestData data = Direct();
    ASSERT_TRUE(ApplyRedirect(data, Moved("https://secure.example/pub/zorv.exe")));
    EXPECT_TRUE(data.secure);
    EXPECT_EQ(data.host, "secure.example");
    EXPECT_EQ(data.port, 443);
    EXPECT_EQ(data.path, "/pub/zorv.exe");
    EXPECT_EQ(data.referer, "https://secure.example/pub");
    ASSERT_TRUE(ApplyRedirect(data, Moved("/other/z.exe")));
    EXPECT_TRUE(data.secure);
    EXPECT_EQ(data.referer, "https://secure.example/other");
    ASSERT_TRUE(ApplyRedirect(data, Moved("//cdn.example:8443/z.exe")));
    EXPECT_TRUE(data.secure);
    EXPECT_EQ(data.port, 8443);
    ASSERT_TRUE(ApplyRedirect(data, Moved("HTTP://plain.example/z.exe")));
    EXPECT_FALSE(data.secure);
    EXPECT_EQ(data.port, 80);
    EXPECT_EQ(data.path, "/z.exe");
}

// Through a proxy a secure request goes inside the CONNECT tunnel to the
// server: the tunnel names host and port, the request has the direct form.
TEST(HttpProxy, SecureRequestsTunnelAndKeepTheDirectForm) {
    std::string url = "https://dl.example.com/files/zorv.exe";
    RequestData data = InitialRequestData(url, SplitUrl(url), "10.0.0.1:3128", "");
    EXPECT_TRUE(data.secure);
    EXPECT_EQ(data.path, "/files/zorv.exe");
    std::optional<std::string> tunnel = BuildConnectRequest(data);
    ASSERT_TRUE(tunnel);
    EXPECT_EQ(*tunnel,
              "CONNECT dl.example.com:443 HTTP/1.1\r\n"
              "Host: dl.example.com:443\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n\r\n");
    std::optional<std::string> request = BuildRequest(data, RangeLine(7));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->rfind("GET /files/zorv.exe HTTP/1.1\r\nHost: dl.example.com\r\nAccept: */*\r\n", 0), 0u)
        << *request;
    EXPECT_NE(request->find("Range: bytes=7-\r\n"), std::string::npos);
    // Redirects through the proxy: to plain HTTP the whole URL again, back
    // to HTTPS the path alone; a port in the host part goes into the tunnel.
    ASSERT_TRUE(ApplyRedirect(data, Moved("http://plain.example/a.exe")));
    EXPECT_EQ(data.path, "http://plain.example/a.exe");
    ASSERT_TRUE(ApplyRedirect(data, Moved("https://me@secure.example:8443/b.exe")));
    EXPECT_EQ(data.path, "/b.exe");
    EXPECT_EQ(BuildConnectRequest(data).value_or("").rfind("CONNECT secure.example:8443 HTTP/1.1\r\n", 0), 0u);
    data.host = "bad host";
    EXPECT_FALSE(BuildConnectRequest(data));
}

TEST(HttpRedirect, RefusedRedirectsLeaveTheRequestUnchanged) {
    RequestData data = Direct();
    RequestData before = data;
    EXPECT_FALSE(ApplyRedirect(data, Moved("ftp://files.example/zorv.exe")));
    EXPECT_FALSE(ApplyRedirect(data, Moved("https://no-slash.example")));
    EXPECT_FALSE(ApplyRedirect(data, Moved("http://no-slash.example")));
    EXPECT_FALSE(ApplyRedirect(data, Moved("b.exe", std::string(4087, 'c'))));
    EXPECT_FALSE(ApplyRedirect(data, Moved("")));
    EXPECT_EQ(data.path, before.path);
    EXPECT_EQ(data.host, before.host);
    EXPECT_EQ(data.extra, "");
    // A cookie of exactly the limit is carried.
    EXPECT_TRUE(ApplyRedirect(data, Moved("b.exe", std::string(4086, 'c') + "; path=/")));
    EXPECT_EQ(data.extra.size(), 4086u + 10u);
}

// Header values end at CR LF only: a lone CR or LF inside one would end a
// line of the next request and let the answer add request lines.
TEST(HttpRedirect, LineBreakInLocationOrCookieIsRefused) {
    RequestData data = Direct();
    for (const char* location : {"b.exe\rX-Injected: 1", "b.exe\nX-Injected: 1", "http://h.example/a\r/b.exe"})
        EXPECT_FALSE(ApplyRedirect(data, Moved(location))) << location;
    EXPECT_FALSE(ApplyRedirect(data, Moved("b.exe", "sid=1\nX-Injected: 1")));
    EXPECT_EQ(data.extra, "");
    ASSERT_TRUE(ApplyRedirect(data, Moved("b.exe", "sid=1; path=/\r")));
    EXPECT_EQ(data.extra, "Cookie: sid=1\r\n");
}

TEST(HttpProxy, SplitAtLastColonWithDefaultPort) {
    HostPort plain = SplitProxy("proxy.local");
    EXPECT_EQ(plain.host, "proxy.local");
    EXPECT_EQ(plain.port, 80);
    HostPort withPort = SplitProxy("10.1.2.3:3128");
    EXPECT_EQ(withPort.host, "10.1.2.3");
    EXPECT_EQ(withPort.port, 3128);
}

}  // namespace
}  // namespace zorv::download
