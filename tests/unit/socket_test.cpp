#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

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

class RecordingWatcher : public SilenceWatcher {
 public:
  std::vector<bool> told;
  void OnPeerSilent(bool silent) override { told.push_back(silent); }
};

// A peer that falls silent, one that trickles (each byte well within the silence limit) and one
// that sends steadily, against limits shortened in proportion.
TEST(TcpSocketReceive, GivesUpOnASilentOrTricklingPeer) {
  TransferLimits limits;
  limits.silence_ms = 600;
  limits.rate_window_ms = 800;
  limits.rate_min_bytes = 100;
  limits.waiting_notice_ms = 200;
  const std::vector<ScriptStep> trickle(40, {"x", 50});
  const std::vector<ScriptStep> steady(16, {std::string(100, 's'), 50});
  const struct {
    const char* name;
    std::vector<ScriptStep> steps;
    ScriptEnd end;
    Stall stall;
    int at_least_ms;
  } cases[] = {
      {"silent", {{"some", 0}}, ScriptEnd::Hold, Stall::Silent, 550},
      {"trickling", trickle, ScriptEnd::Hold, Stall::TooSlow, 750},
      {"steady", steady, ScriptEnd::Close, Stall::None, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server({c.steps, c.end, 5000});
    TcpSocket socket;
    socket.SetLimits(limits);
    RecordingWatcher watcher;
    socket.WatchSilence(&watcher);
    ASSERT_TRUE(socket.Create());
    ASSERT_TRUE(socket.Connect(SocketAddress("127.0.0.1", server.Port())));
    ASSERT_TRUE(socket.SendAll("GET / HTTP/1.0\n\n", 16));
    const auto began = std::chrono::steady_clock::now();
    char buffer[4096];
    int received;
    while ((received = socket.Receive(buffer, sizeof buffer)) > 0) {
    }
    const auto waited = std::chrono::steady_clock::now() - began;
    EXPECT_EQ(received, c.stall == Stall::None ? 0 : -1);
    EXPECT_EQ(socket.LastStall(), c.stall);
    if (c.stall != Stall::None) {
      EXPECT_TRUE(IsTimeoutError(socket.LastError()));
    }
    // The silence is told after its notice time, and its end before the receive returns.
    if (c.stall == Stall::Silent) {
      EXPECT_EQ(watcher.told, (std::vector<bool>{true, false}));
    }
    EXPECT_GE(waited, std::chrono::milliseconds(c.at_least_ms));
    EXPECT_LT(waited, std::chrono::seconds(4));
    socket.Close();
    server.Finish();
  }
}

TEST(TcpSocketConnect, GivesUpOnAServerThatDoesNotAnswerWithinTheLimit) {
  std::uint16_t port = 0;
  const SocketHandle listener = ListenOnLoopback(&port, 0);
  ASSERT_NE(listener, kInvalidSocket);
  TransferLimits limits;
  limits.connect_ms = 300;
  // The listener never accepts: once its queue is full, a connect is not answered.
  TcpSocket sockets[8];
  bool gave_up = false;
  for (TcpSocket& socket : sockets) {
    socket.SetLimits(limits);
    ASSERT_TRUE(socket.Create());
    const auto began = std::chrono::steady_clock::now();
    if (socket.Connect(SocketAddress("127.0.0.1", port))) continue;
    const auto waited = std::chrono::steady_clock::now() - began;
    EXPECT_TRUE(IsTimeoutError(socket.LastError())) << socket.LastError();
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_LT(waited, std::chrono::seconds(4));
    gave_up = true;
    break;
  }
  EXPECT_TRUE(gave_up);
  CloseHandleOfSocket(listener);
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
