#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "net/socket/socket_address.h"
#include "net/socket/tcp_socket.h"
#include "net/socket/winsock_session.h"
#include "tests/unit/scripted_server.h"

namespace {
std::uint32_t Dotted(int a, int b, int c, int d) {
  return htonl(static_cast<std::uint32_t>(a << 24 | b << 16 | c << 8 | d));
}

struct AddressCase {
  const char* host;
  std::uint32_t address;  // network order
};

class SocketAddressResolve : public ::testing::TestWithParam<AddressCase> {};

TEST_P(SocketAddressResolve, GivesTheFirstIPv4Address) {
  SocketAddress address(GetParam().host, 80);
  EXPECT_EQ(address.Address(), GetParam().address);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SocketAddressResolve,
    ::testing::Values(AddressCase{"192.168.0.1", Dotted(192, 168, 0, 1)},
                      AddressCase{"127.0.0.1", Dotted(127, 0, 0, 1)},
                      // The broadcast text is the one all-ones address kept without a lookup.
                      AddressCase{"255.255.255.255", 0xFFFFFFFFu},
                      // 0.0.0.0 parses to 0, the value that means "not resolved".
                      AddressCase{"0.0.0.0", 0u}, AddressCase{"localhost", Dotted(127, 0, 0, 1)}));

TEST(SocketAddressLayout, PortAndFamilyAreInNetworkOrder) {
  SocketAddress address("10.0.0.1", 80);
  const auto* bytes = reinterpret_cast<const unsigned char*>(address.Get());
  EXPECT_EQ(address.Size(), 16);
  EXPECT_EQ(reinterpret_cast<const sockaddr_in*>(address.Get())->sin_family, AF_INET);
  EXPECT_EQ(bytes[2], 0x00);
  EXPECT_EQ(bytes[3], 0x50);
  for (int i = 8; i < 16; ++i) EXPECT_EQ(bytes[i], 0) << i;
}

TEST(WinsockSessionTest, StartsBeforeTests) {
  ASSERT_EQ(WinsockSession::Instance(), &TheWinsockSession);
  TcpSocket socket;
  EXPECT_TRUE(socket.Create());
}

TEST(TcpSocketClose, ClosesOnceAndReportsTheSecondCall) {
  TcpSocket socket;
  EXPECT_EQ(socket.Close(), -1);  // never created
  EXPECT_FALSE(socket.IsCreated());
  ASSERT_TRUE(socket.Create());
  EXPECT_TRUE(socket.IsOpen());
  EXPECT_EQ(socket.Close(), 0);
  EXPECT_EQ(socket.Close(), -1);
  EXPECT_TRUE(socket.IsCreated());  // the flag outlives the handle
  EXPECT_FALSE(socket.IsOpen());
  EXPECT_EQ(socket.Receive(nullptr, 0), -1);
  EXPECT_EQ(socket.Send("x", 1), -1);
}

TEST(TcpSocketClose, OverlappingClosesCloseExactlyOnce) {
  for (int round = 0; round < 50; ++round) {
    TcpSocket socket;
    ASSERT_TRUE(socket.Create());
    std::atomic<int> successes{0};
    auto close = [&] {
      if (socket.Close() != -1) ++successes;
    };
    std::thread a(close), b(close);
    a.join();
    b.join();
    ASSERT_EQ(successes.load(), 1);
  }
}

TEST(TcpSocketConnect, RefusedConnectionFails) {
  TcpSocket socket;
  ASSERT_TRUE(socket.Create());
  EXPECT_FALSE(socket.Connect(SocketAddress("127.0.0.1", ScriptedServer::UnusedPort())));
}

TEST(TcpSocketExchange, SendsAllAndReceivesUntilClose) {
  ScriptedServer server({{{"reply bytes", 0}}, ScriptEnd::Close});
  TcpSocket socket;
  ASSERT_TRUE(socket.Create());
  ASSERT_TRUE(socket.Connect(SocketAddress("127.0.0.1", server.Port())));
  // Large enough that one send need not take it all.
  std::string request(3 * 1024 * 1024, 'a');
  request += "\n\n";
  EXPECT_TRUE(socket.SendAll(request.data(), static_cast<int>(request.size())));
  std::string reply;
  char buffer[64];
  for (int n; (n = socket.Receive(buffer, sizeof buffer)) > 0;) reply.append(buffer, n);
  server.Finish();
  EXPECT_EQ(reply, "reply bytes");
  EXPECT_TRUE(server.Request() == request);
}

TEST(TcpSocketReceive, StalledPeerFailsAfterTheTimeLimit) {
  TcpSocket::SetReceiveTimeoutForTesting(200);
  ScriptedServer server({{}, ScriptEnd::Hold, 5000});
  TcpSocket socket;
  ASSERT_TRUE(socket.Create());
  TcpSocket::SetReceiveTimeoutForTesting(TcpSocket::kDefaultReceiveTimeoutMs);
  ASSERT_TRUE(socket.Connect(SocketAddress("127.0.0.1", server.Port())));
  ASSERT_TRUE(socket.SendAll("GET / HTTP/1.0\n\n", 16));
  const auto began = std::chrono::steady_clock::now();
  char buffer[16];
  EXPECT_EQ(socket.Receive(buffer, sizeof buffer), -1);
  const auto waited = std::chrono::steady_clock::now() - began;
  EXPECT_GE(waited, std::chrono::milliseconds(150));
  EXPECT_LT(waited, std::chrono::seconds(4));
  socket.Close();
  server.Finish();
  EXPECT_TRUE(server.ClientClosedFirst());
}

TEST(TcpSocketReceive, AbortFromAnotherThreadBreaksABlockedReceive) {
  ScriptedServer server({{}, ScriptEnd::Hold, 5000});
  TcpSocket socket;
  ASSERT_TRUE(socket.Create());
  ASSERT_TRUE(socket.Connect(SocketAddress("127.0.0.1", server.Port())));
  ASSERT_TRUE(socket.SendAll("GET / HTTP/1.0\n\n", 16));
  std::atomic<int> result{1};
  std::thread receiver([&] {
    char buffer[16];
    result = socket.Receive(buffer, sizeof buffer);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto began = std::chrono::steady_clock::now();
  socket.Abort();
  receiver.join();
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));
  EXPECT_LE(result.load(), 0);
  socket.Close();
  EXPECT_FALSE(socket.IsOpen());
}
}  // namespace
