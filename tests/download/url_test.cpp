#include "download/url.h"

#include <gtest/gtest.h>

#include "download/net.h"

namespace zorv::download {
namespace {

TEST(UrlSplit, SchemesAndDefaultPorts) {
    struct Case {
        const char* url;
        int32_t protocol;
        uint16_t port;
    } cases[] = {
        {"http://h/x", kHttp, 80},     {"ftp://h/x", kFtp, 21},      {"mms://h/x", kMms, 1755},
        {"mmst://h/x", kMms, 1755},    {"rtsp://h/x", kRtsp, 554},   {"gopher://h/x", kNoProtocol, 0},
        {"https://h/x", kHttps, 443},  {"HTTPS://h/x", kHttps, 443}, {"https://me@h/x", kHttps, 443},
        {"https://h:8443/x", kHttps, 8443}, {"http://s.example/x", kHttp, 80}, {"httpx://h/x", kNoProtocol, 0},
        {"", kNoProtocol, 0},
    };
    for (const Case& c : cases) {
        SplitUrlResult split = SplitUrl(c.url);
        EXPECT_EQ(split.protocol, c.protocol) << c.url;
        EXPECT_EQ(split.port, c.port) << c.url;
    }
}

TEST(UrlSplit, UpperCaseSchemeKeepsCaseOfHostAndPath) {
    SplitUrlResult split = SplitUrl("HTTP://Dl.Example.COM/Files/Zorv.EXE");
    EXPECT_EQ(split.protocol, kHttp);
    EXPECT_EQ(split.host, "Dl.Example.COM");
    EXPECT_EQ(split.path, "/Files/Zorv.EXE");
}

TEST(UrlSplit, PortInHostPartStaysInHost) {
    SplitUrlResult split = SplitUrl("http://host:8080/x");
    EXPECT_EQ(split.port, 8080);
    EXPECT_EQ(split.host, "host:8080");
    EXPECT_EQ(split.path, "/x");
    SplitUrlResult user = SplitUrl("ftp://me:pw@host:2121/f");
    EXPECT_EQ(user.port, 2121);
    EXPECT_EQ(user.host, "me:pw@host:2121");
}

TEST(UrlSplit, HostNameLeavesUserAndPortOut) {
    EXPECT_EQ(HostNameOf("dl.example.com"), "dl.example.com");
    EXPECT_EQ(HostNameOf("me:pw@dl.example.com:8443"), "dl.example.com");
    EXPECT_EQ(HostNameOf("127.0.0.1:443"), "127.0.0.1");
    SplitUrlResult split = SplitUrl("https://Dl.Example.com:8443/a/b.exe");
    EXPECT_EQ(split.host, "Dl.Example.com:8443");
    EXPECT_EQ(split.path, "/a/b.exe");
}

TEST(UrlSplit, NoSlashAfterHostOrEmptyHostGivesNoHost) {
    EXPECT_EQ(SplitUrl("http://host").host, "");
    EXPECT_EQ(SplitUrl("http:///x").host, "");
    EXPECT_EQ(SplitUrl("http://host/").path, "/");
}

TEST(UrlDotted, FourPartsOfAtMostThreeDigitsUpTo255) {
    EXPECT_TRUE(IsDottedAddress("127.0.0.1"));
    EXPECT_TRUE(IsDottedAddress("255.255.255.255"));
    for (const char* text : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1.2.3.a", "1..3.4", "0001.1.1.1", "1.2.3.4:80", ""})
        EXPECT_FALSE(IsDottedAddress(text)) << text;
}

TEST(UrlText, SpacesEncodedAndPercentDecoded) {
    EXPECT_EQ(EncodeSpaces("/a b/c d"), "/a%20b/c%20d");
    EXPECT_EQ(PercentDecode("a%41%4a+b"), "aAJ b");
    EXPECT_EQ(PercentDecode("50%"), "50%");
    EXPECT_EQ(PercentDecode("%G1%1"), "%G1%1");
    EXPECT_EQ(PercentDecode(std::string(2000, 'x')).size(), 1023u);
}

TEST(SocketCodes, ListedWinsockErrorsPassOnAndOthersAreUnknown) {
    EXPECT_EQ(MappedSocketError(10054), -10054);
    EXPECT_EQ(MappedSocketError(10061), -1);
    EXPECT_EQ(ErrorText(-10054), "远程主机强迫关闭了一个现有的连接。");
    EXPECT_EQ(ErrorText(-10), "接收数据超时");
    EXPECT_EQ(ErrorText(-22), "有错误发生");
    EXPECT_EQ(ErrorText(-10056), "未知错误");
    EXPECT_EQ(ErrorText(-1), "未知错误");
}

}  // namespace
}  // namespace zorv::download
