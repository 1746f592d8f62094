#include "download/net.h"

#include <gtest/gtest.h>

namespace zorv::download {
namespace {

// A connected pair over loopback, made on one thread.
struct Pair {
    os::Socket listener, client, server;
    explicit Pair(const StopSignals& stop = StopSignals{}) {
        uint16_t port = 0;
        listener = os::ListenLoopback(port);
        client = os::NewTcpSocket();
        result = ConnectWithTimeout(client.Get(), "127.0.0.1", port, 2000, stop);
        server = os::AcceptConnection(listener.Get(), 2000);
        os::SetNonBlocking(client.Get(), true);
    }
    int result = 1;
};

TEST(SocketPrimitives, ReceiveTimeOutPassesOutWhatCameBefore) {
    Pair pair;
    ASSERT_EQ(pair.result, 0);
    ASSERT_TRUE(pair.server.Valid());
    ASSERT_EQ(SendText(pair.server.Get(), "abc", 1000), 3);
    char buffer[16] = {};
    ReceiveResult result = ReceiveBytes(pair.client.Get(), buffer, 10, 10, 50, StopSignals{}, nullptr, false);
    EXPECT_EQ(result.code, kErrReceiveTimeout);
    EXPECT_EQ(result.bytes, 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST(SocketPrimitives, PeerCloseIsReportedWithTheBytesBeforeIt) {
    Pair pair;
    ASSERT_EQ(pair.result, 0);
    ASSERT_EQ(SendText(pair.server.Get(), "hello", 1000), 5);
    pair.server.Close();
    char buffer[16] = {};
    ReceiveResult result = ReceiveBytes(pair.client.Get(), buffer, 10, 10, 2000, StopSignals{}, nullptr, false);
    EXPECT_EQ(result.code, kErrClosed);
    EXPECT_EQ(result.bytes, 5);
}

TEST(SocketPrimitives, ReceiveEndsEarlyWhenAskedToEndOrWhenTheCountIsReached) {
    Pair pair;
    ASSERT_EQ(pair.result, 0);
    ASSERT_EQ(SendText(pair.server.Get(), "0123456789", 1000), 10);
    char buffer[16] = {};
    ReceiveResult some = ReceiveBytes(pair.client.Get(), buffer, 4, 4, 2000, StopSignals{}, nullptr, false);
    EXPECT_EQ(some.code, 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    std::atomic<bool> stopped{true};
    std::atomic<int> run{1};
    ReceiveResult rest = ReceiveBytes(pair.client.Get(), buffer, 16, 16, 60000, StopSignals{&stopped, &run}, nullptr,
                                      false);
    EXPECT_EQ(rest.code, rest.bytes);
    EXPECT_LE(rest.bytes, 6);
}

TEST(SocketPrimitives, ConnectToAPortWithoutListenerFails) {
    uint16_t port = 0;
    { os::Socket probe = os::ListenLoopback(port); }
    os::Socket socket = os::NewTcpSocket();
    int result = ConnectWithTimeout(socket.Get(), "127.0.0.1", port, 2000, StopSignals{});
    EXPECT_LT(result, 0);
    EXPECT_NE(result, kErrConnectTimeout);
}

}  // namespace
}  // namespace zorv::download
